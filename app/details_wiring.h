// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "details/details_window.h"
#include "main_window/main_window.h"

namespace quorvik {

// The details window of `window`'s rows: opened by the window's "Details…"
// (row menu, Ctrl+D), following the row chosen while it is open.
void wireDetails(MainWindow &window, DetailsConfig config);

} // namespace quorvik
