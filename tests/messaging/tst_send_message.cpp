// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The send-message dialog on real sockets: a private network namespace with
// only loopback gives the test port 162 to itself, and a private host-name
// namespace names the computer "desk12".

#include "messaging/send_message_dialog.h"
#include "tests/control.h"

#include "quorvik_process.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPointer>
#include <QPushButton>

using quorvik::SendMessageDialog;
using quorvik::testing::control;

namespace {

QString g_namespaceError; // why the test runs without its own namespaces

QString enterPrivateHost() {
    if (const QString error = e2e::enterPrivateNetwork(); !error.isEmpty())
        return error;
    if (::unshare(CLONE_NEWUTS) != 0 || ::sethostname("desk12", 6) != 0)
        return QStringLiteral("host name: ") + QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

// Whether local port 16001 is free again.
bool localPortFree() {
    QUdpSocket probe;
    return probe.bind(QHostAddress::AnyIPv4, SendMessageDialog::kLocalPort,
                      QAbstractSocket::DontShareAddress);
}

// Waits until `window` is the active window. (A dialog counts as active
// already while its main window is, so the window test of QtTest won't do.)
bool becomesActive(QWidget *window) {
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

} // namespace

class SendMessageTest : public QObject {
    Q_OBJECT

    QWidget m_mainWindow; // stands in for the main window the dialog centres on
    QUdpSocket m_receiver;
    QPointer<SendMessageDialog> m_dialog;

    SendMessageDialog *open() {
        m_dialog = SendMessageDialog::showFor(m_dialog, &m_mainWindow);
        if (!becomesActive(m_dialog))
            qWarning("the send dialog did not become active");
        return m_dialog;
    }
    QComboBox *levelList() const { return control<QComboBox>(m_dialog, QStringLiteral("sLevel")); }
    QLineEdit *textBox(SendMessageDialog::Field which) const {
        return control<QLineEdit>(m_dialog, QStringLiteral("Text1_%1").arg(int(which)));
    }
    QLabel *errorLine() const { return control<QLabel>(m_dialog, QStringLiteral("nError")); }
    QPushButton *button(const char *name) const {
        return control<QPushButton>(m_dialog, QString::fromLatin1(name));
    }
    void type(SendMessageDialog::Field field, const QString &text) {
        QLineEdit *box = textBox(field);
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        // Key by key with each key's text, as a keyboard layout delivers
        // letters beyond ASCII.
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    void chooseLevel(const QString &name) {
        levelList()->setFocus();
        QTest::keyClicks(levelList(), name);
    }
    void clickSend() { QTest::mouseClick(button("sMsg"), Qt::LeftButton); }
    QString error() const { return errorLine()->text(); }
    QWidget *focused() const { return QApplication::focusWidget(); }

private slots:
    void initTestCase() {
        if (!g_namespaceError.isEmpty())
            QSKIP(qPrintable(QStringLiteral("needs a private network namespace (root): ") +
                             g_namespaceError));
        QVERIFY(m_receiver.bind(QHostAddress::Any, SendMessageDialog::kRemotePort));
        m_mainWindow.setGeometry(100, 100, 800, 600);
        m_mainWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_mainWindow));
    }

    void cleanup() {
        delete m_dialog;
        while (m_receiver.hasPendingDatagrams())
            m_receiver.receiveDatagram();
    }

    // The datagram byte for byte, from local port 16001, freed afterwards;
    // Send is refused while the name is resolved; the dialog then closes.
    void sendsTheComposedDatagram_data() {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("application");
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("example, by name")
            << "Warning"
            << "localhost"
            << ""
            << "disk1"
            << "space low"
            << QByteArray("trapo$LEVL$:W$HOST$:desk12$SOURCE$:Quorvik$DEVC$:disk1$MSG$:space low");
        QTest::newRow("IPv6 only, tags unchanged")
            << "Emergency"
            << "::1"
            << "backup"
            << "disk_2"
            << " a;b $msg$:x "
            << QByteArray(
                   "trapo$LEVL$:E$HOST$:desk12$SOURCE$:backup$DEVC$:disk_2$MSG$: a;b $msg$:x ");
        QTest::newRow("8-bit text")
            << "Note"
            << "127.0.0.1"
            << ""
            << "" << QStringLiteral("caf\u00e9 \u00fc")
            << "trapo$LEVL$:N$HOST$:desk12$SOURCE$:Quorvik$DEVC$:Private Message$MSG$:" +
                   QStringLiteral("caf\u00e9 \u00fc").toLocal8Bit();
    }

    void sendsTheComposedDatagram() {
        QFETCH(QString, level);
        QFETCH(QString, destination);
        QFETCH(QString, application);
        QFETCH(QString, object);
        QFETCH(QString, message);
        QFETCH(QByteArray, expected);
        open();
        chooseLevel(level);
        type(SendMessageDialog::Destination, destination);
        type(SendMessageDialog::Application, application);
        type(SendMessageDialog::Object, object);
        type(SendMessageDialog::Message, message);
        clickSend();
        if (QHostAddress(destination).isNull()) {
            QVERIFY(m_dialog->isSending());
            QVERIFY(!button("sMsg")->isEnabled());
            clickSend();
        }
        QTRY_VERIFY(m_dialog.isNull());
        QVERIFY(m_receiver.hasPendingDatagrams());
        const QNetworkDatagram datagram = m_receiver.receiveDatagram();
        QCOMPARE(datagram.data(), expected);
        QCOMPARE(datagram.senderPort(), int(SendMessageDialog::kLocalPort));
        QVERIFY2(!m_receiver.hasPendingDatagrams(), "a second datagram went out");
        QVERIFY(localPortFree());
    }

    // A new dialog: Information, empty boxes. Only the first missing entry is
    // told; the defaults stay visible although nothing went out. Clear resets
    // level and boxes but keeps the error line.
    void entriesAndDefaults() {
        open();
        QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Quorvik - Send a message"));
        QCOMPARE(levelList()->currentText(), QStringLiteral("Information"));
        QCOMPARE(levelList()->count(), 7);
        clickSend();
        QCOMPARE(error(), QStringLiteral("Destination missing"));
        QCOMPARE(focused(), textBox(SendMessageDialog::Destination));
        QCOMPARE(textBox(SendMessageDialog::Application)->text(), QString());

        type(SendMessageDialog::Destination, QStringLiteral("127.0.0.1"));
        clickSend();
        QCOMPARE(error(), QStringLiteral("Message missing"));
        QCOMPARE(focused(), textBox(SendMessageDialog::Message));
        QCOMPARE(textBox(SendMessageDialog::Application)->text(), QStringLiteral("Quorvik"));
        QCOMPARE(textBox(SendMessageDialog::Object)->text(), QStringLiteral("Private Message"));
        QVERIFY(!m_receiver.hasPendingDatagrams());

        chooseLevel(QStringLiteral("Alert"));
        QCOMPARE(levelList()->currentText(), QStringLiteral("Alert"));
        QTest::mouseClick(button("mClear"), Qt::LeftButton);
        QCOMPARE(levelList()->currentText(), QStringLiteral("Information"));
        for (int i = 0; i < SendMessageDialog::FieldCount; ++i)
            QCOMPARE(textBox(SendMessageDialog::Field(i))->text(), QString());
        QCOMPARE(error(), QStringLiteral("Message missing"));
    }

    // An unresolvable name and a taken local port each show the error with
    // the entries kept; the next send goes out at once.
    void failedSendThenSendAgain() {
        open();
        type(SendMessageDialog::Destination, QStringLiteral("no-such-host.invalid"));
        type(SendMessageDialog::Message, QStringLiteral("retry"));
        clickSend();
        QTRY_VERIFY_WITH_TIMEOUT(!m_dialog->isSending(), 30000);
        QCOMPARE(error(), QStringLiteral("Winsock-Error: message not sent"));
        QCOMPARE(focused(), textBox(SendMessageDialog::Destination));
        QVERIFY(m_dialog->isVisible());

        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, SendMessageDialog::kLocalPort));
        type(SendMessageDialog::Destination, QStringLiteral("127.0.0.1"));
        clickSend();
        QCOMPARE(error(), QStringLiteral("Winsock-Error: message not sent"));
        QVERIFY(!errorLine()->toolTip().isEmpty());
        QCOMPARE(textBox(SendMessageDialog::Message)->text(), QStringLiteral("retry"));
        QVERIFY(!m_receiver.hasPendingDatagrams());

        holder.close();
        clickSend();
        QTRY_VERIFY(m_dialog.isNull());
        QVERIFY(m_receiver.receiveDatagram().data().endsWith("$MSG$:retry"));
    }

    // A tag typed into a field would change what the receiver shows: Send
    // refuses it, naming the field, and sends nothing.
    void tagsRefused_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("date in the message")
            << int(SendMessageDialog::Message) << "a;b $DATE$:01.01.2000 fake"
            << "Message must not contain $DATE$:";
        QTest::newRow("message in the application")
            << int(SendMessageDialog::Application) << "backup $MSG$:all fine"
            << "Application must not contain $MSG$:";
        QTest::newRow("first of two in the object")
            << int(SendMessageDialog::Object) << "o $SOURCE$:s $HOST$:h"
            << "Object must not contain $SOURCE$:";
        QTest::newRow("level") << int(SendMessageDialog::Message) << "x$LEVL$:E"
                               << "Message must not contain $LEVL$:";
        QTest::newRow("host") << int(SendMessageDialog::Message) << "$HOST$:"
                              << "Message must not contain $HOST$:";
        QTest::newRow("object") << int(SendMessageDialog::Application) << "$DEVC$:d"
                                << "Application must not contain $DEVC$:";
    }

    void tagsRefused() {
        QFETCH(int, field);
        QFETCH(QString, text);
        open();
        type(SendMessageDialog::Destination, QStringLiteral("127.0.0.1"));
        type(SendMessageDialog::Message, QStringLiteral("DISK FAILED"));
        type(SendMessageDialog::Field(field), text);
        clickSend();
        QTEST(error(), "refusal");
        QCOMPARE(focused(), textBox(SendMessageDialog::Field(field)));
        QVERIFY(m_dialog->isVisible());
        type(SendMessageDialog::Field(field), QStringLiteral("fixed"));
        clickSend();
        QTRY_VERIFY(m_dialog.isNull());
        QVERIFY(m_receiver.hasPendingDatagrams());
        const QByteArray first = m_receiver.receiveDatagram().data(); // nothing went out before
        QVERIFY2(first.contains("fixed"), first.constData());
    }

    // A pasted text longer than a line edit's usual 32,767 characters goes
    // out whole while it fits into one datagram; one byte more is refused.
    void longestMessageFitsOneDatagram() {
        open();
        type(SendMessageDialog::Destination, QStringLiteral("127.0.0.1"));
        const qsizetype frame =
            QByteArray("trapo$LEVL$:I$HOST$:$SOURCE$:Quorvik$DEVC$:Private Message$MSG$:").size() +
            QHostInfo::localHostName().toLocal8Bit().size();
        const qsizetype fits = 65507 - frame;
        QLineEdit *box = textBox(SendMessageDialog::Message);
        const auto paste = [&](qsizetype size) {
            QApplication::clipboard()->setText(QString(size, QLatin1Char('m')));
            box->setFocus();
            box->selectAll();
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(box->text().size(), size);
        };
        paste(fits + 1);
        clickSend();
        QCOMPARE(error(),
                 QStringLiteral("Too long for one datagram: 65508 bytes, at most 65507 fit"));
        QCOMPARE(focused(), box);
        paste(fits);
        clickSend();
        QTRY_VERIFY(m_dialog.isNull());
        QVERIFY(m_receiver.hasPendingDatagrams());
        const QByteArray sent = m_receiver.receiveDatagram().data();
        QCOMPARE(sent.size(), 65507);
        QVERIFY(sent.endsWith("$MSG$:" + QByteArray(fits, 'm')));
    }

    // Back from the main window: the chosen level stays, the error line is
    // emptied, the dialog is centred again; opening it again gives the same
    // one. Cancel destroys it, the next one starts at Information, Escape
    // destroys that.
    void reactivation() {
        SendMessageDialog *first = open();
        chooseLevel(QStringLiteral("Emergency"));
        clickSend();
        QCOMPARE(error(), QStringLiteral("Destination missing"));

        m_mainWindow.activateWindow();
        QVERIFY(becomesActive(&m_mainWindow));
        m_mainWindow.move(300, 200);
        QCOMPARE(open(), first);
        QCOMPARE(levelList()->currentText(), QStringLiteral("Emergency"));
        QCOMPARE(error(), QString());
        const QPoint offset =
            m_dialog->frameGeometry().center() - m_mainWindow.frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2, "the dialog is not centred on the main window");

        QTest::mouseClick(button("mCancel"), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QVERIFY(!m_receiver.hasPendingDatagrams());
        QVERIFY(open());
        QCOMPARE(levelList()->currentText(), QStringLiteral("Information"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(m_dialog.isNull());
    }
};

int main(int argc, char *argv[]) {
    g_namespaceError = enterPrivateHost();
    QApplication app(argc, argv);
    SendMessageTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_send_message.moc"
