// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "intake/datagram_receiver.h"

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace quorvik;

namespace {

// A plain UDP sender on loopback, IPv4 or IPv6.
class Sender {
public:
    Sender(std::uint16_t port, bool v6 = false) {
        m_fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM, 0);
        if (v6) {
            auto &to = reinterpret_cast<sockaddr_in6 &>(m_to);
            to.sin6_family = AF_INET6;
            to.sin6_addr = in6addr_loopback;
            to.sin6_port = htons(port);
            m_length = sizeof to;
        } else {
            auto &to = reinterpret_cast<sockaddr_in &>(m_to);
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            to.sin_port = htons(port);
            m_length = sizeof to;
        }
    }
    ~Sender() { ::close(m_fd); }
    bool send(const std::string &bytes) {
        return ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&m_to),
                        m_length) == ssize_t(bytes.size());
    }
    std::string receive() {
        char buffer[512];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        return n < 0 ? std::string() : std::string(buffer, std::size_t(n));
    }

private:
    int m_fd = -1;
    sockaddr_storage m_to{};
    socklen_t m_length = 0;
};

std::string numbered(int n) {
    return "$LEVL$:N$MSG$:" + std::to_string(n);
}

// Sends `count` numbered datagrams from `first` on, in chunks that the
// receiver thread is let to read before the next one, so that the kernel's
// buffer never overflows however slow the thread runs (a sanitizer build).
void sendPaced(Sender &sender, const DatagramReceiver &receiver, int first, int count) {
    const std::uint64_t before = receiver.readCount();
    const auto waitForRead = [&](int sent) {
        QDeadlineTimer patience(60'000);
        while (receiver.readCount() < before + std::uint64_t(sent) && !patience.hasExpired())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        QCOMPARE(receiver.readCount(), before + std::uint64_t(sent));
    };
    for (int n = 1; n <= count; ++n) {
        QVERIFY(sender.send(numbered(first + n - 1)));
        if (n % 500 == 0 || n == count)
            waitForRead(n);
    }
}

} // namespace

class TestDatagramReceiver : public QObject {
    Q_OBJECT

private slots:
    void backlogInOrderWithReceivedTime();
    void fullQueueDropsAndCounts();
    void responderAnswersTheSender();
};

// Nobody takes while 100,000 datagrams arrive: all are queued in arrival
// order, stamped with the time they were read, and later ones still come.
void TestDatagramReceiver::backlogInOrderWithReceivedTime() {
    std::atomic<std::int64_t> now{1'000};
    std::atomic<int> announced{0};
    DatagramReceiver::Config config;
    config.port = 0;
    config.wallClock = [&now] { return now.load(); };
    config.arrived = [&announced] { ++announced; };
    DatagramReceiver receiver(config);
    QCOMPARE(QString::fromStdString(receiver.start()), QString());
    Sender sender(receiver.port());

    sendPaced(sender, receiver, 0, 100'000);
    QCOMPARE(announced.load(), 1); // once until a take finds the queue empty
    now = 2'000;
    std::vector<RawMessage> taken = receiver.take();
    QCOMPARE(taken.size(), std::size_t(100'000));
    for (int n = 0; n < 100'000; ++n) {
        const RawMessage &d = taken[std::size_t(n)];
        if (d.bytes != numbered(n) || d.receivedAt != 1'000 || d.sender != "127.0.0.1")
            QFAIL(qPrintable(QStringLiteral("datagram %1: %2 at %3 from %4")
                                 .arg(n)
                                 .arg(QString::fromStdString(d.bytes))
                                 .arg(d.receivedAt)
                                 .arg(QString::fromStdString(d.sender))));
    }

    // While takes find datagrams the window keeps taking: no news for it.
    sendPaced(sender, receiver, 100'000, 1);
    QCOMPARE(announced.load(), 1);
    taken = receiver.take(std::move(taken)); // the spent vector handed back
    QCOMPARE(taken.size(), std::size_t(1));
    QCOMPARE(taken[0].receivedAt, 2'000);
    QVERIFY(receiver.take().empty());

    Sender v6(receiver.port(), true);
    QVERIFY(v6.send("after"));
    QTRY_COMPARE(announced.load(), 2);
    taken = receiver.take();
    QCOMPARE(taken.size(), std::size_t(1));
    QCOMPARE(taken[0].bytes, std::string("after"));
    QCOMPARE(taken[0].sender, std::string("::1"));
    QCOMPARE(receiver.lost(), std::uint64_t(0));
}

void TestDatagramReceiver::fullQueueDropsAndCounts() {
    DatagramReceiver::Config config;
    config.port = 0;
    config.maxDatagrams = 300;
    DatagramReceiver receiver(config);
    QCOMPARE(QString::fromStdString(receiver.start()), QString());
    Sender sender(receiver.port());
    sendPaced(sender, receiver, 0, 1'000);
    const std::vector<RawMessage> taken = receiver.take();
    QCOMPARE(taken.size(), std::size_t(300));
    QCOMPARE(taken.back().bytes, numbered(299)); // the oldest are kept
    QCOMPARE(receiver.lost(), std::uint64_t(700));
    sendPaced(sender, receiver, 1'000, 1);
    QCOMPARE(receiver.take().front().bytes, numbered(1'000));
}

void TestDatagramReceiver::responderAnswersTheSender() {
    DatagramReceiver::Config config;
    config.port = 0;
    config.responder = [](std::string_view datagram) -> std::optional<std::string> {
        if (datagram.substr(0, 7) != "inform ")
            return std::nullopt;
        return "response " + std::string(datagram.substr(7));
    };
    DatagramReceiver receiver(config);
    QCOMPARE(QString::fromStdString(receiver.start()), QString());
    Sender sender(receiver.port());
    QVERIFY(sender.send("inform 42"));
    QCOMPARE(sender.receive(), std::string("response 42"));
    QVERIFY(sender.send("trap"));
    QTRY_COMPARE(receiver.readCount(), std::uint64_t(2));
    const std::vector<RawMessage> taken = receiver.take();
    QCOMPARE(taken.size(), std::size_t(2)); // answered ones are shown too
    QCOMPARE(taken[1].bytes, std::string("trap"));
}

QTEST_APPLESS_MAIN(TestDatagramReceiver)
#include "tst_datagram_receiver.moc"
