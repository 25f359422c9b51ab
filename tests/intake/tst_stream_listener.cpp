// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The syslog stream listener on real loopback connections (IPv4 and IPv6): frames split
// across writes, the connection limit, the idle close, cut frames, TLS with
// and without client certificates made by openssl, and a busy port.

#include "intake/stream_listener.h"
#include "rsyslog_process.h"

#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quorvik;

namespace {

// What a listener handed on, as "sender-text" strings.
struct Collected {
    std::vector<std::string> messages;
    std::string sender;
    void attach(StreamListener &listener, QObject *context) {
        QObject::connect(&listener, &StreamListener::messagesReceived, context,
                         [this](const std::vector<RawMessage> &batch) {
                             for (const RawMessage &message : batch) {
                                 messages.push_back(message.bytes);
                                 sender = message.sender;
                             }
                         });
    }
};

} // namespace

class StreamListenerTest : public QObject {
    Q_OBJECT

private slots:
    void framesAcrossWritesAndConnections();
    void limitsCountWhatTheyRefuseAndCut();
    void tls();
    void busyPortIsReported();
};

void StreamListenerTest::framesAcrossWritesAndConnections() {
    StreamListener listener;
    QCOMPARE(listener.listen(0), QString());
    Collected got;
    got.attach(listener, this);
    QTcpSocket a, b;
    a.connectToHost(QHostAddress::LocalHost, listener.port());
    b.connectToHost(QHostAddress::LocalHost, listener.port());
    QVERIFY(a.waitForConnected(5000) && b.waitForConnected(5000));
    a.write("12 <13>counted!<14>li");
    a.flush();
    QTest::qWait(50);
    a.write("ne one\r\n");
    b.write("<15>from b\n");
    a.flush();
    b.flush();
    QTRY_COMPARE(got.messages.size(), std::size_t(3));
    QCOMPARE(got.sender, std::string("127.0.0.1"));
    // A message the sender ends by closing, without its line end.
    b.write("<15>last");
    b.disconnectFromHost();
    QTRY_COMPARE(got.messages.size(), std::size_t(4));
    QCOMPARE(got.messages.back(), std::string("<15>last"));
    QTRY_COMPARE(listener.connectionCount(), 1);

    // The same port takes IPv6 senders.
    if (QTcpServer probe; !probe.listen(QHostAddress::LocalHostIPv6))
        QSKIP("no IPv6 loopback here");
    QTcpSocket v6;
    v6.connectToHost(QHostAddress::LocalHostIPv6, listener.port());
    QVERIFY(v6.waitForConnected(5000));
    v6.write("<15>over IPv6\n");
    v6.flush();
    QTRY_COMPARE(got.messages.size(), std::size_t(5));
    QCOMPARE(got.sender, std::string("::1"));
}

void StreamListenerTest::limitsCountWhatTheyRefuseAndCut() {
    StreamListenerOptions options;
    options.maxConnections = 2;
    options.idleSeconds = 1;
    options.maxFrame = 32;
    StreamListener listener(options);
    QCOMPARE(listener.listen(0), QString());
    Collected got;
    got.attach(listener, this);
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, listener.port());
        QVERIFY(clients.back()->waitForConnected(5000));
    }
    QTRY_COMPARE(listener.losses().refused, std::uint64_t(1));
    QTRY_COMPARE(clients[2]->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(listener.connectionCount(), 2);

    clients[0]->write(QByteArray(100, 'x') + "\n<13>after the cut\n");
    clients[0]->flush();
    QTRY_COMPARE(got.messages.size(), std::size_t(2));
    QCOMPARE(got.messages[0], std::string(29, 'x') + "\xE2\x80\xA6");
    QCOMPARE(got.messages[1], std::string("<13>after the cut"));
    QCOMPARE(listener.losses().cut, std::uint64_t(1));

    // Silent ones are closed; one that keeps talking stays.
    for (int i = 0; i < 15; ++i) {
        clients[1]->write("<13>still here\n");
        clients[1]->flush();
        QTest::qWait(100);
    }
    QTRY_COMPARE(clients[0]->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(clients[1]->state(), QAbstractSocket::ConnectedState);
    QTRY_COMPARE_WITH_TIMEOUT(clients[1]->state(), QAbstractSocket::UnconnectedState, 5000);
}

void StreamListenerTest::tls() {
    QTemporaryDir dir;
    forwardtest::Rsyslog certificates(dir.path()); // only its openssl helper
    QCOMPARE(certificates.makeCertificate(QStringLiteral("server"), QStringLiteral("localhost")),
             QString());
    QCOMPARE(certificates.makeCertificate(QStringLiteral("client"), QStringLiteral("client")),
             QString());
    const QString base = dir.path() + QLatin1Char('/');
    const TlsFiles files{base + "server.pem", base + "server-key.pem", base + "ca.pem"};

    StreamListener listener;
    QCOMPARE(listener.listen(0, files), QString());
    Collected got;
    got.attach(listener, this);
    const QList<QSslCertificate> ca = QSslCertificate::fromPath(base + "ca.pem");
    const auto client = [&](bool withCertificate) {
        auto socket = std::make_unique<QSslSocket>();
        QSslConfiguration config = socket->sslConfiguration();
        config.setCaCertificates(ca);
        if (withCertificate) {
            config.setLocalCertificate(QSslCertificate::fromPath(base + "client.pem").value(0));
            QFile key(base + "client-key.pem");
            if (key.open(QIODevice::ReadOnly))
                config.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec));
        }
        socket->setSslConfiguration(config);
        socket->setPeerVerifyName(QStringLiteral("localhost"));
        socket->connectToHostEncrypted(QStringLiteral("127.0.0.1"), listener.port());
        return socket;
    };
    // A client with a certificate of the authority is heard.
    const auto trusted = client(true);
    // The listener runs on this thread: wait with the event loop running.
    QTRY_VERIFY2_WITH_TIMEOUT(trusted->isEncrypted(), qPrintable(trusted->errorString()), 10000);
    trusted->write("28 <13>1 - h app - - - over TLS\n");
    QTRY_COMPARE(got.messages, std::vector<std::string>{"<13>1 - h app - - - over TLS"});
    // Without one the handshake fails and nothing is read.
    const auto stranger = client(false);
    QTest::qWait(500); // TLS 1.3 refuses only after the client's handshake ended
    stranger->write("11 <13>1 - - -\n");
    stranger->flush();
    QTest::qWait(500);
    QCOMPARE(got.messages.size(), std::size_t(1));

    // A key that is missing is named.
    StreamListener broken;
    const QString error = broken.listen(0, TlsFiles{base + "server.pem", base + "nothing.pem", {}});
    QVERIFY2(error.startsWith("Cannot listen on TLS port 0: cannot read the key ") &&
                 error.contains("nothing.pem"),
             qPrintable(error));
    // TLS without a certificate is refused, not served as plain TCP.
    QCOMPARE(broken.listen(0, TlsFiles{}),
             QStringLiteral("Cannot listen on TLS port 0: TLSCert names no certificate file"));
    QCOMPARE(broken.port(), quint16(0));
}

void StreamListenerTest::busyPortIsReported() {
    StreamListener first, second;
    QCOMPARE(first.listen(0), QString());
    QCOMPARE(second.listen(first.port()),
             QStringLiteral("Cannot listen on TCP port %1: address in use").arg(first.port()));
}

QTEST_GUILESS_MAIN(StreamListenerTest)
#include "tst_stream_listener.moc"
