// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "intake/stream_listener.h"

#include "core/hand_on_pace.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

#include <algorithm>

namespace quorvik {

namespace {

// A sender's address as the events show it: dotted for IPv4, also when it
// reaches a dual-stack socket as an IPv4-mapped IPv6 address.
std::string senderText(const QHostAddress &address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return (isV4 ? QHostAddress(v4) : address).toString().toStdString();
}

QString socketProblem(const QTcpServer &server) {
    switch (server.serverError()) {
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("address in use");
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("permission denied");
    default:
        return server.errorString();
    }
}

std::int64_t steadyMilliseconds() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

// The bytes of a PEM file, or the operator's text of why there are none.
QByteArray readPem(const QString &path, const char *what, QString &problem) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("cannot read the %1 %2: %3").arg(what, path, file.errorString());
        return {};
    }
    return file.readAll();
}

// The TLS side of a listener from its files; empty `problem` on success.
QSslConfiguration tlsConfiguration(const TlsFiles &files, QString &problem) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    if (!QSslSocket::supportsSsl()) {
        problem = QStringLiteral("TLS is not available on this system");
        return config;
    }
    if (files.key.isEmpty()) {
        problem = QStringLiteral("TLSKey names no key file");
        return config;
    }
    const QByteArray certificateData = readPem(files.certificate, "certificate", problem);
    if (!problem.isEmpty())
        return config;
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificateData, QSsl::Pem);
    if (chain.isEmpty()) {
        problem = QStringLiteral("%1 holds no PEM certificate").arg(files.certificate);
        return config;
    }
    const QByteArray keyData = readPem(files.key, "key", problem);
    if (!problem.isEmpty())
        return config;
    QSslKey key(keyData, QSsl::Rsa, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(keyData, QSsl::Ec, QSsl::Pem);
    if (key.isNull()) {
        problem = QStringLiteral("%1 holds no unencrypted PEM key").arg(files.key);
        return config;
    }
    config.setLocalCertificateChain(chain);
    config.setPrivateKey(key);
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    if (!files.authority.isEmpty()) {
        const QByteArray authorityData = readPem(files.authority, "certificate authority", problem);
        if (!problem.isEmpty())
            return config;
        const QList<QSslCertificate> authorities =
            QSslCertificate::fromData(authorityData, QSsl::Pem);
        if (authorities.isEmpty()) {
            problem = QStringLiteral("%1 holds no PEM certificate").arg(files.authority);
            return config;
        }
        config.setCaCertificates(authorities);
        config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    }
    return config;
}

} // namespace

// Hands each accepted socket to the listener, which decides whether to keep
// it (the connection limit) and how to speak on it (TCP or TLS).
class StreamListener::Server : public QTcpServer {
public:
    explicit Server(StreamListener &owner) : m_owner(owner) {}

protected:
    void incomingConnection(qintptr descriptor) override { m_owner.accept(descriptor); }

private:
    StreamListener &m_owner;
};

struct StreamListener::Connection {
    QTcpSocket *socket = nullptr; // deleted later: it may be in one of its own signals
    SyslogFramer framer;
    std::string sender;
    quint16 senderPort = 0;
    std::int64_t lastActivity = 0; // steady milliseconds

    explicit Connection(std::size_t maxFrame) : framer(maxFrame) {}
};

StreamListener::StreamListener(StreamListenerOptions options, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_handOnTimer(new QTimer(this)),
      m_idleTimer(new QTimer(this)) {
    m_handOnTimer->setSingleShot(true);
    connect(m_handOnTimer, &QTimer::timeout, this, &StreamListener::handOn);
    connect(m_idleTimer, &QTimer::timeout, this, &StreamListener::closeIdle);
}

StreamListener::~StreamListener() {
    close();
}

QString StreamListener::listen(quint16 port, const std::optional<TlsFiles> &tls) {
    close();
    m_transport = tls ? QStringLiteral("TLS") : QStringLiteral("TCP");
    const auto failure = [&](const QString &problem) {
        return QStringLiteral("Cannot listen on %1 port %2: %3").arg(m_transport).arg(port).arg(problem);
    };
    if (tls) {
        if (tls->certificate.isEmpty())
            return failure(QStringLiteral("TLSCert names no certificate file"));
        QString problem;
        const QSslConfiguration config = tlsConfiguration(*tls, problem);
        if (!problem.isEmpty())
            return failure(problem);
        m_tls = std::make_unique<QSslConfiguration>(config);
    }
    m_server = std::make_unique<Server>(*this);
    if (!m_server->listen(QHostAddress::Any, port)) {
        const QString problem = socketProblem(*m_server);
        m_server.reset();
        m_tls.reset();
        return failure(problem);
    }
    m_refused = 0;
    m_cut = 0;
    // Looked at ten times an idle period, so a silent connection ends at
    // most a tenth late.
    m_idleTimer->start(std::max(100, m_options.idleSeconds * 100));
    return {};
}

quint16 StreamListener::port() const {
    return m_server ? m_server->serverPort() : 0;
}

void StreamListener::close() {
    m_idleTimer->stop();
    while (!m_connections.empty())
        drop(m_connections.back().get());
    handOn();
    m_server.reset();
    m_tls.reset();
}

IntakeLosses StreamListener::losses() const {
    IntakeLosses losses;
    losses.refused = m_refused.load();
    losses.cut = m_cut.load();
    return losses;
}

void StreamListener::accept(qintptr descriptor) {
    if (int(m_connections.size()) >= m_options.maxConnections) {
        QTcpSocket refused;
        refused.setSocketDescriptor(descriptor);
        refused.abort();
        ++m_refused;
        return;
    }
    QTcpSocket *socket = m_tls ? new QSslSocket(this) : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    auto connection = std::make_unique<Connection>(m_options.maxFrame);
    Connection *entry = connection.get();
    entry->socket = socket;
    entry->sender = senderText(socket->peerAddress());
    entry->senderPort = socket->peerPort();
    entry->lastActivity = steadyMilliseconds();
    m_connections.push_back(std::move(connection));
    m_connectionCount = int(m_connections.size());
    connect(socket, &QTcpSocket::readyRead, this, [this, entry] { read(*entry); });
    connect(socket, &QTcpSocket::disconnected, this, [this, entry] { drop(entry); });
    if (auto *tls = qobject_cast<QSslSocket *>(socket)) {
        tls->setSslConfiguration(*m_tls);
        // A client that fails the handshake is let go; it may try again.
        connect(tls, &QSslSocket::errorOccurred, this, [this, entry] { drop(entry); });
        tls->startServerEncryption();
    }
}

void StreamListener::read(Connection &connection) {
    const QByteArray bytes = connection.socket->readAll();
    if (bytes.isEmpty())
        return;
    connection.lastActivity = steadyMilliseconds();
    std::vector<std::string> frames;
    const std::uint64_t cutBefore = connection.framer.cutCount();
    connection.framer.feed(std::string_view(bytes.constData(), std::size_t(bytes.size())), frames);
    m_cut += connection.framer.cutCount() - cutBefore;
    if (frames.empty())
        return;
    const std::int64_t receivedAt = now();
    for (std::string &frame : frames)
        m_pending.push_back(
            RawMessage{std::move(frame), connection.sender, receivedAt, connection.senderPort});
    if (!m_handOnTimer->isActive())
        m_handOnTimer->start(HandOnPace::kFirstMs);
}

void StreamListener::drop(Connection *connection) {
    const auto found =
        std::find_if(m_connections.begin(), m_connections.end(),
                     [connection](const auto &entry) { return entry.get() == connection; });
    if (found == m_connections.end())
        return; // already dropped (an error, then the disconnect)
    QTcpSocket *socket = connection->socket;
    socket->disconnect(this);
    if (socket->bytesAvailable() > 0)
        read(*connection);
    // The end of the stream ends a message begun without its line end.
    std::vector<std::string> frames;
    connection->framer.finish(frames);
    for (std::string &frame : frames)
        m_pending.push_back(
            RawMessage{std::move(frame), connection->sender, now(), connection->senderPort});
    if (!m_pending.empty() && !m_handOnTimer->isActive())
        m_handOnTimer->start(HandOnPace::kFirstMs);
    socket->abort();
    socket->deleteLater();
    m_connections.erase(found);
    m_connectionCount = int(m_connections.size());
}

void StreamListener::closeIdle() {
    const std::int64_t oldest = steadyMilliseconds() - std::int64_t(m_options.idleSeconds) * 1000;
    std::vector<Connection *> idle;
    for (const auto &connection : m_connections)
        if (connection->lastActivity <= oldest)
            idle.push_back(connection.get());
    for (Connection *connection : idle)
        drop(connection);
}

void StreamListener::handOn() {
    if (m_pending.empty())
        return; // the stream paused: the next message goes soon again
    std::vector<RawMessage> batch;
    batch.swap(m_pending);
    m_handOnTimer->start(HandOnPace::kStreamMs); // what comes meanwhile
    emit messagesReceived(batch);
}

std::int64_t StreamListener::now() const {
    return m_options.wallClock ? m_options.wallClock() : QDateTime::currentSecsSinceEpoch();
}

} // namespace quorvik
