#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QUdpSocket;

namespace quorvik {

// One received datagram: its bytes and the sender's address as text
// ("10.0.0.9"; an IPv4 address mapped into IPv6 is shown as IPv4).
struct Datagram {
    QByteArray bytes;
    QString sender;
};

// The UDP receiver of the live copy: owns the socket, binds it, drains it and
// hands the datagrams on in batches, in arrival order.
class Receiver : public QObject {
    Q_OBJECT

public:
    // Datagrams per batch; between full batches the window repaints and takes
    // the operator's input.
    static constexpr int kBatchSize = 512;

    explicit Receiver(QObject *parent = nullptr);
    ~Receiver() override;

    // Listens on `port` of every local address. Returns the text for the
    // operator when that fails ("Cannot listen on UDP port 162: permission
    // denied"), empty on success.
    QString bind(quint16 port);

    // Stops receiving.
    void close();

signals:
    void datagramsReceived(const QList<quorvik::Datagram> &batch);

private:
    void drain();

    QUdpSocket *m_socket = nullptr;
    QByteArray m_buffer;
};

} // namespace quorvik
