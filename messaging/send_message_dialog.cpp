// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "messaging/send_message_dialog.h"

#include "core/level.h"
#include "core/outgoing_message.h"
#include "ui/once_window.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUdpSocket>

#include <limits>

namespace quorvik {

namespace {

const char *const kFieldCaptions[] = {"Destination", "Application", "Object", "Message"};

std::string_view bytesOf(const QByteArray &bytes) {
    return {bytes.constData(), std::size_t(bytes.size())};
}

// The address to send to: the first IPv4 address of the name, else its first
// IPv6 address (a name known only by IPv6 is reachable too).
QHostAddress preferredAddress(const QList<QHostAddress> &addresses) {
    for (const QHostAddress &address : addresses)
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address;
    for (const QHostAddress &address : addresses)
        if (address.protocol() == QAbstractSocket::IPv6Protocol)
            return address;
    return {};
}

} // namespace

SendMessageDialog::SendMessageDialog(QWidget *mainWindow) : QDialog(mainWindow) {
    setObjectName(QStringLiteral("Nachricht"));
    setWindowTitle(QStringLiteral("Quorvik - Send a message"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    createControls();
    centreWhenActive(this, mainWindow);
    m_socket = new QUdpSocket(this);
    m_socket->setObjectName(QStringLiteral("Winsock1"));
}

SendMessageDialog::~SendMessageDialog() {
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
}

SendMessageDialog *SendMessageDialog::showFor(QPointer<SendMessageDialog> &dialog,
                                              QWidget *mainWindow) {
    return showOnce(dialog, [mainWindow] { return new SendMessageDialog(mainWindow); });
}

void SendMessageDialog::createControls() {
    auto *grid = new QGridLayout;
    const auto addCaption = [&](int row, const char *text) {
        auto *label = new QLabel(QString::fromLatin1(text), this);
        label->setObjectName(QStringLiteral("Label1_%1").arg(row));
        grid->addWidget(label, row, 0);
    };

    addCaption(0, "Level");
    m_levelList = new QComboBox(this);
    m_levelList->setObjectName(QStringLiteral("sLevel"));
    for (int i = 0; i < kLevelCount; ++i) {
        const std::string_view name = levelByIndex(i).name;
        m_levelList->addItem(QString::fromLatin1(name.data(), qsizetype(name.size())));
    }
    m_levelList->setCurrentIndex(kDefaultLevel);
    grid->addWidget(m_levelList, 0, 1);

    for (int i = 0; i < FieldCount; ++i) {
        addCaption(i + 1, kFieldCaptions[i]);
        m_fields[i] = new QLineEdit(this);
        m_fields[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));
        m_fields[i]->setMinimumWidth(280);
        // No cut at the line edit's default 32,767: Send tells what fits.
        m_fields[i]->setMaxLength(std::numeric_limits<int>::max());
        grid->addWidget(m_fields[i], i + 1, 1);
    }

    m_errorLine = new QLabel(this);
    m_errorLine->setObjectName(QStringLiteral("nError"));
    QPalette red = m_errorLine->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    m_errorLine->setPalette(red);
    QFont bold = m_errorLine->font();
    bold.setBold(true);
    m_errorLine->setFont(bold);
    grid->addWidget(m_errorLine, FieldCount + 1, 0, 1, 2);

    const auto addButton = [this](const char *name, const char *caption) {
        auto *button = new QPushButton(QString::fromLatin1(caption), this);
        button->setObjectName(QString::fromLatin1(name));
        return button;
    };
    m_sendButton = addButton("sMsg", "Send");
    m_clearButton = addButton("mClear", "Clear");
    m_cancelButton = addButton("mCancel", "Cancel");
    m_sendButton->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *button : {m_sendButton, m_clearButton, m_cancelButton})
        buttons->addWidget(button);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_sendButton, &QPushButton::clicked, this, &SendMessageDialog::send);
    connect(m_clearButton, &QPushButton::clicked, this, &SendMessageDialog::clearEntries);
    connect(m_cancelButton, &QPushButton::clicked, this, &QWidget::close);
}

// Each activation empties the error line and centres the dialog; the chosen
// level stays, so a glance at the main window doesn't change what is sent.
bool SendMessageDialog::event(QEvent *event) {
    if (event->type() == QEvent::WindowActivate)
        m_errorLine->clear();
    return QDialog::event(event);
}

void SendMessageDialog::clearEntries() {
    m_levelList->setCurrentIndex(kDefaultLevel);
    for (QLineEdit *box : m_fields)
        box->clear();
}

void SendMessageDialog::showError(const QString &text, Field focus) {
    m_errorLine->setText(text);
    m_fields[focus]->setFocus();
}

// Checks the entries, composes the datagram from them as they are now, and
// sends it once the destination is known. A name is resolved in the
// background, so the dialog stays usable; Send is refused meanwhile.
void SendMessageDialog::send() {
    if (isSending())
        return;
    m_errorLine->clear();
    m_errorLine->setToolTip({});
    if (m_fields[Destination]->text().isEmpty())
        return showError(QStringLiteral("Destination missing"), Destination);
    if (m_fields[Application]->text().isEmpty())
        m_fields[Application]->setText(QStringLiteral("Quorvik"));
    if (m_fields[Object]->text().isEmpty())
        m_fields[Object]->setText(QStringLiteral("Private Message"));
    if (m_fields[Message]->text().isEmpty())
        return showError(QStringLiteral("Message missing"), Message);

    const QByteArray host = QHostInfo::localHostName().toLocal8Bit();
    const QByteArray application = m_fields[Application]->text().toLocal8Bit();
    const QByteArray object = m_fields[Object]->text().toLocal8Bit();
    const QByteArray message = m_fields[Message]->text().toLocal8Bit();
    // A tag inside a field would make the receiver read other fields than
    // the ones typed.
    for (const Field field : {Application, Object, Message}) {
        const QByteArray bytes = m_fields[field]->text().toLocal8Bit();
        const std::string_view tag = tagMarkerIn(bytesOf(bytes));
        if (!tag.empty())
            return showError(QStringLiteral("%1 must not contain %2")
                                 .arg(QLatin1String(kFieldCaptions[field]),
                                      QLatin1String(tag.data(), qsizetype(tag.size()))),
                             field);
    }
    const std::string text =
        composeEventMessage({levelByIndex(m_levelList->currentIndex()).letter, bytesOf(host),
                             bytesOf(application), bytesOf(object), bytesOf(message)});
    if (text.size() > kMaxDatagramBytes)
        return showError(QStringLiteral("Too long for one datagram: %1 bytes, at most %2 fit")
                             .arg(qulonglong(text.size()))
                             .arg(qulonglong(kMaxDatagramBytes)),
                         Message);
    m_datagram = QByteArray::fromStdString(text);

    const QString destination = m_fields[Destination]->text();
    QHostAddress literal;
    if (literal.setAddress(destination))
        return transmit(literal);
    m_sendButton->setEnabled(false);
    m_lookupId = QHostInfo::lookupHost(destination, this, &SendMessageDialog::hostResolved);
}

void SendMessageDialog::hostResolved(const QHostInfo &info) {
    m_lookupId = -1;
    m_sendButton->setEnabled(true);
    const QHostAddress address = preferredAddress(info.addresses());
    if (address.isNull())
        return showFailure(info.error() == QHostInfo::NoError ? QStringLiteral("Host not found")
                                                              : info.errorString());
    transmit(address);
}

// Binds local port 16001 for this one datagram only. The port is not shared:
// another program holding it is a failure, not a second sender on it.
void SendMessageDialog::transmit(const QHostAddress &address) {
    const QHostAddress local(address.protocol() == QAbstractSocket::IPv6Protocol
                                 ? QHostAddress::AnyIPv6
                                 : QHostAddress::AnyIPv4);
    const bool sent =
        m_socket->bind(local, kLocalPort, QAbstractSocket::DontShareAddress) &&
        m_socket->writeDatagram(m_datagram, address, kRemotePort) == m_datagram.size();
    const QString reason = m_socket->errorString();
    m_socket->close();
    if (!sent)
        return showFailure(reason);
    close();
}

// The fixed error text; the socket's own reason is its tool tip.
void SendMessageDialog::showFailure(const QString &reason) {
    showError(QStringLiteral("Winsock-Error: message not sent"), Destination);
    m_errorLine->setToolTip(reason);
}

} // namespace quorvik
