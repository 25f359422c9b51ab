// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event.h"
#include "core/event_sink.h"
#include "core/syslog_framer.h"

#include <QObject>
#include <QSslConfiguration>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTcpServer;
class QTimer;

namespace quorvik {

// How a stream listener serves its connections; tests shorten the times.
struct StreamListenerOptions {
    int maxConnections = 1000;               // more at once are refused and counted
    int idleSeconds = 600;                   // a connection silent this long is closed
    std::size_t maxFrame = SyslogFramer::kMaxFrame;
    std::function<std::int64_t()> wallClock; // stamps reads; empty: the system clock
};

// The TLS side of a listener: the certificate and key it shows, and the
// authority a client's certificate must chain to (none: clients show none).
struct TlsFiles {
    QString certificate, key, authority;
};

// Syslog over TCP, or over TLS: accepts connections on every local address
// (IPv6 and IPv4), cuts each stream into messages (SyslogFramer) and hands
// them on in batches, in arrival order per connection, at the HandOnPace.
// Lives on a thread of its own, so TLS and framing never hold up the window;
// losses are readable from any thread.
class StreamListener : public QObject {
    Q_OBJECT

public:
    explicit StreamListener(StreamListenerOptions options = {}, QObject *parent = nullptr);
    ~StreamListener() override;

    // Listens on `port`: TLS with `tls`, else plain TCP. Returns the text
    // for the operator when that fails ("Cannot listen on TCP port 514:
    // address in use"), empty on success. Call on the listener's thread.
    QString listen(quint16 port, const std::optional<TlsFiles> &tls = std::nullopt);
    quint16 port() const;
    // Stops listening and closes every connection.
    void close();

    // Connections refused over the limit, frames cut: since listen().
    IntakeLosses losses() const;
    int connectionCount() const { return m_connectionCount.load(); }

signals:
    void messagesReceived(const std::vector<quorvik::RawMessage> &batch);

private:
    class Server;
    struct Connection;

    void accept(qintptr descriptor);
    void read(Connection &connection);
    void drop(Connection *connection);
    void closeIdle();
    void handOn();
    std::int64_t now() const;

    StreamListenerOptions m_options;
    QString m_transport = QStringLiteral("TCP");
    std::unique_ptr<Server> m_server;
    std::unique_ptr<QSslConfiguration> m_tls; // set: connections speak TLS
    std::vector<std::unique_ptr<Connection>> m_connections;
    QTimer *m_handOnTimer;
    QTimer *m_idleTimer;
    std::vector<RawMessage> m_pending;
    std::atomic<int> m_connectionCount{0};
    std::atomic<std::uint64_t> m_refused{0}, m_cut{0};
};

} // namespace quorvik
