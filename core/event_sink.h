// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event.h"

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quorvik {

// The events a batch of received messages made, in arrival order; shared,
// never changed after the rules step, so every sink (also on other threads)
// reads the same one.
using EventBatch = std::shared_ptr<const std::vector<Event>>;

// Where events go after the rules step: the log, forwarding, the views, the
// alerts. A sink takes whole batches; it must not keep a reference into the
// batch beyond the shared pointer.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void take(const EventBatch &batch) = 0;
};

// How the intake stands: what the views show beside the tables.
struct IntakeStatus {
    std::uint64_t lost = 0;     // messages the sources lost, since the start
    std::uint64_t rejected = 0; // refused SNMPv3 messages, since the start
    // The latest reason of each refusing sender, the most recent first; set
    // only when it changed.
    std::shared_ptr<const std::list<std::pair<std::string, std::string>>> rejections;
};

// Shows the intake's status; the views implement it beside EventSink.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual void showStatus(const IntakeStatus &status) = 0;
};

} // namespace quorvik
