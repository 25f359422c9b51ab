// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace quorvik {

// When a source hands what it received on to the road. The first message
// after a quiet spell goes soon; while messages keep coming, the source looks
// again every kStreamMs and hands on all that came meanwhile. A stream so
// wakes the road (and through it the window) twenty times a second instead of
// a hundred: on a virtual machine every wake-up of a thread costs as much as
// reading dozens of messages. A look that finds nothing ends the stream.
struct HandOnPace {
    static constexpr int kFirstMs = 10;
    static constexpr int kStreamMs = 50;
};

} // namespace quorvik
