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

namespace quorvik {

namespace {

// What the socket may hold beyond the system's buffer: enough to keep the
// connection busy, little enough that a silent collector costs little.
constexpr qint64 kSocketBuffer = 256 * 1024;

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
}

ForwardLink::~ForwardLink() = default;

void ForwardLink::take(const LoggedEvent &event) {
    if (!m_target.admits(*event.record.level))
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
    if (streaming()) // a collector that closes the connection is dead until it is back
        connect(m_socket, &QAbstractSocket::disconnected, this, &ForwardLink::onError);
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
    auto *socket = static_cast<QUdpSocket *>(m_socket);
    const std::uint64_t before = m_sent;
    while (!m_queue.empty()) {
        const std::string &message = m_queue.front();
        if (socket->write(message.data(), qint64(message.size())) < 0) {
            if (socket->error() == QAbstractSocket::TemporaryError)
                m_retry->start(10); // the system's buffer is full for a moment
            else
                onError(); // nobody listens there now: again after a while
            break;
        }
        m_queuedBytes -= message.size();
        m_queue.pop_front();
        ++m_sent;
    }
    if (m_sent != before) {
        if (m_socket)
            m_lastError.clear();
        emit changed();
    }
}

} // namespace quorvik
