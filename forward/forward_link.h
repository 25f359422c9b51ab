// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/forward_target.h"
#include "core/syslog_message.h"

#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <string>

class QAbstractSocket;
class QTimer;

namespace quorvik {

// One collector, on the forwarder's thread: its socket, its queue of
// messages in order, the retry of a dead connection. A message leaves the
// queue only once the socket has handed it to the system whole, so a broken
// connection loses nothing the socket still held: it is sent again on the
// next one.
class ForwardLink : public QObject {
    Q_OBJECT

public:
    struct Limits {
        std::size_t events = 100'000;
        std::size_t bytes = 64 * 1024 * 1024;
        int firstRetryMs = 500;
        int lastRetryMs = 30'000;
    };

    ForwardLink(ForwardTarget target, Limits limits, QObject *parent = nullptr);
    ~ForwardLink() override;

    const ForwardTarget &target() const { return m_target; }
    // Queues the event when the target's level admits it, or whatever its
    // level when a rule `chose` this target for it; counts it as not
    // forwarded when the queue is full.
    void take(const Event &event, bool chosen = false);
    // Starts sending what is queued (connects first where needed).
    void flush();
    // Nothing queued and nothing left in the socket.
    bool drained() const;
    // Waiting to try a failed connection again: nothing will go out before.
    bool waitingToRetry() const;

    std::uint64_t sent() const { return m_sent; }
    std::uint64_t notForwarded() const { return m_dropped; }
    // UDP: datagrams the collector's system refused (ICMP port or host
    // unreachable), as far as such answers came back.
    std::uint64_t refused() const { return m_refused; }
    std::size_t queued() const { return m_queue.size(); }
    const QString &lastError() const { return m_lastError; }

signals:
    // Counts or the last error changed.
    void changed();
    // A connection failed or broke (`error` in words).
    void failed(const QString &error);

private:
    void connectNow();
    void onConnected();
    void onBytesWritten(qint64 bytes);
    void onError();
    void retryLater();
    void flushDatagrams();
    // UDP: counts the refusals that came back; `mayClear`: datagrams that
    // went out a while ago without one end the target's error.
    std::uint64_t checkRefusals(bool mayClear);
    void flushStream();
    bool streaming() const { return m_target.transport != ForwardTarget::Transport::Udp; }

    ForwardTarget m_target;
    Limits m_limits;
    SyslogFormatter m_formatter;
    std::deque<std::string> m_queue; // framed for a stream, cut for a datagram
    std::size_t m_queuedBytes = 0;
    std::size_t m_handed = 0;       // leading messages given to the socket
    std::size_t m_frontWritten = 0; // bytes of the first one the system took
    std::uint64_t m_sent = 0, m_dropped = 0, m_refused = 0;
    QString m_lastError;
    QString m_certificateError; // of the connection being made
    QAbstractSocket *m_socket = nullptr;
    bool m_ready = false; // connected (TLS: encrypted)
    QTimer *m_retry = nullptr;
    int m_retryMs = 0;
    QTimer *m_refusalCheck = nullptr; // UDP: a while after datagrams went out
    bool m_writtenSinceCheck = false;
};

} // namespace quorvik
