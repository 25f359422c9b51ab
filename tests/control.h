// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Controls and windows as the operator sees them: every control carries its
// form name as its object name, so the tests find it by that name.

#include <QApplication>
#include <QString>
#include <QWidget>

namespace quorvik::testing {

// The child of `parent` named `name`; the test stops when it has none of type T.
template <typename T = QWidget> T *control(const QObject *parent, const QString &name) {
    T *found = parent ? parent->findChild<T *>(name) : nullptr;
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

// The shown window of type T, or nullptr when none is shown.
template <typename T> T *shownWindow() {
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<T *>(widget); found && found->isVisible())
            return found;
    return nullptr;
}

} // namespace quorvik::testing
