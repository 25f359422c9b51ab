// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event.h"

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace quorvik {

// Questions and reports to the operator. The real implementation shows
// message boxes; tests answer them without a modal loop.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // OK/Cancel question; true for OK.
    virtual bool askOkCancel(QWidget *parent, const QString &title, const QString &text,
                             QMessageBox::Icon icon) = 0;
    // A report with an OK button. It must not hold up the caller: the intake
    // keeps running while the operator reads it.
    virtual void report(QWidget *parent, const QString &title, const QString &text,
                        QMessageBox::Icon icon) = 0;
    // A report that the caller waits for (used before the process ends).
    virtual void reportAndWait(QWidget *parent, const QString &title, const QString &text,
                               QMessageBox::Icon icon) = 0;
    // A line of text with OK and Cancel (an acknowledgement's note): the
    // text, possibly empty, or nothing on Cancel. Where no one is asked, an
    // empty text.
    virtual std::optional<QString> askText(QWidget *parent, const QString &title,
                                           const QString &label) {
        (void)parent, (void)title, (void)label;
        return QString();
    }
};

class WidgetMessageBoxes : public MessageBoxes {
public:
    bool askOkCancel(QWidget *parent, const QString &title, const QString &text,
                     QMessageBox::Icon icon) override;
    void report(QWidget *parent, const QString &title, const QString &text,
                QMessageBox::Icon icon) override;
    void reportAndWait(QWidget *parent, const QString &title, const QString &text,
                       QMessageBox::Icon icon) override;
    std::optional<QString> askText(QWidget *parent, const QString &title,
                                   const QString &label) override;
};

// The platform's file and colour dialogs. Each returns nothing when the
// operator leaves the dialog without choosing. Tests answer them without a
// modal loop.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // filters: "Logfiles (*.log);;All files (*)" style.
    virtual std::optional<QString> openFile(QWidget *parent, const QString &title,
                                            const QString &preset, const QString &filters) = 0;
    // A file to write into, new or existing; an existing one is chosen
    // without a question (the caller adds to it, it never replaces it).
    virtual std::optional<QString> saveFile(QWidget *parent, const QString &title,
                                            const QString &preset, const QString &filters) = 0;
    virtual std::optional<QColor> chooseColour(QWidget *parent, const QColor &initial) = 0;
    // Existing files to read, any number; none when the operator chose none.
    virtual QStringList openFiles(QWidget *parent, const QString &title, const QString &folder,
                                  const QString &filters) = 0;
    virtual std::optional<QString> chooseFolder(QWidget *parent, const QString &title,
                                                const QString &preset) = 0;
};

class QtFileDialogs : public FileDialogs {
public:
    std::optional<QString> openFile(QWidget *parent, const QString &title, const QString &preset,
                                    const QString &filters) override;
    std::optional<QString> saveFile(QWidget *parent, const QString &title, const QString &preset,
                                    const QString &filters) override;
    std::optional<QColor> chooseColour(QWidget *parent, const QColor &initial) override;
    QStringList openFiles(QWidget *parent, const QString &title, const QString &folder,
                          const QString &filters) override;
    std::optional<QString> chooseFolder(QWidget *parent, const QString &title,
                                        const QString &preset) override;
};

// Starting another program, detached.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Empty when the program runs, else why it could not be started.
    virtual QString startDetached(const QString &program, const QStringList &arguments) = 0;
};

class QtProcessStarter : public ProcessStarter {
public:
    QString startDetached(const QString &program, const QStringList &arguments) override;
};

// The local clock, broken down.
using Clock = std::function<LocalDateTime()>;
LocalDateTime systemLocalTime();

// A seam the configuration leaves empty gets the real implementation.
template <typename Real, typename Seam> void useDefault(Seam *&seam, std::unique_ptr<Seam> &owner) {
    if (!seam) {
        owner = std::make_unique<Real>();
        seam = owner.get();
    }
}

} // namespace quorvik
