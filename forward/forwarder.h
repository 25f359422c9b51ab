// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_sink.h"
#include "core/forward_target.h"
#include "core/syslog_message.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace quorvik {

class ForwardWorker;

// Bounds of each target's queue; tests force small ones.
struct ForwarderOptions {
    std::size_t queueLimit = 100'000;         // events
    std::size_t byteLimit = 64 * 1024 * 1024; // bytes of their messages
    int firstRetryMs = 500;                   // doubled after each failure
    int lastRetryMs = 30'000;                 // up to this
};

// What one target has done since it was set.
struct ForwardStatus {
    QString url;
    std::uint64_t sent = 0;         // handed to the system whole
    std::uint64_t notForwarded = 0; // dropped: the queue was full
    std::uint64_t refused = 0;      // UDP: refused by the collector's system
    std::size_t queued = 0;         // waiting, in order
    QString lastError;              // empty while none
};

// Forwards logged events to syslog collectors as RFC 5424 messages: one UDP
// datagram each, or octet-counted over TCP or TLS. Its own thread runs the
// sockets, so a slow, dead or silent collector never holds up the caller: each
// target has a bounded queue, a dead one is retried with backoff and its queue
// drains in order when it is back; what does not fit is counted.
class Forwarder : public QObject, public EventSink {
    Q_OBJECT

public:
    explicit Forwarder(ForwarderOptions options = {}, QObject *parent = nullptr);
    // Waits at most 2 s for the queues to drain.
    ~Forwarder() override;

    // `numbers`: each target's N in [Forward] (Target3 is 3), by which the
    // rules name it; empty: 1, 2, ... in order.
    void setTargets(const std::vector<ForwardTarget> &targets, std::vector<int> numbers = {});
    // Queues a batch for every target whose level admits its events, or,
    // for an event whose rules chose targets, for those targets only.
    // Safe from any thread; never waits for a socket.
    void take(const EventBatch &batch) override;

    // Dropped for a full queue and, for UDP, refused: over all targets.
    std::uint64_t notForwarded() const;
    std::vector<ForwardStatus> status() const;
    // Each target with its counts and its last error, one a line.
    QString statusText() const;
    // The targets failing now, each with its error and what waits for it:
    // "tcp://logs:514: Connection refused, 12 waiting", "; " between them;
    // empty while every target works.
    QString failingText() const;
    // The events still waiting, in all and for each target that has any:
    // "12 events for tcp://logs:514 (Connection refused)", "; " between
    // the targets; empty when none wait. After stop(), those it dropped.
    QString waitingText() const;

    // Sends one Information event to `target` on a connection of its own;
    // `done` gets what happened, in words, on this object's thread.
    void test(const ForwardTarget &target, std::function<void(const QString &)> done);

    // Waits up to `timeoutMs` for the queues to drain, then stops the
    // thread; what could not be sent is then in status() and waitingText().
    void stop(int timeoutMs = 2000);

signals:
    // Counts or errors changed (at most a few times a second).
    void statusChanged();

private:
    friend class ForwardWorker;
    struct Shared {
        mutable std::mutex mutex;
        std::vector<EventBatch> inbox;
        std::vector<ForwardStatus> status;
    };

    ForwarderOptions m_options;
    std::shared_ptr<Shared> m_shared;
    QThread m_thread;
    ForwardWorker *m_worker = nullptr; // lives on m_thread
    // Whether any target is set: without one a batch wakes no thread.
    std::atomic<bool> m_hasTargets{false};
};

} // namespace quorvik
