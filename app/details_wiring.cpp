// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/details_wiring.h"

#include "ui/once_window.h"

namespace quorvik {

void wireDetails(MainWindow &window, DetailsConfig config) {
    auto *open = new QPointer<DetailsWindow>;
    QObject::connect(&window, &MainWindow::detailsRequested, &window,
                     [open, config = std::move(config), &window](const EventRow &event) {
                         DetailsWindow::showFor(*open, event, config, &window);
                     });
    QObject::connect(&window, &MainWindow::currentEventChanged, &window,
                     [open](const EventRow &event) {
                         if (isOpen(*open))
                             (*open)->follow(event);
                     });
    QObject::connect(&window, &QObject::destroyed, [open] { delete open; });
}

} // namespace quorvik
