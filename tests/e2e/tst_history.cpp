// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// History end to end: a real live quorvik receives tagged texts and real
// snmptrap traps and writes its log; a history window built on that file
// shows the same events in the same tables; a real `quorvik -H` on it writes
// nothing and binds no port; the History button starts a copy with "-H".
#include "../main_window/form_fixture.h"
#include "core/level.h"
#include "history/history_browser.h"
#include "quorvik_process.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

#include "core/line_reader.h"
#include "core/log_file.h"

using namespace quorvik;

namespace {

// Set for the copy the History button starts: it is this test's own program.
const char *const kMarkerVariable = "QUORVIK_E2E_HISTORY_MARKER";

const QList<QByteArray> kTexts = {
    "$LEVL$:E$HOST$:srv1$SOURCE$:app$DEVC$:obj$MSG$:disk full",
    "$LEVL$:P$HOST$:srv2$MSG$:panic; with a semicolon",
    "$LEVL$:C$HOST$:srv3$SOURCE$:db$MSG$:critical",
    "$LEVL$:A$HOST$:srv4$DEVC$:fan_2$MSG$:alert",
    "$LEVL$:W$HOST$:srv5$MSG$:warning",
    "$LEVL$:I$MSG$:no host: the sender's address",
    "$LEVL$:N$HOST$:srv7$MSG$:caf\xc3\xa9 note",
    "$LEVL$:q$HOST$:srv8$MSG$:unknown letter",
    // A line break must not forge a second log line, a ";" before the
    // message must not shift the columns.
    "$LEVL$:N$HOST$:intruder$MSG$:harmless note\r\nEmergency;09.12.2026 13:00:00;core-router;bgp;"
    "peer1;BGP session down",
    "$LEVL$:W$HOST$:a;b$SOURCE$:s$DEVC$:o$MSG$:m",
};
constexpr qsizetype kEvents = 12; // the texts and two traps

// Level name and the five cells of every row of a table, top first.
QStringList rowsOf(EventTable *table) {
    QStringList rows;
    for (int r = 1; r < table->rows(); ++r) {
        QStringList cells;
        for (int c = 0; c <= table->messageColumn(); ++c)
            cells << table->cellText(r, c);
        if (!cells.join(QString()).trimmed().isEmpty())
            rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// A history copy's window on a log file.
struct HistoryWindow {
    explicit HistoryWindow(const QString &logPath)
        : fixture("[Global]\r\nLogfile=" + QFile::encodeName(logPath) + "\r\n", true) {
        fixture.start();
        history = std::make_unique<HistoryBrowser>(*fixture.form,
                                                   HistoryConfig{&fixture.boxes, nullptr, {}, 300});
    }
    // Waits for the load that `start` begins (by default the copy's first
    // one), then lets the views catch up.
    bool load(const std::function<void()> &start = {}) {
        QSignalSpy done(history.get(), &HistoryBrowser::loadFinished);
        if (start)
            start();
        else
            history->startUp();
        if (!done.wait(15000))
            return false;
        fixture.settle();
        return true;
    }

    testing::FormFixture fixture;
    std::unique_ptr<HistoryBrowser> history;
};

} // namespace

class HistoryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<e2e::QuorvikEnv> m_env;
    QByteArray m_log;

private slots:
    void initTestCase() {
        E2E_REQUIRE_TRAP_PORT();
        E2E_REQUIRE_FREE_TRAP_PORT();
        QProcess *live = nullptr;
        const QString error = e2e::startFreshLive(m_env, &live);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        for (const QByteArray &text : kTexts)
            QCOMPARE(e2e::sendDatagram(text), text.size());
        for (const QString &descr : {QStringLiteral("Router up"), QStringLiteral("link_3 down")}) {
            const QString sent =
                m_env->snmptrap({"-v", "2c", "-c", "public", "127.0.0.1:162", "",
                                 "1.3.6.1.4.1.8072.2.3.0.1", "1.3.6.1.2.1.1.1.0", "s", descr});
            QVERIFY2(sent.isEmpty(), qPrintable(sent));
        }
        QTRY_COMPARE_WITH_TIMEOUT(e2e::lineCount(m_env->log()), 1 + kEvents, 15000);
        e2e::QuorvikEnv::stop(live);
        m_log = m_env->log();
    }

    void cleanupTestCase() { m_env.reset(); }

    // The history window on the file the live copy wrote: every logged event
    // in its level's table and in the full list, as the log line says.
    void historyWindowShowsTheLoggedEvents() {
        HistoryWindow window(m_env->logPath());
        QVERIFY(window.load());
        testing::FormFixture &fixture = window.fixture;

        QStringList expectedList;
        std::array<QStringList, kLevelCount> expectedLevels;
        const QList<QByteArray> lines = m_log.split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (lines[i].isEmpty())
                continue;
            const std::array<std::string_view, 6> f =
                splitLogFields(std::string_view(lines[i].constData(), lines[i].size() - 1));
            QStringList cells;
            for (std::size_t c = 1; c < 6; ++c)
                cells << QString::fromLocal8Bit(f[c].data(), qsizetype(f[c].size()));
            cells.last().prepend(QLatin1Char(' '));
            // An Unknown line comes back as a trap, as the intake reads an untagged message.
            const Level &level = f[0] == "Unknown" ? trapLevel() : *levelByName(f[0]);
            expectedLevels[std::size_t(level.index)].prepend(cells.join(QLatin1Char('|')));
            expectedList.prepend(QString::fromLatin1(level.name.data(), level.name.size()) + "|" +
                                 cells.join(QLatin1Char('|')));
        }
        QCOMPARE(expectedList.size(), kEvents);
        QCOMPARE(rowsOf(testing::fullListOf(*fixture.form)->table()), expectedList);
        for (int i = 0; i < kLevelCount; ++i)
            QCOMPARE(rowsOf(testing::levelGridOf(*fixture.form, i)->table()),
                     expectedLevels[std::size_t(i)]);
        QCOMPARE(m_env->log(), m_log);
    }

    // Each event is one log line of six fields, and comes back as it was
    // shown live: line breaks by their codes, the host with its ";".
    void fieldsKeepTheirColumns() {
        const QList<QByteArray> lines = m_log.split('\n');
        QCOMPARE(lines.size(), 1 + kEvents + 1);
        QVERIFY2(
            lines[9].startsWith("Note;") &&
                lines[9].endsWith(";intruder;;;harmless note[U+000D][U+000A]Emergency;"
                                  "09.12.2026 13:00:00;core-router;bgp;peer1;BGP session down\r"),
            lines[9].constData());
        QVERIFY2(lines[10].startsWith("Warning;") && lines[10].endsWith(";a[U+003B]b;s;o;m\r"),
                 lines[10].constData());
        HistoryWindow window(m_env->logPath());
        QVERIFY(window.load());
        testing::FormFixture &fixture = window.fixture;
        const QStringList rows = rowsOf(testing::fullListOf(*fixture.form)->table());
        QCOMPARE(rows.size(), kEvents);
        QVERIFY2(rows[3].startsWith("Note|") &&
                     rows[3].endsWith("|intruder||| harmless note[U+000D][U+000A]Emergency;"
                                      "09.12.2026 13:00:00;core-router;bgp;peer1;BGP session down"),
                 qPrintable(rows[3]));
        QVERIFY2(rows[2].startsWith("Warning|") && rows[2].endsWith("|a[U+003B]b|s|o| m"),
                 qPrintable(rows[2]));
    }

    // Lines of other origins in the same log: an undated line keeps its empty
    // date, and an over-long line is one event, cut with an ellipsis.
    void undatedAndOverlongLinesStayOneEvent() {
        const QByteArray longMessage(int(LineReader::kMaxLine), 'x');
        const QByteArray added = "Note;;undated;;;no date\r\nAlert;09.12.2026 13:00:00;big;;;" +
                                 longMessage +
                                 "Emergency;09.12.2026 13:00:00;tail;;;forged\r\nNote;09.12.2026 "
                                 "13:00:01;after;;;last\r\n";
        QFile log(m_env->logPath());
        QVERIFY(log.open(QIODevice::Append));
        QCOMPARE(log.write(added), added.size());
        log.close();
        m_log = m_env->log();

        HistoryWindow window(m_env->logPath());
        QVERIFY(window.load());
        testing::FormFixture &fixture = window.fixture;
        HistoryBrowser &history = *window.history;
        history.showSearchDialog();
        SearchDialog *dialog = testing::shownWindow<SearchDialog>();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        testing::clickBox(dialog->allMessagesBox());
        // The bare time as lower bound: every line, dated or not.
        auto *from = dialog->findChild<QLineEdit *>("DateOf");
        QTest::mouseClick(from, Qt::LeftButton);
        QTest::keyClicks(from, "00:00:00");
        QTest::keyClick(from, Qt::Key_Tab);
        QVERIFY(window.load([dialog] {
            QTest::mouseClick(dialog->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
        }));

        EventTable *list = testing::fullListOf(*fixture.form)->table();
        const QStringList rows = rowsOf(list);
        QCOMPARE(rows.size(), kEvents + 3);
        QCOMPARE(rows[0], QStringLiteral("Note|09.12.2026 13:00:01|after||| last"));
        QCOMPARE(list->cellText(2, 1), QStringLiteral("09.12.2026 13:00:00"));
        QCOMPARE(list->cellText(2, 2), QStringLiteral("big"));
        const QString cut = list->cellText(2, list->messageColumn());
        const qsizetype kept =
            qsizetype(LineReader::kMaxLine) - qsizetype(strlen("Alert;09.12.2026 13:00:00;big;;;"));
        QCOMPARE(cut, QLatin1Char(' ') + QString(kept, QLatin1Char('x')) + QChar(0x2026));
        QCOMPARE(rows[2], QStringLiteral("Note||undated||| no date"));
        QVERIFY(fixture.boxes.reports.isEmpty());
    }

    void realHistoryCopyNeitherWritesNorBinds() {
        QProcess *history = m_env->start({QStringLiteral("-H")});
        QVERIFY(history);
        QTest::qWait(1500);
        QVERIFY2(history->state() == QProcess::Running,
                 qPrintable(e2e::QuorvikEnv::describe(history)));
        QVERIFY(!e2e::holdsAnyUdpPort(history->processId()));
        QVERIFY(e2e::udpInodesOnPort(e2e::kTrapPort).isEmpty());
        history->terminate();
        QVERIFY(history->waitForFinished(10000));
        QCOMPARE(m_env->log(), m_log);
    }

    // The button starts the running program itself, detached, with "-H"; the
    // program here is this test, which answers "-H" by writing its command
    // line and folder into the marker file.
    void historyButtonStartsAHistoryCopy() {
        const QString marker = m_env->root() + QStringLiteral("/started");
        qputenv(kMarkerVariable, QFile::encodeName(marker));
        testing::FormFixture fixture;
        fixture.start();
        QTest::mouseClick(fixture.form->findChild<QPushButton *>("btnHistory"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(e2e::readFile(marker).endsWith('\n'), 15000);
        QCOMPARE(e2e::readFile(marker), "-H\n" + QFile::encodeName(QDir::currentPath()) + "\n");
        QVERIFY(fixture.boxes.reports.isEmpty());
        qunsetenv(kMarkerVariable);
    }
};

int main(int argc, char *argv[]) {
    if (argc == 2 && qstrcmp(argv[1], "-H") == 0 && qEnvironmentVariableIsSet(kMarkerVariable)) {
        QFile marker(qEnvironmentVariable(kMarkerVariable));
        const bool written = marker.open(QIODevice::WriteOnly) &&
                             marker.write(QByteArray(argv[1]) + "\n" +
                                          QFile::encodeName(QDir::currentPath()) + "\n") > 0;
        return written ? 0 : 1;
    }
    const QString network = e2e::enterPrivateNetwork();
    QApplication app(argc, argv);
    if (!network.isEmpty())
        qWarning("e2e: no private network namespace (%s)", qPrintable(network));
    HistoryTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_history.moc"
