// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event.h"

#include <algorithm>
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

// The rules step: may change the events of a batch before any sink sees
// them. Without rules it leaves them as they are.
class RulesStep {
public:
    virtual ~RulesStep() = default;
    virtual void apply(std::vector<Event> &events) = 0;
};

// What the sources lost, by reason.
struct IntakeLosses {
    std::uint64_t dropped = 0; // datagrams dropped: the system's buffer or the queue was full
    std::uint64_t refused = 0; // connections refused: too many at once
    std::uint64_t cut = 0;     // messages cut at the size limit (shown cut)

    IntakeLosses() = default;
    // A datagram source only drops.
    IntakeLosses(std::uint64_t droppedDatagrams) : dropped(droppedDatagrams) {} // NOLINT

    std::uint64_t total() const { return dropped + refused + cut; }
    IntakeLosses &operator+=(const IntakeLosses &other) {
        dropped += other.dropped;
        refused += other.refused;
        cut += other.cut;
        return *this;
    }
    // What was lost since `before`; a count that restarted gives 0.
    IntakeLosses since(const IntakeLosses &before) const {
        IntakeLosses rest;
        rest.dropped = dropped - std::min(dropped, before.dropped);
        rest.refused = refused - std::min(refused, before.refused);
        rest.cut = cut - std::min(cut, before.cut);
        return rest;
    }
};

// How the intake stands: what the views show beside the tables.
struct IntakeStatus {
    IntakeLosses lost;          // what the sources lost, since the start
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
