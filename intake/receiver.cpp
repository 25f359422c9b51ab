// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "intake/receiver.h"

#include "core/hand_on_pace.h"

#include <QMetaObject>
#include <QTimer>

namespace quorvik {

Receiver::Receiver(ReceiverOptions options, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_takeTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("Winsock1"));
    m_takeTimer->setSingleShot(true);
    connect(m_takeTimer, &QTimer::timeout, this, &Receiver::handOn);
}

Receiver::~Receiver() {
    close(); // the thread ends before this object is gone
}

QString Receiver::bind(quint16 port) {
    close();
    DatagramReceiver::Config config;
    config.port = port;
    config.receiveBuffer = m_options.receiveBuffer;
    config.maxDatagrams = m_options.queueLimit;
    config.wallClock = m_options.wallClock;
    config.responder = m_options.responder;
    config.answeredBefore = m_options.answeredBefore;
    config.arrived = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_takeTimer->isActive())
                    m_takeTimer->start(HandOnPace::kFirstMs);
            },
            Qt::QueuedConnection);
    };
    auto thread = std::make_unique<DatagramReceiver>(std::move(config));
    const std::string error = thread->start();
    if (!error.empty())
        return QStringLiteral("Cannot listen on UDP port %1: %2")
            .arg(port)
            .arg(QString::fromLocal8Bit(error.c_str()));
    m_thread = std::move(thread);
    return {};
}

quint16 Receiver::port() const {
    return m_thread ? m_thread->port() : 0;
}

void Receiver::close() {
    m_thread.reset();
    m_takeTimer->stop();
    m_backlog.clear();
    m_handedOn = 0;
    m_lostHandedOn = 0;
}

std::uint64_t Receiver::lost() const {
    return m_thread ? m_thread->lost() : 0;
}

void Receiver::handOn() {
    if (!m_thread)
        return;
    if (m_handedOn == m_backlog.size()) {
        // The spent backlog's memory is reused, unless a long one grew it.
        if (m_backlog.capacity() > kKeptCapacity)
            m_backlog = {};
        m_backlog = m_thread->take(std::move(m_backlog));
        m_handedOn = 0;
    }
    const std::size_t end = std::min(m_backlog.size(), m_handedOn + kMaxBatch);
    if (m_handedOn == end) {
        if (lost() != m_lostHandedOn) { // nothing new to show but the lost count
            m_lostHandedOn = lost();
            emit datagramsReceived({});
        }
        return;
    }
    const std::size_t begin = m_handedOn;
    m_handedOn = end;
    m_lostHandedOn = lost();
    // The rest of a backlog after the event loop had its turn; otherwise a
    // look again at the stream's pace, for what came meanwhile.
    m_takeTimer->start(m_handedOn < m_backlog.size() ? 0 : HandOnPace::kStreamMs);
    if (begin == 0 && end == m_backlog.size()) { // the common case: all of it at once
        // Handed on from a local: a nested event loop in a slot may take anew.
        std::vector<RawMessage> all;
        all.swap(m_backlog);
        m_handedOn = 0;
        emit datagramsReceived(all);
        if (m_backlog.empty()) { // its memory for the next take
            all.clear();
            m_backlog.swap(all);
        }
        return;
    }
    const std::vector<RawMessage> batch(
        std::make_move_iterator(m_backlog.begin() + qsizetype(begin)),
        std::make_move_iterator(m_backlog.begin() + qsizetype(end)));
    emit datagramsReceived(batch);
}

} // namespace quorvik
