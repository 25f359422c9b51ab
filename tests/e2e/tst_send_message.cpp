// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A message sent from the send dialog reaches a real live quorvik: the dialog
// runs in this test process, inside the private network namespace the copy
// also runs in, and sends to 127.0.0.1; the copy logs the event.
#include "messaging/send_message_dialog.h"
#include "tests/control.h"

#include "quorvik_process.h"

#include <QApplication>
#include <QHostInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

using quorvik::SendMessageDialog;

class SendMessageE2eTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { E2E_REQUIRE_TRAP_PORT(); }
    void init() { E2E_REQUIRE_FREE_TRAP_PORT(); }

    // The event carries this computer's host name and the dialog's defaults
    // for application and object.
    void liveCopyLogsTheMessage() {
        e2e::QuorvikEnv env;
        QVERIFY(env.writeConfig());
        QProcess *live = nullptr;
        const QString error = env.startLive(&live);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(env.logsNote("up"));

        QWidget mainWindow;
        mainWindow.show();
        QPointer<SendMessageDialog> dialog;
        SendMessageDialog::showFor(dialog, &mainWindow);
        using quorvik::testing::control;
        QTest::keyClicks(control<QLineEdit>(dialog, QStringLiteral("Text1_0")), "127.0.0.1");
        QTest::keyClicks(control<QLineEdit>(dialog, QStringLiteral("Text1_3")),
                         "hello from the dialog");
        const QByteArray before = env.log();
        const QDateTime from = QDateTime::currentDateTime();
        QTest::mouseClick(control<QPushButton>(dialog, QStringLiteral("sMsg")), Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull());

        QTRY_COMPARE_WITH_TIMEOUT(e2e::lineCount(env.log()), e2e::lineCount(before) + 1, 10000);
        const QByteArray line = env.log().mid(before.size());
        const QString diff =
            e2e::compareLogLine(line,
                                "Information;{DATE};" + QHostInfo::localHostName().toLocal8Bit() +
                                    ";Quorvik;Private Message;hello from the dialog\r\n",
                                from, QDateTime::currentDateTime());
        QVERIFY2(diff.isEmpty(), qPrintable(diff + QStringLiteral("; ") + env.describe(live)));
    }
};

int main(int argc, char *argv[]) {
    const QString network = e2e::enterPrivateNetwork();
    QApplication app(argc, argv);
    if (!network.isEmpty())
        qWarning("e2e: no private network namespace (%s); using the machine's network",
                 qPrintable(network));
    SendMessageE2eTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_send_message.moc"
