// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "forward/forward_link.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <cerrno>
#include <cstring>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace quorvik {

namespace {

// What the socket may hold beyond the system's buffer: enough to keep the
// connection busy, little enough that a silent collector costs little.
constexpr qint64 kSocketBuffer = 256 * 1024;
// A refusal of a datagram comes back as an ICMP message within a round trip.
constexpr int kRefusalCheckMs = 250;

// Keeps the ICMP errors of a connected UDP socket in its error queue, one
// for each datagram refused. Qt reads the socket's pending error without a
// word, so the queue is the only place they can still be counted.
void keepIcmpErrors(qintptr fd, bool ipv6) {
    const int on = 1;
    if (ipv6)
        ::setsockopt(int(fd), IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on);
    ::setsockopt(int(fd), IPPROTO_IP, IP_RECVERR, &on, sizeof on);
}

// Takes the ICMP errors out of the socket's error queue: how many there
// were, and the last one's errno in `error`.
std::uint64_t takeIcmpErrors(qintptr fd, int &error) {
    std::uint64_t count = 0;
    for (;;) {
        char data[512];
        char control[512];
        iovec io{data, sizeof data};
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (::recvmsg(int(fd), &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0)
            return count;
        for (cmsghdr *c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (!((c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR) ||
                  (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_RECVERR)))
                continue;
            sock_extended_err extended{};
            std::memcpy(&extended, CMSG_DATA(c), sizeof extended);
            if (extended.ee_origin == SO_EE_ORIGIN_ICMP ||
                extended.ee_origin == SO_EE_ORIGIN_ICMP6) {
                ++count;
                error = int(extended.ee_errno);
            }
        }
    }
}

QString fromUtf8(const std::string &text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// TLS settings of a target: its CA bundle (else the system's store), its
// client certificate and key. Empty when fine, else what is wrong.
QString setUpTls(QSslSocket &socket, const ForwardTarget &target) {
    if (!QSslSocket::supportsSsl())
        return QStringLiteral("TLS is not available (no TLS library found)");
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!target.caFile.empty()) {
        const QList<QSslCertificate> cas =
            QSslCertificate::fromPath(fromUtf8(target.caFile), QSsl::Pem);
        if (cas.isEmpty())
            return QStringLiteral("no CA certificate in %1").arg(fromUtf8(target.caFile));
        tls.setCaCertificates(cas);
    }
    if (!target.certFile.empty()) {
        const QList<QSslCertificate> own =
            QSslCertificate::fromPath(fromUtf8(target.certFile), QSsl::Pem);
        if (own.isEmpty())
            return QStringLiteral("no certificate in %1").arg(fromUtf8(target.certFile));
        QFile keyFile(fromUtf8(target.keyFile.empty() ? target.certFile : target.keyFile));
        if (!keyFile.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read the key %1: %2")
                .arg(keyFile.fileName(), keyFile.errorString());
        const QByteArray pem = keyFile.readAll();
        QSslKey key(pem, QSsl::Rsa);
        if (key.isNull())
            key = QSslKey(pem, QSsl::Ec);
        if (key.isNull())
            return QStringLiteral("no private key in %1").arg(keyFile.fileName());
        tls.setLocalCertificate(own.first());
        tls.setPrivateKey(key);
    }
    socket.setSslConfiguration(tls);
    return {};
}

} // namespace

ForwardLink::ForwardLink(ForwardTarget target, Limits limits, QObject *parent)
    : QObject(parent), m_target(std::move(target)), m_limits(limits),
      m_retryMs(limits.firstRetryMs) {
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &ForwardLink::connectNow);
    m_refusalCheck = new QTimer(this);
    m_refusalCheck->setSingleShot(true);
    m_refusalCheck->setInterval(kRefusalCheckMs);
    connect(m_refusalCheck, &QTimer::timeout, this, [this] { checkRefusals(true); });
}

ForwardLink::~ForwardLink() = default;

void ForwardLink::take(const Event &event, bool chosen) {
    if (!chosen && !m_target.admits(*event.level))
        return;
    if (m_queue.size() >= m_limits.events || m_queuedBytes >= m_limits.bytes) {
        ++m_dropped;
        return;
    }
    std::string message = m_formatter.format(event, m_target.facility);
    if (streaming()) {
        std::string framed;
        framed.reserve(message.size() + 8);
        appendOctetCounted(framed, message);
        message = std::move(framed);
    } else {
        message.resize(cutForDatagram(message).size());
    }
    m_queuedBytes += message.size();
    m_queue.push_back(std::move(message));
}

bool ForwardLink::drained() const {
    return m_queue.empty() && (!m_socket || m_socket->bytesToWrite() == 0);
}

bool ForwardLink::waitingToRetry() const {
    return !m_ready && m_retry->isActive();
}

void ForwardLink::flush() {
    if (m_queue.empty())
        return;
    if (!m_socket) {
        if (!m_retry->isActive())
            connectNow();
        return;
    }
    if (!m_ready)
        return;
    if (streaming())
        flushStream();
    else
        flushDatagrams();
}

void ForwardLink::connectNow() {
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
    }
    m_ready = false;
    m_handed = 0;
    m_frontWritten = 0;
    m_certificateError.clear();
    const QString host = fromUtf8(m_target.host);
    switch (m_target.transport) {
    case ForwardTarget::Transport::Udp:
        m_socket = new QUdpSocket(this);
        break;
    case ForwardTarget::Transport::Tcp:
        m_socket = new QTcpSocket(this);
        break;
    case ForwardTarget::Transport::Tls: {
        auto *tls = new QSslSocket(this);
        m_socket = tls;
        const QString problem = setUpTls(*tls, m_target);
        if (!problem.isEmpty()) {
            m_lastError = problem;
            emit failed(problem);
            emit changed();
            retryLater();
            return;
        }
        connect(tls, &QSslSocket::encrypted, this, &ForwardLink::onConnected);
        connect(tls, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) {
            QStringList texts;
            for (const QSslError &error : errors)
                texts << error.errorString();
            m_certificateError =
                QStringLiteral("certificate refused: ") + texts.join(QStringLiteral("; "));
        });
        connect(tls, &QSslSocket::errorOccurred, this, &ForwardLink::onError);
        connect(tls, &QSslSocket::bytesWritten, this, &ForwardLink::onBytesWritten);
        tls->connectToHostEncrypted(host, m_target.port);
        return;
    }
    }
    connect(m_socket, &QAbstractSocket::connected, this, &ForwardLink::onConnected);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &ForwardLink::onError);
    if (streaming())
        connect(m_socket, &QAbstractSocket::bytesWritten, this, &ForwardLink::onBytesWritten);
    m_socket->connectToHost(host, m_target.port);
}

void ForwardLink::onConnected() {
    m_ready = true;
    m_retryMs = m_limits.firstRetryMs;
    if (streaming()) {
        // A collector that closes the connection is dead until it is back.
        connect(m_socket, &QAbstractSocket::disconnected, this, &ForwardLink::onError);
        // The connection (TLS: its handshake) proves the collector works again.
        if (!m_lastError.isEmpty()) {
            m_lastError.clear();
            emit changed();
        }
    } else {
        keepIcmpErrors(m_socket->socketDescriptor(),
                       m_socket->peerAddress().protocol() == QAbstractSocket::IPv6Protocol);
    }
    flush();
}

void ForwardLink::onError() {
    if (!m_socket)
        return;
    // A refused certificate is said in its own words; the failed handshake
    // that follows adds nothing.
    m_lastError = m_certificateError.isEmpty() ? m_socket->errorString() : m_certificateError;
    m_socket->disconnect(this);
    m_socket->deleteLater();
    m_socket = nullptr;
    m_ready = false;
    m_handed = 0;
    m_frontWritten = 0;
    emit failed(m_lastError);
    emit changed();
    retryLater();
}

void ForwardLink::retryLater() {
    m_retry->start(m_retryMs);
    m_retryMs = std::min(m_retryMs * 2, m_limits.lastRetryMs);
}

// Hands the socket what it may hold, many messages to a write.
void ForwardLink::flushStream() {
    qint64 room = kSocketBuffer - m_socket->bytesToWrite();
    std::string chunk;
    while (m_handed < m_queue.size() && room > 0) {
        const std::string &message = m_queue[m_handed++];
        chunk += message;
        room -= qint64(message.size());
    }
    if (!chunk.empty())
        m_socket->write(chunk.data(), qint64(chunk.size()));
}

void ForwardLink::onBytesWritten(qint64 bytes) {
    std::size_t left = std::size_t(bytes);
    const std::uint64_t before = m_sent;
    while (left > 0 && !m_queue.empty()) {
        const std::size_t rest = m_queue.front().size() - m_frontWritten;
        if (left < rest) {
            m_frontWritten += left;
            break;
        }
        left -= rest;
        m_queuedBytes -= m_queue.front().size();
        m_queue.pop_front();
        --m_handed;
        m_frontWritten = 0;
        ++m_sent;
    }
    if (m_sent != before) {
        m_lastError.clear();
        emit changed();
    }
    flush();
}

void ForwardLink::flushDatagrams() {
    checkRefusals(false); // of the datagrams before these
    if (!m_socket)
        return;
    auto *socket = static_cast<QUdpSocket *>(m_socket);
    const std::uint64_t before = m_sent;
    bool refusedBefore = false;
    while (!m_queue.empty()) {
        const std::string &message = m_queue.front();
        if (socket->write(message.data(), qint64(message.size())) < 0) {
            // The system tells of an earlier datagram's refusal by failing
            // this write (Qt gives no reason); the refusal is in the error
            // queue, and this datagram goes out on the next try.
            if (!std::exchange(refusedBefore, true) && checkRefusals(false) > 0)
                continue;
            if (socket->error() == QAbstractSocket::TemporaryError)
                m_retry->start(10); // the system's buffer is full for a moment
            else
                onError(); // no way there now: again after a while
            break;
        }
        refusedBefore = false;
        m_queuedBytes -= message.size();
        m_queue.pop_front();
        ++m_sent;
    }
    if (m_sent != before) {
        // Whether they are refused shows only later; until then an error
        // stays.
        m_writtenSinceCheck = true;
        m_refusalCheck->start();
        emit changed();
    }
}

// UDP: counts the datagrams the collector's system refused. A refusal is the
// target's error until datagrams go out without one.
std::uint64_t ForwardLink::checkRefusals(bool mayClear) {
    if (!m_socket || streaming() || !m_ready)
        return 0;
    int error = 0;
    const std::uint64_t refused = takeIcmpErrors(m_socket->socketDescriptor(), error);
    const bool written = mayClear && std::exchange(m_writtenSinceCheck, false);
    if (refused > 0) {
        m_refused += refused;
        m_lastError = QString::fromLocal8Bit(std::strerror(error));
        if (!m_lastError.isEmpty())
            m_lastError[0] = m_lastError[0].toUpper();
        emit failed(m_lastError);
        emit changed();
    } else if (written && !m_lastError.isEmpty()) {
        m_lastError.clear();
        emit changed();
    }
    return refused;
}

} // namespace quorvik
