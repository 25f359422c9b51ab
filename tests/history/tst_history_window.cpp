// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A history window on real log files: the first load, the caption, the
// buttons, reloads, another file, failures, and a cancelled load.
#include "../main_window/form_fixture.h"
#include "core/units.h"
#include "history/history_browser.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

class AnsweringFileDialogs : public FileDialogs {
public:
    std::optional<QString> answer;
    QStringList presets;
    std::optional<QString> openFile(QWidget *, const QString &, const QString &preset,
                                    const QString &filters) override {
        presets << preset << filters;
        return answer;
    }
    std::optional<QString> saveFile(QWidget *, const QString &, const QString &,
                                    const QString &) override {
        return std::nullopt;
    }
    std::optional<QColor> chooseColour(QWidget *, const QColor &) override { return std::nullopt; }
    QStringList openFiles(QWidget *, const QString &, const QString &, const QString &) override {
        return {};
    }
    std::optional<QString> chooseFolder(QWidget *, const QString &, const QString &) override {
        return std::nullopt;
    }
};

const QByteArray kLog = "Level;Date;Processor;Application;Object;Message\r\n"
                        "Warning;05.12.2026 23:59:59;old;;;too old\r\n"
                        "Warning;06.12.2026 00:00:00;h1;backup;disk1;space low; 80 %\r\n"
                        "Unknown;06.12.2026 12:41:00;h2;;;text\r\n"
                        "Level;Date;Processor;Application;Object;Message\r\n"
                        "Trap;07.12.2026 12:42:00;h3;snmpd;;cold start\r\n"
                        "Emergency;07.12.2026 23:59:59;h4;;;Disk Full\n"
                        "Note;08.12.2026 00:00:00;late;;;tomorrow\r\n";

} // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<FormFixture> m_fixture;
    AnsweringFileDialogs m_files;
    std::unique_ptr<HistoryBrowser> m_history;

    MainWindow &window() { return *m_fixture->form; }
    QPushButton *button(const char *name) {
        return window().findChild<QPushButton *>(QString::fromLatin1(name));
    }
    // Processor and message of each row of a table, top first.
    QStringList rows(EventGrid *grid) {
        m_fixture->settle();
        EventTable *table = grid->table();
        QStringList texts;
        const int message = table->messageColumn();
        for (int r = 1; r < table->rows(); ++r)
            if (!table->cellText(r, message - 3).isEmpty())
                texts << table->cellText(r, message - 3) + ":" + table->cellText(r, message);
        return texts;
    }
    // The message of each event of a table, top first.
    QStringList messages(EventGrid *grid) {
        m_fixture->settle();
        QStringList texts;
        for (int r = 1; r < grid->table()->rows(); ++r)
            if (const EventRow event = grid->table()->eventAt(r); !event.isNull())
                texts << event.cellText(EventRow::kCells - 1).mid(1);
        return texts;
    }
    bool finishes(HistoryReplay::Outcome expected = HistoryReplay::Outcome::Completed) {
        QSignalSpy done(m_history.get(), &HistoryBrowser::loadFinished);
        if (!m_history->replay().isRunning() && done.isEmpty())
            return false;
        return done.wait(10000) &&
               done.takeFirst().at(0).value<HistoryReplay::Outcome>() == expected;
    }
    void startHistory(const QByteArray &log, int progressDelayMs = 300) {
        m_fixture = std::make_unique<FormFixture>(QByteArray(), true);
        QFile file(m_fixture->logPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(log);
        file.close();
        m_fixture->start();
        m_history = std::make_unique<HistoryBrowser>(
            window(),
            HistoryConfig{&m_fixture->boxes, &m_files,
                          [] { return LocalDateTime{2026, 12, 7, 20, 41, 5}; }, progressDelayMs});
        QSignalSpy done(m_history.get(), &HistoryBrowser::loadFinished);
        m_history->startUp();
        QVERIFY(done.wait(10000));
    }

private slots:
    void cleanup() {
        m_history.reset();
        m_fixture.reset();
    }

    void firstLoadShowsYesterdayAndToday() {
        startHistory(kLog);
        QCOMPARE(window().windowTitle(),
                 "History mode: Filter = from   06.12.2026   to   07.12.2026 23:59:59   "
                 "Logfile = " +
                     m_fixture->logPath());
        QCOMPARE(rows(levelGridOf(window(), 4)),
                 QStringList({"h3: cold start", "h2: text", "h1: space low; 80 %"}));
        QCOMPARE(rows(levelGridOf(window(), 0)), QStringList({"h4: Disk Full"}));
        QCOMPARE(rows(fullListOf(window())).size(), 4);
        QCOMPARE(fullListOf(window())->table()->cellText(2, 0), QString("Trap")); // was Unknown
        QCOMPARE(tabStripOf(window())->currentIndex(), 0); // the last replayed level
        QVERIFY(tabStripOf(window())->isVisible());
        QCOMPARE(m_fixture->readFile(m_fixture->logPath()), kLog); // nothing written
        QVERIFY(m_fixture->boxes.reports.isEmpty());
        for (const char *shown : {"btnFilter", "btnSelLog", "viewschalt", "beenden"})
            QVERIFY2(button(shown)->isVisible(), shown);
        for (const char *hidden : {"btnHistory", "tabclear", "sendMsg"})
            QVERIFY2(!button(hidden)->isVisible(), hidden);
    }

    void okReloadsWithTheSearchWithoutAQuestion() {
        startHistory(kLog);
        QTest::mouseClick(button("btnFilter"), Qt::LeftButton);
        SearchDialog *dialog = shownWindow<SearchDialog>();
        QVERIFY(dialog);
        QVERIFY(!dialog->parentWidget());
        clickBox(dialog->allMessagesBox());
        auto *search = dialog->findChild<QLineEdit *>("searchString");
        QTest::mouseClick(search, Qt::LeftButton);
        QTest::keyClicks(search, "DISK");
        QTest::mouseClick(dialog->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
        QVERIFY(finishes());
        QVERIFY(m_fixture->boxes.questions.isEmpty());
        QCOMPARE(rows(fullListOf(window())), QStringList({"h4: Disk Full", "h1: space low; 80 %"}));
        QCOMPARE(window().windowTitle(),
                 "History mode: Filter = from  01.02.1900  to  31.12.2100 23:59:59 DISK  "
                 "Logfile = " +
                     m_fixture->logPath());
    }

    void anotherLogFile() {
        startHistory(kLog);
        const QString other = m_fixture->dir.filePath("other.log");
        QFile file(other);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Level;Date;Processor;Application;Object;Message\r\nNote;07.12.2026;o;;;x\r\n");
        file.close();
        const QString title = window().windowTitle();

        QTest::mouseClick(button("btnSelLog"), Qt::LeftButton); // cancelled: nothing changes
        QCOMPARE(m_files.presets, QStringList({QDir(m_fixture->dir.path()).filePath("quorvik.log"),
                                               "Logfiles (*.log);;All files (*)"}));
        QVERIFY(!m_history->replay().isRunning());
        QCOMPARE(window().windowTitle(), title);
        QCOMPARE(rows(fullListOf(window())).size(), 4);

        m_files.answer = other;
        QTest::mouseClick(button("btnSelLog"), Qt::LeftButton);
        QVERIFY(finishes());
        QCOMPARE(rows(fullListOf(window())), QStringList({"o: x"}));
        QVERIFY(window().windowTitle().endsWith("Logfile = " + other));
        QCOMPARE(window().settings().logFile, other.toStdString());
        QVERIFY(!m_fixture->readFile(m_fixture->configPath()).contains("other.log"));
    }

    void unreadableFileKeepsTheWindow() {
        startHistory(kLog);
        const QString folder = m_fixture->dir.filePath("folder.log");
        QVERIFY(QDir().mkdir(folder));
        m_files.answer = folder;
        QTest::mouseClick(button("btnSelLog"), Qt::LeftButton);
        QCOMPARE(m_fixture->boxes.reports.size(), 1);
        QCOMPARE(m_fixture->boxes.reports[0].text,
                 "Cannot read the log file " + folder + ": Is a directory");
        QVERIFY(window().isVisible());
        QVERIFY(tabStripOf(window())->isVisible());
    }

    void missingFileEndsTheCopy() {
        startHistory(kLog);
        const QString missing = m_fixture->dir.filePath("gone.log");
        m_files.answer = missing;
        QTest::mouseClick(button("btnSelLog"), Qt::LeftButton);
        QCOMPARE(m_fixture->boxes.reports.size(), 1);
        QCOMPARE(m_fixture->boxes.reports[0].text,
                 "Log-File " + missing + " nicht vorhanden, Programm wird beendet.");
        QVERIFY(!window().isVisible());
    }

    // The History button's start: a program that can't be started says why.
    void startFailureHasAReason() {
        QtProcessStarter starter;
        QVERIFY(!starter.startDetached("/nonexistent/quorvik", {"-H"}).isEmpty());
    }

    // "All": every line, whatever its date; a line that is not six fields
    // shows its text as the message of an Unknown row.
    void allShowsEveryLine() {
        startHistory("Level;Date;Processor;Application;Object;Message\r\n"
                     "Warning;2026-12-07T10:00:00+01:00;iso;;;sender's own date\r\n"
                     "Note;;nodate;;;no date\r\n"
                     "a line without separators\r\n"
                     "Alert;1.1.1800;old;;;before every range\r\n"
                     "Alert;07.12.2026 10:00:00;h;a;o;dated\r\n");
        QCOMPARE(messages(fullListOf(window())), QStringList{"dated"});
        QTest::mouseClick(button("btnFilter"), Qt::LeftButton);
        SearchDialog *dialog = shownWindow<SearchDialog>();
        clickBox(dialog->allMessagesBox());
        QTest::mouseClick(dialog->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
        QVERIFY(finishes());
        QCOMPARE(messages(fullListOf(window())),
                 QStringList({"dated", "before every range", "a line without separators", "no date",
                              "sender's own date"}));
        QCOMPARE(fullListOf(window())->table()->cellText(3, 0), QString("Unknown"));
        QVERIFY(m_fixture->boxes.reports.isEmpty());
    }

    // A load the row limit cuts says so, with the numbers and the way out.
    void rowLimitCutIsTold() {
        QByteArray log = "Level;Date;Processor;Application;Object;Message\r\n";
        for (int i = 0; i < 25; ++i)
            log += "Note;07.12.2026 10:00:00;h" + QByteArray::number(i) + ";;;m\r\n";
        startHistory(log);
        QVERIFY(m_fixture->boxes.reports.isEmpty()); // 25 of the 1,000 rows
        Settings settings = window().settings();
        settings.maxLines = 10;
        window().setSettings(settings);
        m_history->reload();
        QVERIFY(finishes());
        const qsizetype held = messages(fullListOf(window())).size();
        QVERIFY(held > 0 && held <= 10);
        QCOMPARE(m_fixture->boxes.reports.size(), 1);
        QCOMPARE(m_fixture->boxes.reports[0].text,
                 QString("25 lines of the log file match; the row limit shows the newest %1 and "
                         "leaves out %2 older ones. To see them, narrow the search or the dates "
                         "with \"Filter ...\", or raise \"Max. Lines per Tab\" in File > "
                         "Options.")
                     .arg(held)
                     .arg(25 - held));
    }

    void cancelledLoadKeepsItsRows() {
        QByteArray log = "Level;Date;Processor;Application;Object;Message\r\n";
        for (int i = 0; i < 2000; ++i)
            log += "Note;07.12.2026 10:00:00;h" + QByteArray::number(i) + ";;;m\r\n";
        startHistory(log, 0);
        m_history->replay().sliceMs = 0; // one line per slice
        m_history->replay().batchSize = 1;
        QSignalSpy done(m_history.get(), &HistoryBrowser::loadFinished);
        m_history->reload();
        const auto strip = [this] { return window().findChild<QWidget *>("historyProgress"); };
        QTRY_VERIFY(strip() && strip()->isVisible());
        QVERIFY(!tabStripOf(window())->isVisible()); // hidden while it loads
        QTest::mouseClick(control<QPushButton>(strip(), QStringLiteral("historyCancel")),
                          Qt::LeftButton);
        QCOMPARE(done.count(), 1);
        QCOMPARE(done.at(0).at(0).value<HistoryReplay::Outcome>(),
                 HistoryReplay::Outcome::Cancelled);
        const int kept = int(rows(levelGridOf(window(), 6)).size());
        QVERIFY2(kept > 0 && kept < 1000, qPrintable(QString::number(kept)));
        QVERIFY(tabStripOf(window())->isVisible());
        QVERIFY(!strip()->isVisible());
    }

    // Cancel shows the rows read so far at once; their columns grow to
    // them afterwards, in slices between which the window answers. The
    // oldest row, at the bottom of its table, has the widest object.
    void cancelShowsTheRowsBeforeTheirColumnsAreFitted() {
        const QByteArray header = "Level;Date;Processor;Application;Object;Message\r\n";
        startHistory(header + "Note;07.12.2026 10:00:00;h;;obj;m\r\n", 0);
        Settings settings = window().settings();
        settings.maxLines = 100000;
        window().setSettings(settings);
        const QString widest = QString("Lüfter-Störung-").repeated(12);
        QByteArray log = header + "Note;07.12.2026 10:00:00;h;;" + widest.toUtf8() + ";düy\r\n";
        for (int i = 0; i < 20000; ++i)
            log += "Note;07.12.2026 10:00:01;h" + QByteArray::number(i) + ";;Größe;düy\r\n";
        QFile file(m_fixture->logPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(log);
        file.close();
        window().fitSliceMs = 0; // 16 rows a slice
        m_history->replay().sliceMs = 0;
        m_history->replay().batchSize = 1;
        QSignalSpy done(m_history.get(), &HistoryBrowser::loadFinished);
        m_history->reload();
        const auto strip = [this] { return window().findChild<QWidget *>("historyProgress"); };
        QTRY_VERIFY_WITH_TIMEOUT(strip() && strip()->isVisible() && window().eventsHeld() > 50,
                                 20000);
        QTest::mouseClick(control<QPushButton>(strip(), QStringLiteral("historyCancel")),
                          Qt::LeftButton);
        QCOMPARE(done.count(), 1);
        QVERIFY(tabStripOf(window())->isVisible());

        EventGrid *notes = levelGridOf(window(), 6);
        const int widestTwips = toTwips(notes->fontMetrics().horizontalAdvance(widest));
        QVERIFY2(notes->colWidth(3) < widestTwips, "every row was measured within the Cancel");
        QVERIFY(window().isFittingColumns());
        // The operator's click is answered meanwhile.
        QTest::mouseClick(notes->viewport(), Qt::LeftButton, {},
                          notes->visualRect(notes->model()->index(2, 3)).center());
        QCOMPARE(notes->currentIndex().row(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(!window().isFittingColumns(), 20000);
        QVERIFY(notes->colWidth(3) >= widestTwips);
        QCOMPARE(fullListOf(window())->colWidth(4), notes->colWidth(3));
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "tst_history_window.moc"
