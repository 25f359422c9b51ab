#include "main_window/receiver.h"

#include <QCoreApplication>
#include <QUdpSocket>
#include <QVariant>

#ifdef Q_OS_LINUX
#include <sys/socket.h>
#endif

namespace quorvik {

namespace {

constexpr qint64 kMaxDatagram = 65536;
constexpr int kReceiveBuffer = 16 * 1024 * 1024; // asked of the system

QString senderText(const QHostAddress &address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

QString bindFailureReason(const QUdpSocket &socket) {
    switch (socket.error()) {
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("permission denied");
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("the port is in use by another program");
    default:
        return socket.errorString();
    }
}

} // namespace

Receiver::Receiver(QObject *parent) : QObject(parent), m_socket(new QUdpSocket(this)) {
    m_socket->setObjectName(QStringLiteral("Winsock1"));
    connect(m_socket, &QUdpSocket::readyRead, this, &Receiver::drain);
}

Receiver::~Receiver() = default;

QString Receiver::bind(quint16 port) {
    if (!m_socket->bind(QHostAddress::Any, port))
        return QStringLiteral("Cannot listen on UDP port %1: %2")
            .arg(port)
            .arg(bindFailureReason(*m_socket));
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                              QVariant(kReceiveBuffer));
#ifdef Q_OS_LINUX
    // Beyond the system's limit only a privileged process may go; try it and
    // keep what is granted otherwise.
    const int size = kReceiveBuffer;
    ::setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
#endif
    return {};
}

void Receiver::close() {
    m_socket->close();
}

void Receiver::drain() {
    // Drains everything that waits, so that no datagram is left behind for a
    // wake-up that may never come. In a flood the window repaints and takes
    // the operator's input between batches.
    m_buffer.resize(kMaxDatagram);
    QList<Datagram> batch;
    for (;;) {
        QHostAddress sender;
        const qint64 read = m_socket->readDatagram(m_buffer.data(), kMaxDatagram, &sender);
        if (read >= 0)
            batch.append({QByteArray(m_buffer.constData(), read), senderText(sender)});
        if (batch.size() == kBatchSize || (read < 0 && !batch.isEmpty())) {
            emit datagramsReceived(std::exchange(batch, {}));
            if (read >= 0)
                QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
        }
        if (read < 0)
            break;
    }
}

} // namespace quorvik
