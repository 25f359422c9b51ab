// The receiver on real loopback sockets: batches in arrival order with the
// sender's address, and a bind failure in the operator's words.

#include "main_window/receiver.h"

#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

using namespace quorvik;

class ReceiverTest : public QObject {
    Q_OBJECT

private slots:
    void batchesKeepArrivalOrderAndSender();
    void busyPortIsReported();
};

void ReceiverTest::batchesKeepArrivalOrderAndSender() {
    Receiver receiver;
    QUdpSocket probe;
    QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
    const quint16 port = probe.localPort();
    probe.close();
    QCOMPARE(receiver.bind(port), QString());

    QList<Datagram> received;
    int largest = 0;
    connect(&receiver, &Receiver::datagramsReceived, this, [&](const QList<Datagram> &batch) {
        largest = std::max(largest, int(batch.size()));
        received += batch;
    });
    const int count = Receiver::kBatchSize + 100; // more than one batch
    QUdpSocket sender;
    for (int k = 0; k < count; ++k)
        sender.writeDatagram(QByteArray::number(k), QHostAddress::LocalHost, port);
    QTRY_COMPARE(received.size(), count);
    QVERIFY(largest <= Receiver::kBatchSize);
    for (int k = 0; k < count; ++k)
        QCOMPARE(received[k].bytes, QByteArray::number(k));
    QCOMPARE(received.last().sender, QStringLiteral("127.0.0.1"));
}

void ReceiverTest::busyPortIsReported() {
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::Any, 0));
    Receiver receiver;
    QCOMPARE(receiver.bind(holder.localPort()),
             QStringLiteral("Cannot listen on UDP port %1: the port is in use by another program")
                 .arg(holder.localPort()));
}

QTEST_MAIN(ReceiverTest)
#include "tst_receiver.moc"
