// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "alerts/event_notifier.h"

namespace quorvik {

EventNotifier::~EventNotifier() = default;

} // namespace quorvik
