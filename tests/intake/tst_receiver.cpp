// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The receiver on real loopback sockets: batches in arrival order with the
// sender's address, a long backlog in slices, and a bind failure in the
// operator's words.

#include "intake/receiver.h"

#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

using namespace quorvik;

class ReceiverTest : public QObject {
    Q_OBJECT

private slots:
    void batchesKeepArrivalOrderAndSender();
    void nestedEventLoopInSlotKeepsTheBatch();
    void busyPortIsReported();
};

void ReceiverTest::batchesKeepArrivalOrderAndSender() {
    Receiver receiver({});
    QCOMPARE(receiver.bind(0), QString());
    const quint16 port = receiver.port();

    std::vector<RawMessage> received;
    std::size_t largest = 0;
    connect(&receiver, &Receiver::datagramsReceived, this,
            [&](const std::vector<RawMessage> &batch) {
                largest = std::max(largest, batch.size());
                received.insert(received.end(), batch.begin(), batch.end());
            });
    const int count = int(Receiver::kMaxBatch) + 100; // more than one batch
    QUdpSocket sender;
    for (int k = 0; k < count; ++k)
        sender.writeDatagram(QByteArray::number(k), QHostAddress::LocalHost, port);
    QTRY_COMPARE(received.size(), std::size_t(count));
    QVERIFY(largest <= Receiver::kMaxBatch);
    for (int k = 0; k < count; ++k)
        QCOMPARE(received[std::size_t(k)].bytes, std::to_string(k));
    QCOMPARE(received.back().sender, std::string("127.0.0.1"));
}

// A slot that runs an event loop of its own (a message box does) gets the
// next batch meanwhile; the batch it is still reading stays intact.
void ReceiverTest::nestedEventLoopInSlotKeepsTheBatch() {
    Receiver receiver({});
    QCOMPARE(receiver.bind(0), QString());
    QUdpSocket sender;
    const auto send = [&](const QByteArray &text) {
        sender.writeDatagram(text, QHostAddress::LocalHost, receiver.port());
    };
    std::vector<std::string> outer, inner;
    int depth = 0;
    connect(&receiver, &Receiver::datagramsReceived, this,
            [&](const std::vector<RawMessage> &batch) {
                if (batch.empty())
                    return;
                if (depth++ > 0) {
                    inner.emplace_back(batch.front().bytes);
                } else {
                    send("second");
                    while (inner.empty())
                        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                    for (const RawMessage &datagram : batch)
                        outer.push_back(datagram.bytes);
                }
                --depth;
            });
    send("first");
    QTRY_COMPARE(outer.size(), std::size_t(1));
    QCOMPARE(outer.front(), std::string("first"));
    QCOMPARE(inner, std::vector<std::string>{"second"});
}

void ReceiverTest::busyPortIsReported() {
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::Any, 0));
    Receiver receiver({});
    QCOMPARE(receiver.bind(holder.localPort()),
             QStringLiteral("Cannot listen on UDP port %1: the port is in use by another program")
                 .arg(holder.localPort()));
}

QTEST_MAIN(ReceiverTest)
#include "tst_receiver.moc"
