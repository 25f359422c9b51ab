// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QDialog>
#include <QPointer>

#include <array>

class QComboBox;
class QHostAddress;
class QHostInfo;
class QLabel;
class QLineEdit;
class QPushButton;
class QUdpSocket;

namespace quorvik {

// "Quorvik - Send a message": composes one event and sends it as one UDP
// datagram to port 162 of another computer, from a socket of its own that
// holds local port 16001 only while it sends. Modeless; a successful send,
// Cancel and Escape close and destroy it.
class SendMessageDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr quint16 kRemotePort = 162;
    static constexpr quint16 kLocalPort = 16001;
    static constexpr int kDefaultLevel = 5; // Information

    // Destination, Application, Object, Message: the Text1 boxes 0 to 3.
    enum Field { Destination, Application, Object, Message, FieldCount };

    // The dialog is a window of its own over `mainWindow`: it centres itself
    // over it whenever it becomes active.
    explicit SendMessageDialog(QWidget *mainWindow);
    ~SendMessageDialog() override;

    // Shows the dialog in `dialog`, creating it over `mainWindow` when none
    // is open, and brings it forward; it goes when it closes.
    static SendMessageDialog *showFor(QPointer<SendMessageDialog> &dialog, QWidget *mainWindow);

    // Whether a send waits for its destination's name to be resolved.
    bool isSending() const { return m_lookupId >= 0; }

protected:
    bool event(QEvent *event) override;

private:
    void createControls();
    void send();
    void clearEntries();
    void hostResolved(const QHostInfo &info);
    void transmit(const QHostAddress &address);
    void showFailure(const QString &reason);
    void showError(const QString &text, Field focus);

    QComboBox *m_levelList = nullptr;
    std::array<QLineEdit *, FieldCount> m_fields{};
    QLabel *m_errorLine = nullptr;
    QPushButton *m_sendButton = nullptr, *m_clearButton = nullptr, *m_cancelButton = nullptr;
    QUdpSocket *m_socket = nullptr;
    QByteArray m_datagram; // composed at Send, sent once the destination is known
    int m_lookupId = -1;
};

} // namespace quorvik
