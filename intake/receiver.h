// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "intake/datagram_receiver.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QTimer;

namespace quorvik {

// How the live copy receives; tests force small buffers and queues.
struct ReceiverOptions {
    int receiveBuffer = 16 * 1024 * 1024;    // asked of the system
    std::size_t queueLimit = 1'000'000;      // datagrams (and at most 256 MiB)
    std::function<std::int64_t()> wallClock; // stamps reads; empty: the system clock
    // Answers a datagram from the listening socket (an SNMP inform's Response).
    // Runs on the receiver thread: it must be safe to call from there.
    DatagramReceiver::Responder responder;
    // Tells a repeat of an answered datagram, which is then not handed on
    // (DatagramReceiver::Config::answeredBefore).
    std::function<bool(std::string_view datagram, std::string_view sender, std::uint16_t port)>
        answeredBefore;
};

// The UDP receiver of the live copy. Its thread (DatagramReceiver) drains the
// socket whatever the road does; on the road's thread this hands the
// datagrams on in batches, in arrival order, at the HandOnPace, so that a
// flood of single datagrams costs one wake-up of the road per interval. A
// long backlog goes out in slices of kMaxBatch with the event loop running
// between them, so the road's other work keeps its turn.
class Receiver : public QObject {
    Q_OBJECT

public:
    static constexpr std::size_t kMaxBatch = 4096;
    // A spent backlog up to this many entries keeps its memory for the next.
    static constexpr std::size_t kKeptCapacity = 16 * kMaxBatch;

    explicit Receiver(ReceiverOptions options, QObject *parent = nullptr);
    ~Receiver() override;

    // Listens on `port` of every local address. Returns the text for the
    // operator when that fails ("Cannot listen on UDP port 162: permission
    // denied"), empty on success.
    QString bind(quint16 port);
    // The port listened on (the one bound when 0 was asked for); 0 when none.
    quint16 port() const;

    // Stops receiving.
    void close();

    // Datagrams lost since the bind: dropped by the system before they were
    // read, or by the full queue.
    std::uint64_t lost() const;
    // Datagrams read from the socket since the bind (queued or dropped).
    std::uint64_t readCount() const { return m_thread ? m_thread->readCount() : 0; }

signals:
    void datagramsReceived(const std::vector<quorvik::RawMessage> &batch);

private:
    void handOn();

    ReceiverOptions m_options;
    std::unique_ptr<DatagramReceiver> m_thread;
    QTimer *m_takeTimer = nullptr;
    std::vector<RawMessage> m_backlog; // taken, not yet handed on
    std::size_t m_handedOn = 0;        // of m_backlog
    std::uint64_t m_lostHandedOn = 0;  // the lost count at the last batch
};

} // namespace quorvik
