// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_sink.h"
#include "core/local_time.h"
#include "core/raw_keeper.h"
#include "core/rejection_ledger.h"
#include "events/decoders.h"

#include <QObject>

#include <list>
#include <memory>
#include <string>
#include <vector>

namespace quorvik {

// The road of every live event. A source hands over a batch of raw messages
// with the decoder of its kind; each message becomes at most one event; the
// rules step sees the batch; then the sinks take it in this fixed order:
//   1. the log (one write a batch),
//   2. forwarding,
//   3. programs (the rules' programs; they only queue there),
// all on the thread the road runs on, and then, on the views' thread,
//   4. the views (tables, message line, counts),
//   5. the alerts (popup, sound, notification).
// Quorvik's own events (a rule's program that failed) take the same road
// from the rules step on.
// So an event is in the log before anyone is alerted to it, and a window
// that is busy never holds up the log or the forward queues. The road may
// run on a thread of its own (the live copy) or on the views' thread (tests).
class EventPipeline : public QObject {
    Q_OBJECT

public:
    struct Sinks {
        EventSink *log = nullptr;
        EventSink *forward = nullptr;
        EventSink *views = nullptr;
        EventSink *alerts = nullptr;
        StatusSink *status = nullptr; // the views' counts
        // Where the views and alerts live; their share of a batch runs there.
        QObject *viewContext = nullptr;
        EventSink *programs = nullptr; // after forwarding, before the views
    };

    explicit EventPipeline(Sinks sinks, RulesStep *rules = nullptr, QObject *parent = nullptr);

    // A source: `decoder` makes its events, `lost` says what it lost so
    // far. Returns the source's number for take().
    int addSource(MessageDecoder *decoder, std::function<IntakeLosses()> lost);
    // The SNMP decoder whose refusals the status counts.
    void setSnmpDecoder(SnmpEventDecoder *snmp) { m_snmp = snmp; }
    // Where the received bytes of each event are kept for its details;
    // none: they are not kept.
    void setRawKeeper(RawKeeper *keeper) { m_raw = keeper; }

    // One batch of source `source`, in arrival order. Runs on the road's
    // thread (the thread this object lives in).
    void take(int source, const std::vector<RawMessage> &batch);

    // One of quorvik's own events; its date is made of its receive time.
    // Safe from any thread: it takes the road on the road's thread, behind
    // the batches before it.
    void takeOwn(Event event);

    // Counts shown from now on start again from zero (the operator cleared
    // the tables). Thread-safe: runs on the road's thread.
    void clearCounts();

private:
    struct SourceEntry {
        MessageDecoder *decoder;
        std::function<IntakeLosses()> lost;
    };
    // The rules step and the sinks, in their order.
    void carry(std::vector<Event> events);
    IntakeStatus status();
    void toViews(EventBatch batch, IntakeStatus status);

    Sinks m_sinks;
    RulesStep *m_rules;
    SnmpEventDecoder *m_snmp = nullptr;
    RawKeeper *m_raw = nullptr;
    std::vector<SourceEntry> m_sources;
    LocalTimeCache m_localTime;
    IntakeLosses m_lostCleared; // the sources' losses at the last clearCounts()
};

} // namespace quorvik
