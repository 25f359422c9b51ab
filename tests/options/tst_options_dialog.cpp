// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The options dialog on a real configuration file, its file and colour
// dialogs answered from a script.

#include "core/forward_target.h"
#include "core/profile.h"
#include "core/snmp_users.h"
#include "options/options_dialog.h"
#include "tests/control.h"
#include "ui/colour.h"

#include "../main_window/form_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLockFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

#include <climits>
#include <deque>
#include <sys/stat.h>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

// Answers the file and colour dialogs in order; nullopt is the operator
// leaving the dialog without choosing.
class ScriptedDialogs : public FileDialogs {
public:
    std::deque<std::optional<QString>> files;
    std::deque<std::optional<QColor>> colours;
    QStringList presets; // the initial file name each file dialog got

    std::optional<QString> openFile(QWidget *, const QString &, const QString &preset,
                                    const QString &) override {
        return nextFile(preset);
    }
    std::optional<QString> saveFile(QWidget *, const QString &, const QString &preset,
                                    const QString &) override {
        return nextFile(preset);
    }
    std::optional<QColor> chooseColour(QWidget *, const QColor &) override {
        std::optional<QColor> answer = colours.front();
        colours.pop_front();
        return answer;
    }
    QStringList openFiles(QWidget *, const QString &, const QString &, const QString &) override {
        QStringList answer = fileLists.front();
        fileLists.pop_front();
        return answer;
    }
    std::optional<QString> chooseFolder(QWidget *, const QString &, const QString &) override {
        return nextFile({});
    }
    std::deque<QStringList> fileLists;

private:
    std::optional<QString> nextFile(const QString &preset) {
        presets << preset;
        std::optional<QString> answer = files.front();
        files.pop_front();
        return answer;
    }
};

class DialogFixture {
public:
    explicit DialogFixture(const QByteArray &config = "[Global]\r\nPopuplevel=4\r\n") {
        writeFile(configPath(), config);
        settings =
            settingsFromProfile(Profile::parse(config.toStdString()), logPath().toStdString());
    }

    QString configPath() const { return dir.filePath(QStringLiteral("quorvik.cfg")); }
    QString logPath() const { return dir.filePath(QStringLiteral("quorvik.log")); }
    QByteArray config() const { return readFile(configPath()); }
    static void writeFile(const QString &path, const QByteArray &content) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    static QByteArray readFile(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    OptionsConfig optionsConfig() {
        OptionsConfig c;
        c.currentSettings = [this] { return settings; };
        c.applySettings = [this](const Settings &s) {
            settings = s;
            ++applied;
        };
        c.profilePath = profilePath.isEmpty() ? configPath() : profilePath;
        c.boxes = &boxes;
        c.dialogs = &dialogs;
        c.sounds = &sounds;
        c.applySnmpUsers = [this](const std::vector<SnmpUser> &users) { snmpUsers = users; };
        c.applyForwardTargets = [this](const std::vector<ForwardTarget> &targets,
                                       const std::vector<int> &numbers) {
            forwardTargets = targets;
            forwardNumbers = numbers;
        };
        c.applyRules = [this](RuleSet r) { rules = std::move(r); };
        // Three Warnings the window shows: srv7, srv8 and gw1 saying "link down".
        c.rowsMatching = [](const EventFilter &filter) {
            int kept = 0;
            for (const char *host : {"srv7", "srv8", "gw1"})
                if (filter.matches(levelByIndex(4),
                                   {"Warning", "", host, "app", "obj", "link down"}))
                    ++kept;
            return std::pair{kept, 3};
        };
        c.mibFolder = dir.filePath(QStringLiteral("mibs"));
        c.currentMibs = [this] { return mibs; };
        c.reloadMibs = [this](const QStringList &dirs) { mibReadings << dirs; };
        c.testForwardTarget = [this](const ForwardTarget &target,
                                     std::function<void(const QString &)> done) {
            tested.push_back(target);
            done(QStringLiteral("Sent one Information event to ") +
                 QString::fromStdString(target.url()) + QLatin1Char('.'));
        };
        return c;
    }
    OptionsDialog *open() { return OptionsDialog::open(dialog, optionsConfig()); }

    template <typename W = QWidget> W *control(const QString &name) const {
        return testing::control<W>(dialog, name);
    }
    void click(const QString &name) const {
        QTest::mouseClick(control<QAbstractButton>(name), Qt::LeftButton);
    }
    // What Apply writes into an emptied configuration file: the groups marked
    // as changed.
    QByteArray appliedChanges() {
        writeFile(configPath(), "[Global]\r\n");
        click(QStringLiteral("cmdApply"));
        return config();
    }
    void clickSwatch(int level) const {
        QTest::mouseClick(control(QStringLiteral("Picture1_%1").arg(level)), Qt::LeftButton);
    }
    QString text(const QString &label) const { return control<QLabel>(label)->text(); }
    bool isOpen() const { return dialog && dialog->isVisible(); }

    QTemporaryDir dir;
    QString profilePath; // empty: configPath()
    Settings settings;
    int applied = 0;
    std::vector<SnmpUser> snmpUsers; // put in force by the last Apply
    ScriptedBoxes boxes;
    ScriptedDialogs dialogs;
    RecordingSounds sounds;
    QPointer<OptionsDialog> dialog;
    std::vector<ForwardTarget> forwardTargets, tested;
    std::vector<int> forwardNumbers;
    RuleSet rules;                  // put in force by the last Apply
    MibsShown mibs;                 // the latest reading of the MIBs
    QList<QStringList> mibReadings; // the MibDirs of each reading asked for
};

} // namespace

class TestOptionsDialog : public QObject {
    Q_OBJECT

private slots:
    void fillsFromSettings();
    void captionsReadWholeAtDesignSize();
    void valuesReadWhole();
    void oneDialogThatClosesOnEscape();
    void popupLevelNeverAndOk();
    void coloursApplyTwiceAndUnchosenColours();
    void soundsNoNewAndTest();
    void rowLimitTexts_data();
    void rowLimitTexts();
    void startViewAndTab();
    void desktopNotifications();
    void logFileSelect();
    void failedWriteIsReportedOnce();
    void applyWaitsForTheLockWithoutHoldingUpTheWindows();
    void fileKeepsOtherKeysAndComments();
    void inForceInTheRunningMainWindow();
    void snmpUsersAddEditRemove();
    void snmpUserNameOnceAndPasswordWhole();
    void forwardTargetsAddEditRemoveAndTest();
    void forwardTargetsTheTabCantReadStay();
    void rulesCheckedBeforeAnythingIsWritten();
    void syslogPortsAndTls();
    void mibFoldersFilesAndReadings();
};

void TestOptionsDialog::fillsFromSettings() {
    DialogFixture f("[Global]\r\nPopuplevel=4\r\nMaxLines=250\r\nStartTab=5\r\nIniGrid=yes\r\n"
                    "[Sound]\r\nS2=/s/crit.wav\r\n[Color]\r\nC1=&HFF\r\n");
    f.open();
    QCOMPARE(f.dialog->objectName(), QStringLiteral("frmOptions"));
    QCOMPARE(f.dialog->windowTitle(), QStringLiteral("Quorvik Optionen"));
    QVERIFY(f.control<QRadioButton>(QStringLiteral("maximi_4"))->isChecked());
    QCOMPARE(f.control<QRadioButton>(QStringLiteral("maximi_4"))->text(), QStringLiteral("Alert"));
    QVERIFY(f.control<QRadioButton>(QStringLiteral("startschirm_1"))->isChecked());
    QCOMPARE(f.control<QLineEdit>(QStringLiteral("mAnzZeilen"))->text(), QStringLiteral("250"));
    QCOMPARE(f.control<QComboBox>(QStringLiteral("Combo1"))->currentText(),
             QStringLiteral("Information"));
    QCOMPARE(f.text(QStringLiteral("namHistory")), f.logPath());
    QCOMPARE(f.text(QStringLiteral("soundname_2")), QStringLiteral("/s/crit.wav"));
    QCOMPARE(f.text(QStringLiteral("soundname_3")), QStringLiteral("no sound"));
    QCOMPARE(f.control(QStringLiteral("Picture1_1"))->palette().color(QPalette::Window),
             QColor(255, 0, 0));
    QCOMPARE(f.control(QStringLiteral("csound_0"))->toolTip(),
             QStringLiteral("Click to choose new soundfile"));
    QCOMPARE(f.control(QStringLiteral("Picture1_0"))->toolTip(),
             QStringLiteral("Click to choose new color"));
    const QByteArray written = f.appliedChanges(); // filling is no change
    QVERIFY(!written.contains("Popuplevel") && !written.contains("[Color]") &&
            !written.contains("[Sound]") && !written.contains("Logfile"));

    // Values only a hand-edited file holds are shown bounded; a colour that
    // can't be shown shows the built-in one.
    DialogFixture g;
    g.settings.popupLevel = 9;
    g.settings.levelColours[3] = 0x1000000;
    g.open();
    QVERIFY(g.control<QRadioButton>(QStringLiteral("maximi_7"))->isChecked());
    QCOMPARE(g.control(QStringLiteral("Picture1_3"))->palette().color(QPalette::Window),
             toQColor(defaultLevelColours()[3]));
}

// Every label, button text and frame caption of every tab fits its control
// and is covered by no neighbour. QUORVIK_SCREENSHOT=folder keeps a picture
// of each tab (options_<tab>.png).
void TestOptionsDialog::captionsReadWholeAtDesignSize() {
    DialogFixture f;
    f.open();
    QVERIFY(QTest::qWaitForWindowExposed(f.dialog));
    auto *tabs = f.control<QTabWidget>(QStringLiteral("SSTab1"));
    QStringList cut;
    for (int t = 0; t < tabs->count(); ++t) {
        tabs->setCurrentIndex(t);
        QCoreApplication::processEvents();
        for (QWidget *w : tabs->widget(t)->findChildren<QWidget *>()) {
            // The log file's and the sounds' names are values, not captions.
            if (!w->isVisible() || w->objectName() == QStringLiteral("namHistory") ||
                w->objectName().startsWith(QStringLiteral("soundname")))
                continue;
            const QFontMetrics metrics(w->font());
            QString text;
            int needed = 0;
            if (auto *box = qobject_cast<QGroupBox *>(w)) {
                text = box->title();
                needed = box->minimumSizeHint().width();
            } else if (auto *label = qobject_cast<QLabel *>(w)) {
                text = label->text();
                needed = metrics.horizontalAdvance(text);
            } else if (qobject_cast<QPushButton *>(w)) {
                text = static_cast<QAbstractButton *>(w)->text();
                needed = metrics.horizontalAdvance(text) + 4;
            } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
                text = button->text();
                needed = button->sizeHint().width();
            }
            if (text.isEmpty())
                continue;
            if (needed > w->width())
                cut << QStringLiteral("%1 (%2 of %3 px)").arg(text).arg(w->width()).arg(needed);
            // A control to the right that starts before the text ends covers it.
            const int middle = w->geometry().center().y();
            for (QWidget *other :
                 w->parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                if (other != w && other->isVisible() && other->x() > w->x() &&
                    other->x() < w->x() + needed && other->geometry().top() <= middle &&
                    other->geometry().bottom() >= middle)
                    cut << QStringLiteral("%1 (under %2)").arg(text, other->objectName());
        }
        if (qEnvironmentVariableIsSet("QUORVIK_SCREENSHOT"))
            QVERIFY(f.dialog->grab().save(qEnvironmentVariable("QUORVIK_SCREENSHOT") +
                                          QStringLiteral("/options_%1.png").arg(tabs->tabText(t))));
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
}

// What the operator reads in a field reads whole, also at twice the scale
// (CTest runs this a second time with QT_SCALE_FACTOR=2): the SNMPv3 form's
// user name and an engine ID as long as quorvik's own, and the Global tab's
// log path in a folder as deep as the per-user data folder.
void TestOptionsDialog::valuesReadWhole() {
    DialogFixture f("[Global]\r\nPopuplevel=4\r\n[SNMPv3]\r\nUser1=operations-monitor\r\n"
                    "Auth1=SHA-256\r\nAuthPass1=at-least-8-chars\r\nPriv1=AES\r\n"
                    "PrivPass1=also-8-chars\r\nEngine1=0x80001F8805A1B2C3D4E5F60718\r\n");
    const QString logFile =
        QStringLiteral("/home/network-operations/.local/share/quorvik/quorvik.log");
    f.settings.logFile = logFile.toStdString();
    f.open();
    QVERIFY(QTest::qWaitForWindowExposed(f.dialog));
    QStringList cut;
    auto *tabs = f.control<QTabWidget>(QStringLiteral("SSTab1"));
    tabs->setCurrentIndex(0);
    QCoreApplication::processEvents();
    auto *path = f.control<QLabel>(QStringLiteral("namHistory"));
    QCOMPARE(path->text(), logFile);
    const QRect room = path->contentsRect();
    const QRect needed = path->fontMetrics().boundingRect(QRect(0, 0, room.width(), 100000),
                                                          Qt::TextWordWrap, logFile);
    if (needed.width() > room.width() || needed.height() > room.height())
        cut << QStringLiteral("log path: %1×%2 px of %3×%4")
                   .arg(needed.width())
                   .arg(needed.height())
                   .arg(room.width())
                   .arg(room.height());
    tabs->setCurrentWidget(f.control(QStringLiteral("SnmpV3Page")));
    QCoreApplication::processEvents();
    for (const QString &name : {QStringLiteral("txtUser"), QStringLiteral("txtEngine")}) {
        auto *edit = f.control<QLineEdit>(name);
        QVERIFY(!edit->text().isEmpty());
        // The text, QLineEdit's 2-pixel margin on each side and the frame.
        const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
        const int needs = edit->fontMetrics().horizontalAdvance(edit->text()) + 4 + 2 * frame;
        if (needs > edit->width())
            cut << QStringLiteral("%1: %2 of %3 px")
                       .arg(edit->text())
                       .arg(edit->width())
                       .arg(needs);
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
}

void TestOptionsDialog::oneDialogThatClosesOnEscape() {
    QWidget main;
    main.setGeometry(100, 100, 900, 700);
    main.show();
    DialogFixture f;
    OptionsConfig config = f.optionsConfig();
    config.mainWindow = &main;
    OptionsDialog *first = OptionsDialog::open(f.dialog, config);
    QVERIFY(QTest::qWaitForWindowActive(first));
    // Moved away, then active again: back over the main window's centre.
    first->move(0, 0);
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    QCOMPARE(OptionsDialog::open(f.dialog, config), first);
    QVERIFY(QTest::qWaitForWindowActive(first));
    QCOMPARE(first->frameGeometry().center(), main.frameGeometry().center());

    f.click(QStringLiteral("maximi_0"));
    QVERIFY(f.control<QRadioButton>(QStringLiteral("maximi_0"))->isChecked());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!first->isVisible());
    QTRY_VERIFY(!f.dialog); // destroyed once closed
    QCOMPARE(f.config(), QByteArray("[Global]\r\nPopuplevel=4\r\n"));
}

void TestOptionsDialog::popupLevelNeverAndOk() {
    DialogFixture f;
    f.open();
    f.click(QStringLiteral("maximi_0"));
    f.click(QStringLiteral("cmdOK"));
    QCOMPARE(f.settings.popupLevel, 0);
    QVERIFY(f.config().contains("Popuplevel=0\r\n"));
    QVERIFY(!f.isOpen());
}

void TestOptionsDialog::coloursApplyTwiceAndUnchosenColours() {
    DialogFixture f;
    f.open();
    f.dialogs.colours = {std::nullopt, toQColor(defaultLevelColours()[0]), QColor(1, 2, 3)};
    f.clickSwatch(0); // left without choosing
    f.clickSwatch(0); // the same colour
    QVERIFY(!f.appliedChanges().contains("[Color]"));
    f.clickSwatch(0);

    f.click(QStringLiteral("cmdApply"));
    QCOMPARE(f.settings.levelColours[0], Colour(0x030201));
    const QByteArray first = f.config();
    QVERIFY(first.contains("[Color]\r\nC0=197121\r\nC1="));
    QVERIFY(first.contains("C6="));

    // The mark is gone: a second Apply writes no colours, only IniGrid.
    f.writeFile(f.configPath(), "[Global]\r\n");
    f.click(QStringLiteral("cmdApply"));
    QCOMPARE(f.config(), QByteArray("[Global]\r\nIniGrid=0\r\n"));
    QVERIFY(f.isOpen());
}

void TestOptionsDialog::soundsNoNewAndTest() {
    DialogFixture f("[Sound]\r\nS0=/s/emergency.wav\r\nS1=/s/panic.wav\r\n");
    f.open();
    f.click(QStringLiteral("testsound_3")); // shows "no sound"
    QVERIFY(f.sounds.played.isEmpty());

    f.dialogs.files = {std::nullopt, QStringLiteral("/s/new.wav"), QStringLiteral("/s/newer.wav")};
    f.click(QStringLiteral("csound_1")); // left without choosing
    QCOMPARE(f.text(QStringLiteral("soundname_1")), QStringLiteral("/s/panic.wav"));
    QVERIFY(!f.appliedChanges().contains("[Sound]"));
    f.click(QStringLiteral("csound_1"));
    f.click(QStringLiteral("testsound_1")); // plays the shown choice, not yet applied
    QCOMPARE(f.sounds.played, QStringList{QStringLiteral("/s/new.wav")});
    f.click(QStringLiteral("csound_1")); // starts from the stored file again
    QCOMPARE(f.dialogs.presets, QStringList(3, QStringLiteral("/s/panic.wav")));

    f.click(QStringLiteral("killsound_0"));
    QCOMPARE(f.text(QStringLiteral("soundname_0")), QStringLiteral("no sound"));
    f.click(QStringLiteral("cmdOK"));
    QCOMPARE(f.settings.levelSounds[0], std::string());
    QCOMPARE(f.settings.levelSounds[1], std::string("/s/newer.wav"));
    QVERIFY(f.config().contains("[Sound]\r\nS0=\r\nS1=/s/newer.wav\r\nS2=\r\n"));
}

void TestOptionsDialog::rowLimitTexts_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("rowLimit");
    QTest::addColumn<QByteArray>("written"); // empty: MaxLines not written
    QTest::newRow("blanks around") << " 250 " << 250 << QByteArray("250");
    QTest::newRow("letters only") << "abc" << 2 << QByteArray("abc");
    QTest::newRow("one") << "1" << 2 << QByteArray("1");
    QTest::newRow("beyond 32 bits") << "99999999999" << INT_MAX << QByteArray("99999999999");
    QTest::newRow("unchanged number") << "1000abc" << 1000 << QByteArray();
}

void TestOptionsDialog::rowLimitTexts() {
    QFETCH(QString, typed);
    QFETCH(int, rowLimit);
    QFETCH(QByteArray, written);
    DialogFixture f;
    f.open();
    auto *box = f.control<QLineEdit>(QStringLiteral("mAnzZeilen"));
    box->selectAll();
    QTest::keyClicks(box, typed);
    f.click(QStringLiteral("cmdApply"));
    QCOMPARE(f.settings.maxLines, rowLimit);
    if (written.isEmpty())
        QVERIFY(!f.config().contains("MaxLines"));
    else
        QVERIFY(f.config().contains("MaxLines=" + written + "\r\n"));
}

void TestOptionsDialog::startViewAndTab() {
    DialogFixture f;
    f.open();
    f.click(QStringLiteral("startschirm_1"));
    f.control<QComboBox>(QStringLiteral("Combo1"))->setCurrentIndex(0);
    f.click(QStringLiteral("cmdOK"));
    QVERIFY(f.config().contains("IniGrid=1\r\nStartTab=0\r\n"));
    QCOMPARE(f.settings.startTab, 0);
}

void TestOptionsDialog::desktopNotifications() {
    DialogFixture f("[Global]\r\nNotify=0\r\n");
    f.open();
    auto *box = f.control<QCheckBox>(QStringLiteral("chkNotify"));
    QCOMPARE(box->text(), QStringLiteral("Desktop notifications"));
    QVERIFY(!box->isChecked());
    f.click(QStringLiteral("cmdApply")); // unchanged: the key is left alone
    QVERIFY(f.config().contains("Notify=0\r\n"));
    clickBox(box);
    f.click(QStringLiteral("cmdOK"));
    QVERIFY(f.settings.notify);
    QVERIFY(f.config().contains("Notify=1\r\n"));
}

void TestOptionsDialog::logFileSelect() {
    DialogFixture f;
    const QString newLog = f.dir.filePath(QStringLiteral("new.log"));
    const QString oldLog = f.logPath();

    // Select, then Cancel: nothing stored, the old path shows again.
    f.open();
    f.dialogs.files = {newLog};
    f.click(QStringLiteral("Command1"));
    QCOMPARE(f.text(QStringLiteral("namHistory")), newLog);
    f.click(QStringLiteral("cmdCancel"));
    QTRY_VERIFY(!f.dialog);
    f.open();
    QCOMPARE(f.text(QStringLiteral("namHistory")), oldLog);

    // Select, the close box, reopen, OK: the marks went with the closing.
    f.dialogs.files = {newLog};
    f.click(QStringLiteral("Command1"));
    f.dialog->close();
    QTRY_VERIFY(!f.dialog);
    f.open();
    f.click(QStringLiteral("cmdOK"));
    QCOMPARE(f.settings.logFile, oldLog.toStdString());
    QVERIFY(!QFile::exists(newLog));

    // Leaving the file dialog without choosing changes nothing.
    f.open();
    f.dialogs.files = {std::nullopt, newLog};
    f.click(QStringLiteral("Command1"));
    QCOMPARE(f.text(QStringLiteral("namHistory")), oldLog);
    QVERIFY(!f.appliedChanges().contains("Logfile"));

    // A file that doesn't exist yet is started with the header alone.
    f.click(QStringLiteral("Command1"));
    f.click(QStringLiteral("cmdOK"));
    QCOMPARE(f.settings.logFile, newLog.toStdString());
    QCOMPARE(f.readFile(newLog), QByteArray("Level;Date;Processor;Application;Object;Message\r\n"));
    QVERIFY(f.config().contains("Logfile=" + newLog.toLocal8Bit() + "\r\n"));
    QVERIFY(f.boxes.reports.isEmpty());
}

void TestOptionsDialog::failedWriteIsReportedOnce() {
    DialogFixture f;
    // A file where the folder should be: the write fails, also for root.
    f.writeFile(f.dir.filePath(QStringLiteral("blocked")), "x");
    f.profilePath = f.dir.filePath(QStringLiteral("blocked/quorvik.cfg"));
    f.open();
    f.click(QStringLiteral("maximi_1"));
    f.click(QStringLiteral("killsound_0"));
    f.click(QStringLiteral("cmdApply"));
    QCOMPARE(f.boxes.reports.size(), 1);
    QVERIFY(f.boxes.reports[0].text.contains(f.profilePath));
    QCOMPARE(f.settings.popupLevel, 1); // in force all the same
}

// Another program holds the configuration's lock: Apply puts the change in
// force at once and writes it when the lock is free, while the windows go
// on working (here: the test's own event loop frees it).
void TestOptionsDialog::applyWaitsForTheLockWithoutHoldingUpTheWindows() {
    DialogFixture f;
    f.open();
    QLockFile other(f.configPath() + QStringLiteral(".lock"));
    QVERIFY(other.tryLock(0));
    f.click(QStringLiteral("maximi_2"));
    f.click(QStringLiteral("cmdApply"));
    QCOMPARE(f.settings.popupLevel, 2);
    QVERIFY(f.boxes.reports.isEmpty());
    QVERIFY(!f.config().contains("Popuplevel=2"));
    other.unlock();
    QTRY_VERIFY(f.config().contains("Popuplevel=2\r\n"));
    QVERIFY(f.boxes.reports.isEmpty());
}

void TestOptionsDialog::fileKeepsOtherKeysAndComments() {
    const QByteArray before = "; Quorvik settings\r\n"
                              "[Global]\r\n"
                              "WinTop=1200\r\n"
                              "Popuplevel=4\r\n"
                              "; the row limit\r\n"
                              "MaxLines=1000\r\n"
                              "[Color]\r\n"
                              "C0=&HFF\r\n"
                              "[Other]\r\n"
                              "Key=kept\r\n";
    DialogFixture f(before);
    f.open();
    f.dialogs.colours = {QColor(0, 0, 255)};
    f.clickSwatch(6);
    f.click(QStringLiteral("maximi_2"));
    f.control<QLineEdit>(QStringLiteral("mAnzZeilen"))->setText(QStringLiteral("500"));
    f.click(QStringLiteral("cmdOK"));
    const QByteArray after = "; Quorvik settings\r\n"
                             "[Global]\r\n"
                             "WinTop=1200\r\n"
                             "Popuplevel=2\r\n"
                             "; the row limit\r\n"
                             "MaxLines=500\r\n"
                             "IniGrid=0\r\n"
                             "[Color]\r\n"
                             "C0=255\r\n"
                             "C1=" +
                             QByteArray::number(defaultLevelColours()[1]) +
                             "\r\n"
                             "C2=" +
                             QByteArray::number(defaultLevelColours()[2]) +
                             "\r\n"
                             "C3=" +
                             QByteArray::number(defaultLevelColours()[3]) +
                             "\r\n"
                             "C4=" +
                             QByteArray::number(defaultLevelColours()[4]) +
                             "\r\n"
                             "C5=" +
                             QByteArray::number(defaultLevelColours()[5]) +
                             "\r\n"
                             "C6=16711680\r\n"
                             "[Other]\r\n"
                             "Key=kept\r\n";
    QCOMPARE(f.config(), after);
}

void TestOptionsDialog::inForceInTheRunningMainWindow() {
    // Emergency and Panic share red.
    FormFixture f("[Color]\r\nC1=255\r\n");
    f.start();
    f.send("$LEVL$:E$MSG$:emergency");
    f.send("$LEVL$:P$MSG$:panic");
    ScriptedDialogs dialogs;
    OptionsConfig config;
    config.mainWindow = f.form.get();
    config.currentSettings = [&f] { return f.form->settings(); };
    config.applySettings = [&f](const Settings &s) { f.form.session()->setSettings(s); };
    config.profilePath = f.configPath();
    config.boxes = &f.boxes;
    config.dialogs = &dialogs;
    QPointer<OptionsDialog> dialog;
    OptionsDialog::open(dialog, config);

    const QString newLog = f.dir.filePath(QStringLiteral("new.log"));
    dialogs.colours = {QColor(0, 0, 255)};
    dialogs.files = {newLog};
    QTest::mouseClick(dialog->findChild<QWidget *>(QStringLiteral("Picture1_1")), Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);

    // Each row takes its own level's new colour.
    EventTable *fullList = fullListOf(*f.form)->table();
    QCOMPARE(fullList->background(1), std::optional<Colour>(0xFF0000)); // panic
    QCOMPARE(fullList->background(2), std::optional<Colour>(255));      // emergency
    f.send("$LEVL$:W$MSG$:next");
    QVERIFY(f.readFile(newLog).startsWith("Level;Date;Processor;Application;Object;Message\r\n"));
    QVERIFY(f.readFile(newLog).contains("next"));

    // The dialog goes when the main window quits.
    OptionsDialog::open(dialog, config);
    QVERIFY(f.form->close());
    QVERIFY(!dialog || !dialog->isVisible());
}

// The Forward tab: the list from the file, a target added, one edited, one
// removed, a Test of the chosen one; Apply puts the list in force and
// writes it, Cancel forgets the changes.
void TestOptionsDialog::forwardTargetsAddEditRemoveAndTest() {
    DialogFixture f("[Global]\r\nPopuplevel=4\r\n[Forward]\r\nTarget1=udp://a:514\r\n"
                    "Target2=tcp://b:601\r\nLevel2=3\r\n");
    f.open();
    auto *tabs = f.control<QTabWidget>(QStringLiteral("SSTab1"));
    const int forwardTab = tabs->indexOf(f.control(QStringLiteral("tabForward")));
    QCOMPARE(tabs->tabText(forwardTab), QStringLiteral("Forward"));
    tabs->setCurrentIndex(forwardTab);
    auto *list = f.control<QListWidget>(QStringLiteral("lstTargets"));
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(1)->text(), QStringLiteral("tcp://b:601  (Critical and above, local0)"));
    auto *editor = f.control<QDialog>(QStringLiteral("frmForwardTarget"));
    const auto editorControl = [&](const char *name) {
        return editor->findChild<QWidget *>(QLatin1String(name));
    };

    // Add: an address that can't be read keeps the editor open and says why.
    f.click(QStringLiteral("cmdAddTarget"));
    QVERIFY(editor->isVisible());
    auto *address = static_cast<QLineEdit *>(editorControl("txtTarget"));
    QTest::keyClicks(address, QStringLiteral("tls://logs:6514x"));
    QTest::mouseClick(static_cast<QPushButton *>(editorControl("cmdOK")), Qt::LeftButton);
    QVERIFY(editor->isVisible());
    QVERIFY(!static_cast<QLabel *>(editorControl("lblError"))->text().isEmpty());
    QTest::keyClick(address, Qt::Key_Backspace);
    static_cast<QComboBox *>(editorControl("cboLevel"))->setCurrentIndex(5);
    QTest::keyClicks(static_cast<QLineEdit *>(editorControl("txtCA")), QStringLiteral("/ca.pem"));
    QTest::mouseClick(static_cast<QPushButton *>(editorControl("cmdOK")), Qt::LeftButton);
    QVERIFY(!editor->isVisible());
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentRow(), 2);

    // Test sends to the chosen one and shows what happened.
    f.click(QStringLiteral("cmdTestTarget"));
    QCOMPARE(f.tested.size(), std::size_t(1));
    QCOMPARE(f.tested[0].url(), std::string("tls://logs:6514"));
    QCOMPARE(f.text(QStringLiteral("lblTestResult")),
             QStringLiteral("Sent one Information event to tls://logs:6514."));

    // Edit the first: a double click opens it with its values.
    list->setCurrentRow(0);
    f.click(QStringLiteral("cmdEditTarget"));
    QCOMPARE(address->text(), QStringLiteral("udp://a:514"));
    static_cast<QComboBox *>(editorControl("cboFacility"))->setCurrentIndex(3);
    QTest::mouseClick(static_cast<QPushButton *>(editorControl("cmdOK")), Qt::LeftButton);
    // Remove the second.
    list->setCurrentRow(1);
    f.click(QStringLiteral("cmdRemoveTarget"));
    QCOMPARE(list->count(), 2);

    f.click(QStringLiteral("cmdApply"));
    QCOMPARE(f.forwardTargets.size(), std::size_t(2));
    QCOMPARE(f.forwardTargets[0].facility, 3);
    QCOMPARE(f.forwardTargets[1].caFile, std::string("/ca.pem"));
    const ForwardTargets stored =
        forwardTargetsFromProfile(Profile::parse(f.config().toStdString()));
    QVERIFY(stored.problems.empty());
    QCOMPARE(stored.targets, f.forwardTargets);
    QVERIFY(f.config().contains("Target2=tls://logs:6514\r\n"));

    // Cancel forgets a removal.
    f.click(QStringLiteral("cmdRemoveTarget"));
    f.click(QStringLiteral("cmdCancel"));
    QTRY_VERIFY(!f.dialog);
    QCOMPARE(forwardTargetsFromProfile(Profile::parse(f.config().toStdString())).targets,
             f.forwardTargets);
    f.open();
    QCOMPARE(f.control<QListWidget>(QStringLiteral("lstTargets"))->count(), 2);
}

// Hand-written targets the tab can't read are listed as such and stay in
// the file as written; those after a gap in the numbering are listed too.
void TestOptionsDialog::forwardTargetsTheTabCantReadStay() {
    const QByteArray unreadable = "; ask the network team before changing this\r\n"
                                  "Target2=tcp//siem.example:514\r\nLevel2=3\r\n";
    DialogFixture f("[Global]\r\nPopuplevel=4\r\n[Forward]\r\nTarget1=udp://a:514\r\n" +
                    unreadable + "Target3=tcp://b:601\r\nLevel3=8\r\nTarget5=udp://c:5\r\n");
    f.open();
    auto *tabs = f.control<QTabWidget>(QStringLiteral("SSTab1"));
    tabs->setCurrentWidget(f.control(QStringLiteral("tabForward")));
    auto *list = f.control<QListWidget>(QStringLiteral("lstTargets"));
    QCOMPARE(list->count(), 4);
    QCOMPARE(list->item(1)->text(),
             QStringLiteral("not readable: Target2: \"tcp//siem.example:514\" is not udp://, "
                            "tcp:// or tls://host:port"));
    QVERIFY(list->item(2)->text().startsWith(QStringLiteral("not readable: Level3: \"8\"")));
    QCOMPARE(list->item(3)->text(), QStringLiteral("udp://c:5  (every event, local0)"));
    list->setCurrentRow(1);
    QVERIFY(!f.control<QPushButton>(QStringLiteral("cmdTestTarget"))->isEnabled());

    // The first removed, one added: the unreadable lines stay as written.
    list->setCurrentRow(0);
    f.click(QStringLiteral("cmdRemoveTarget"));
    f.click(QStringLiteral("cmdAddTarget"));
    auto *editor = f.control<QDialog>(QStringLiteral("frmForwardTarget"));
    QTest::keyClicks(editor->findChild<QLineEdit *>(QStringLiteral("txtTarget")),
                     QStringLiteral("tcp://d:6"));
    QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
    f.click(QStringLiteral("cmdApply"));
    QCOMPARE(f.forwardTargets.size(), std::size_t(2));
    QVERIFY2(f.config().contains(unreadable + "Target3=tcp://b:601\r\nLevel3=8\r\n"),
             f.config().constData());
    const std::vector<ForwardEntry> stored =
        forwardEntriesFromProfile(Profile::parse(f.config().toStdString()));
    QCOMPARE(stored.size(), std::size_t(4));
    QCOMPARE(stored[0].target->url(), std::string("udp://c:5"));
    QCOMPARE(stored[3].target->url(), std::string("tcp://d:6"));
    // In force under the numbers written, by which rules name them.
    QCOMPARE(f.forwardNumbers, std::vector<int>({int(stored[0].number), int(stored[3].number)}));
    QCOMPARE(f.forwardNumbers, std::vector<int>({1, 4}));

    // Edited into a readable one, it is written as any other.
    list->setCurrentRow(0);
    QVERIFY(list->item(0)->text().startsWith(QStringLiteral("not readable: Target2")));
    f.click(QStringLiteral("cmdEditTarget"));
    auto *address = editor->findChild<QLineEdit *>(QStringLiteral("txtTarget"));
    QCOMPARE(address->text(), QStringLiteral("tcp//siem.example:514"));
    address->setCursorPosition(3);
    QTest::keyClicks(address, QStringLiteral(":"));
    QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
    f.click(QStringLiteral("cmdApply"));
    QCOMPARE(f.forwardTargets.size(), std::size_t(3));
    QCOMPARE(f.forwardTargets[0].url(), std::string("tcp://siem.example:514"));
}

// The Rules tab: the list, the editor's count of matching events while the
// match is typed, every entry checked before anything is written, Up;
// Apply writes the rules in their order and puts them in force.
void TestOptionsDialog::rulesCheckedBeforeAnythingIsWritten() {
    const QByteArray before = "[Global]\r\nPopuplevel=4\r\n[Forward]\r\nTarget1=udp://a:514\r\n"
                              "[Rules]\r\nName1=Noise\r\nMatch1=app:backup\r\nShow1=0\r\n"
                              "Match2=x\r\nLevel2=Z\r\n";
    DialogFixture f(before);
    const QString sound = f.dir.filePath(QStringLiteral("core.wav"));
    DialogFixture::writeFile(sound, "RIFF");
    f.open();
    auto *tabs = f.control<QTabWidget>(QStringLiteral("SSTab1"));
    tabs->setCurrentWidget(f.control(QStringLiteral("tabRules")));
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Rules"));
    auto *list = f.control<QListWidget>(QStringLiteral("lstRules"));
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Noise: app:backup  \u2192  hidden"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("Rule 2: x  \u2192  level Z"));

    auto *editor = f.control<QDialog>(QStringLiteral("frmRule"));
    const auto edit = [&](const char *name) {
        return editor->findChild<QLineEdit *>(QLatin1String(name));
    };
    const auto label = [&](const char *name) {
        return editor->findChild<QLabel *>(QLatin1String(name))->text();
    };
    const auto ok = [&] {
        QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("cmdOK")),
                          Qt::LeftButton);
    };
    f.click(QStringLiteral("cmdAddRule"));
    QVERIFY(editor->isVisible());
    QTest::keyClicks(edit("txtMatch"), QStringLiteral("host:srv"));
    QCOMPARE(label("lblMatching"), QStringLiteral("2 of 3 events shown match"));
    QTest::keyClicks(edit("txtMatch"), QStringLiteral(" msg:/(up/"));
    QCOMPARE(label("lblMatching"),
             QStringLiteral("/(up/: missing closing parenthesis at offset 3"));
    QTest::keyClicks(edit("txtSound"), QStringLiteral("/no/such.wav"));
    QTest::keyClicks(edit("txtForward"), QStringLiteral("1,2"));
    QTest::keyClicks(edit("txtRun"), f.configPath() + QStringLiteral(" {host}"));
    QTest::keyClicks(edit("txtFold"), QStringLiteral("ten"));
    QTest::keyClicks(edit("txtClears"), QStringLiteral("obj:{obj} msg:/{msg:/(down/}/"));
    QTest::keyClicks(edit("txtSilent"), QStringLiteral("10m"));
    ok();
    QVERIFY(editor->isVisible());
    QCOMPARE(label("lblError").split(QLatin1Char('\n')),
             QStringList({"Rule 3: Match3=host:srv msg:/(up/: /(up/: missing closing parenthesis "
                          "at offset 3",
                          "Rule 3: Forward3=1,2: [Forward] has no Target2",
                          "Rule 3: Fold3=ten: seconds from 1 to 604800: repeats within them fold "
                          "into one row",
                          "Rule 3: Clears3=obj:{obj} msg:/{msg:/(down/}/: /(down/: missing "
                          "closing parenthesis at offset 5",
                          "Rule 3: Silent3=10m: seconds from 1 to 2592000 (30 days), e.g. 600: "
                          "silent after 10 minutes",
                          "Rule 3: Sound3=/no/such.wav: no such file",
                          "Rule 3: Run3: " + f.configPath() + " is not executable"}));
    // A program by a name that is not on PATH.
    edit("txtRun")->clear();
    QTest::keyClicks(edit("txtRun"), QStringLiteral("no-such-program-quorvik {host}"));
    ok();
    QVERIFY2(label("lblError")
                 .contains(QStringLiteral(
                     "Rule 3: Run3: no-such-program-quorvik is not an executable program in "
                     "any folder of PATH")),
             qPrintable(label("lblError")));

    // Mended, the rule is taken.
    for (const char *name :
         {"txtMatch", "txtSound", "txtForward", "txtRun", "txtFold", "txtClears", "txtSilent"})
        edit(name)->clear();
    QTest::keyClicks(edit("txtFold"), QStringLiteral("60"));
    QTest::keyClicks(edit("txtClears"), QStringLiteral("msg:down obj:{obj}"));
    QTest::keyClicks(edit("txtSilent"), QStringLiteral("600"));
    QTest::keyClicks(edit("txtMatch"), QStringLiteral("host:srv -msg:/(up|down)/"));
    QTest::keyClicks(edit("txtSound"), sound);
    QTest::keyClicks(edit("txtForward"), QStringLiteral("1"));
    QTest::keyClicks(edit("txtRun"), QStringLiteral("true {host}"));
    editor->findChild<QComboBox *>(QStringLiteral("cboLevel"))->setCurrentIndex(1);
    ok();
    QVERIFY(!editor->isVisible());
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentRow(), 2);

    // The file's rule that can't be used stops Apply before anything is written.
    f.click(QStringLiteral("cmdApply"));
    QCOMPARE(f.boxes.reports.size(), 1);
    QCOMPARE(f.boxes.reports[0].text,
             QStringLiteral("The rules can't be used:\nRule 2: Level2=Z: the level is one of E, "
                            "P, C, A, W, I, N"));
    QCOMPARE(f.config(), before);
    QVERIFY(f.rules.empty());
    list->setCurrentRow(1);
    f.click(QStringLiteral("cmdRemoveRule"));
    list->setCurrentRow(1);
    f.click(QStringLiteral("cmdRuleUp"));
    QCOMPARE(list->currentRow(), 0);
    QVERIFY(!f.control<QPushButton>(QStringLiteral("cmdRuleUp"))->isEnabled());
    QCOMPARE(list->item(0)->text(), "Rule 1: host:srv -msg:/(up|down)/  \u2192  level E, sound " +
                                        sound +
                                        ", forward 1, run true {host}, fold repeats within 60 s, "
                                        "clears msg:down obj:{obj}, silent after 600 s");
    f.click(QStringLiteral("cmdApply"));
    QCOMPARE(f.boxes.reports.size(), 1);
    QCOMPARE(f.rules.size(), std::size_t(2));
    QCOMPARE(f.rules[0].level, &levelByIndex(0));
    QCOMPARE(f.rules[0].silentSeconds, 600);
    QCOMPARE(f.rules[1].label(), std::string("Rule 2 (Noise)"));
    const std::vector<RuleText> written =
        ruleTextsFromProfile(Profile::parse(f.config().toStdString()));
    QCOMPARE(written.size(), std::size_t(2));
    QCOMPARE(written[0].match, std::string("host:srv -msg:/(up|down)/"));
    QCOMPARE(written[0].level, std::string("E"));
    QCOMPARE(written[0].run, std::string("true {host}"));
    QCOMPARE(written[0].fold, std::string("60"));
    QCOMPARE(written[0].clears, std::string("msg:down obj:{obj}"));
    QCOMPARE(written[0].silent, std::string("600"));
    QCOMPARE(written[1].name, std::string("Noise"));
    QCOMPARE(written[1].show, std::string("0"));
}

// The fourth tab: users listed, a new one added with a password too short
// (refused before anything is written), fixed, another removed; OK writes
// the entries renumbered, mode 0600, and puts them in force.
void TestOptionsDialog::snmpUsersAddEditRemove() {
    const QByteArray before = "[Global]\r\nPopuplevel=4\r\n[SNMPv3]\r\nUser1=alice\r\nAuth1=sha\r\n"
                              "AuthPass1=alice-pass\r\nPriv1=aes\r\nPrivPass1=alice-priv\r\n"
                              "User2=bob\r\nAuth2=none\r\nEngine2=0x8000000001\r\n";
    DialogFixture f(before);
    f.open();
    QVERIFY(QTest::qWaitForWindowExposed(f.dialog));
    auto *tabs = f.control<QTabWidget>(QStringLiteral("SSTab1"));
    QCOMPARE(tabs->tabText(3), QStringLiteral("SNMPv3"));
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(3).center());
    auto *list = f.control<QListWidget>(QStringLiteral("lstUsers"));
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(1)->text(), QStringLiteral("bob"));
    auto *name = f.control<QLineEdit>(QStringLiteral("txtUser"));
    auto *authPass = f.control<QLineEdit>(QStringLiteral("txtAuthPass"));
    auto *privPass = f.control<QLineEdit>(QStringLiteral("txtPrivPass"));
    QCOMPARE(name->text(), QStringLiteral("alice"));
    QCOMPARE(f.control<QComboBox>(QStringLiteral("cboAuth"))->currentText(), QStringLiteral("SHA"));
    QCOMPARE(authPass->echoMode(), QLineEdit::Password);
    QCOMPARE(privPass->echoMode(), QLineEdit::Password);

    f.click(QStringLiteral("cmdAddUser"));
    QCOMPARE(list->count(), 3);
    QTest::keyClicks(name, QStringLiteral("carol"));
    QTest::keyClicks(authPass, QStringLiteral("short"));
    QTest::keyClicks(privPass, QStringLiteral("carol-priv"));
    QCOMPARE(list->item(2)->text(), QStringLiteral("carol"));
    f.click(QStringLiteral("cmdApply"));
    QCOMPARE(f.boxes.reports.size(), 1);
    QCOMPARE(f.boxes.reports[0].text,
             QStringLiteral("SNMPv3 user \"carol\" (entry 3): AuthPass3 is shorter than 8 "
                            "characters"));
    QCOMPARE(f.config(), before);
    QVERIFY(f.snmpUsers.empty());

    QTest::keyClicks(authPass, QStringLiteral("-enough"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center());
    QCOMPARE(name->text(), QStringLiteral("bob"));
    f.click(QStringLiteral("cmdRemoveUser"));
    QCOMPARE(list->count(), 2);
    f.click(QStringLiteral("cmdOK"));
    QCOMPARE(f.boxes.reports.size(), 1);
    QVERIFY(!f.isOpen());
    QCOMPARE(f.config(),
             QByteArray("[Global]\r\nPopuplevel=4\r\nIniGrid=0\r\n[SNMPv3]\r\nUser1=alice\r\n"
                        "Auth1=sha\r\nAuthPass1=alice-pass\r\nPriv1=aes\r\nPrivPass1=alice-priv\r\n"
                        "User2=carol\r\nAuth2=SHA-256\r\nAuthPass2=short-enough\r\n"
                        "Priv2=AES\r\nPrivPass2=carol-priv\r\n"));
    struct stat status {};
    QCOMPARE(::stat(QFile::encodeName(f.configPath()).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, 0600u);
    QCOMPARE(f.snmpUsers.size(), std::size_t(2));
    QCOMPARE(f.snmpUsers[1].name, std::string("carol"));
    QCOMPARE(f.snmpUsers[1].auth, std::string("SHA-256"));
}

// A name that an earlier entry has is refused, saying which; a password
// with blanks around it is written so that it reads back whole.
void TestOptionsDialog::snmpUserNameOnceAndPasswordWhole() {
    const QByteArray before = "[SNMPv3]\r\nUser1=alice\r\nAuth1=none\r\n";
    DialogFixture f(before);
    f.open();
    QVERIFY(QTest::qWaitForWindowExposed(f.dialog));
    auto *tabs = f.control<QTabWidget>(QStringLiteral("SSTab1"));
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(3).center());
    auto *name = f.control<QLineEdit>(QStringLiteral("txtUser"));
    f.click(QStringLiteral("cmdAddUser"));
    QTest::keyClicks(name, QStringLiteral("alice"));
    QTest::keyClicks(f.control<QLineEdit>(QStringLiteral("txtAuthPass")),
                     QStringLiteral(" blank around "));
    QTest::keyClicks(f.control<QLineEdit>(QStringLiteral("txtPrivPass")),
                     QStringLiteral("\"quoted\""));
    f.click(QStringLiteral("cmdApply"));
    QCOMPARE(f.boxes.reports.size(), 1);
    QCOMPARE(f.boxes.reports[0].text,
             QStringLiteral("SNMPv3 user \"alice\" (entry 2): User2 repeats \"alice\", the "
                            "name of user 1"));
    QCOMPARE(f.config(), before);
    QVERIFY(f.snmpUsers.empty());

    QTest::keyClicks(name, QStringLiteral("-2"));
    f.click(QStringLiteral("cmdOK"));
    QCOMPARE(f.boxes.reports.size(), 1);
    QVERIFY(!f.isOpen());
    const SnmpUsers stored = snmpUsersFromProfile(Profile::parse(f.config().toStdString()));
    QCOMPARE(stored.problems, std::vector<std::string>());
    QCOMPARE(stored.users.size(), std::size_t(2));
    QCOMPARE(stored.users[1].name, std::string("alice-2"));
    QCOMPARE(stored.users[1].authPassword, std::string(" blank around "));
    QCOMPARE(stored.users[1].privPassword, std::string("\"quoted\""));
    QCOMPARE(f.snmpUsers.size(), std::size_t(2));
    QCOMPARE(f.snmpUsers[1].authPassword, stored.users[1].authPassword);
}

// The Syslog tab shows [Syslog] with its defaults, and writes it only when
// the operator changed it; what is typed is in force at once.
void TestOptionsDialog::syslogPortsAndTls() {
    DialogFixture f("[Global]\r\n[Syslog]\r\nUDP=1514\r\n");
    f.open();
    auto *tabs = f.control<QTabWidget>(QStringLiteral("SSTab1"));
    QTabBar *bar = tabs->tabBar();
    const int index = tabs->indexOf(f.control(QStringLiteral("tabSyslog")));
    QCOMPARE(bar->tabText(index), QStringLiteral("Syslog"));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    auto *udp = f.control<QSpinBox>(QStringLiteral("syslogUdpPort"));
    auto *tls = f.control<QSpinBox>(QStringLiteral("syslogTlsPort"));
    QCOMPARE(udp->value(), 1514);
    QCOMPARE(f.control<QSpinBox>(QStringLiteral("syslogTcpPort"))->value(), 514);
    QCOMPARE(tls->text(), QStringLiteral("off"));
    QVERIFY(!f.appliedChanges().contains("[Syslog]"));

    const auto typeInto = [](QWidget *widget, const QString &text) {
        QTest::mouseClick(widget, Qt::LeftButton);
        QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(widget, text);
    };
    typeInto(tls, QStringLiteral("6514"));
    typeInto(f.control(QStringLiteral("syslogTlsCert")), QStringLiteral("/etc/q/cert.pem"));
    // The key chosen with "...", which opens where the typed path points.
    typeInto(f.control(QStringLiteral("syslogTlsKey")), QStringLiteral("/etc/q/old.pem"));
    f.dialogs.files = {std::nullopt, QStringLiteral("/etc/q/key.pem")};
    f.click(QStringLiteral("cmdSyslogTlsKey"));
    QCOMPARE(f.control<QLineEdit>(QStringLiteral("syslogTlsKey"))->text(),
             QStringLiteral("/etc/q/old.pem"));
    f.click(QStringLiteral("cmdSyslogTlsKey"));
    QCOMPARE(f.dialogs.presets.last(), QStringLiteral("/etc/q/old.pem"));
    f.click(QStringLiteral("cmdOK"));
    QCOMPARE(f.settings.syslog.tlsPort, 6514);
    QCOMPARE(f.settings.syslog.udpPort, 1514);
    QCOMPARE(f.settings.syslog.tlsKey, std::string("/etc/q/key.pem"));
    const QByteArray written = f.config();
    QVERIFY2(written.contains("TLS=6514\r\n") && written.contains("TLSCert=/etc/q/cert.pem\r\n") &&
                 written.contains("UDP=1514\r\n") && written.contains("TCP=514\r\n"),
             written.constData());
}

// The MIBs tab: the own folder first and the folders of MibDirs, which
// Apply writes and has read; files copied into the own folder; the latest
// reading with its failures, and "Reload" with what it shows meanwhile.
void TestOptionsDialog::mibFoldersFilesAndReadings() {
    DialogFixture f("[Global]\r\n[SNMP]\r\nMibDirs=/srv/a ; /srv/b\r\n");
    f.mibs = {false,
              {{QStringLiteral("ACME-FAN-MIB"), QStringLiteral("/srv/a/acme-fan.my")}},
              {{QStringLiteral("/srv/b/acme-ups.my"),
                QStringLiteral("ACME-UPS-MIB (acme-ups.my): imports ACME-GONE-SMI, which no file "
                               "provides")}}};
    f.open();
    auto *tabs = f.control<QTabWidget>(QStringLiteral("SSTab1"));
    QTabBar *bar = tabs->tabBar();
    const int index = tabs->indexOf(f.control(QStringLiteral("tabMibs")));
    QCOMPARE(bar->tabText(index), QStringLiteral("MIBs"));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    auto *folders = f.control<QListWidget>(QStringLiteral("lstMibDirs"));
    QCOMPARE(folders->count(), 3);
    QVERIFY(folders->item(0)->text().startsWith(f.dir.filePath(QStringLiteral("mibs"))));
    QCOMPARE(folders->item(1)->text(), QStringLiteral("/srv/a"));
    auto *modules = f.control<QTreeWidget>(QStringLiteral("lstMibModules"));
    QCOMPARE(modules->topLevelItemCount(), 1);
    QCOMPARE(modules->topLevelItem(0)->text(0), QStringLiteral("ACME-FAN-MIB"));
    QCOMPARE(modules->topLevelItem(0)->text(1), QStringLiteral("/srv/a/acme-fan.my"));
    auto *failures = f.control<QListWidget>(QStringLiteral("lstMibFailures"));
    QCOMPARE(failures->count(), 1);
    QCOMPARE(failures->item(0)->text(), f.mibs.failures[0].second);
    QVERIFY(!f.appliedChanges().contains("MibDirs"));
    QVERIFY(f.mibReadings.isEmpty());

    // The own folder stays; /srv/a goes, /srv/c comes.
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {},
                      folders->visualItemRect(folders->item(0)).center());
    f.click(QStringLiteral("cmdMibDirRemove"));
    QCOMPARE(folders->count(), 3);
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {},
                      folders->visualItemRect(folders->item(1)).center());
    f.click(QStringLiteral("cmdMibDirRemove"));
    f.dialogs.files.push_back(QStringLiteral("/srv/c"));
    f.click(QStringLiteral("cmdMibDirAdd"));
    f.click(QStringLiteral("cmdApply"));
    QVERIFY(f.config().contains("[SNMP]\r\nMibDirs=/srv/b;/srv/c\r\n"));
    QCOMPARE(f.mibReadings,
             QList<QStringList>({{QStringLiteral("/srv/b"), QStringLiteral("/srv/c")}}));
    auto *state = f.control<QLabel>(QStringLiteral("lblMibState"));
    QCOMPARE(state->text(), QStringLiteral("Reading the MIBs…"));

    // Two files copied in (one replacing its older copy), one that isn't there.
    const QString own = f.dir.filePath(QStringLiteral("mibs"));
    QVERIFY(QDir().mkpath(own));
    DialogFixture::writeFile(own + QStringLiteral("/acme-fan.my"), "old");
    DialogFixture::writeFile(f.dir.filePath(QStringLiteral("acme-fan.my")), "FAN");
    DialogFixture::writeFile(f.dir.filePath(QStringLiteral("ACME-SMI")), "SMI");
    const QString gone = f.dir.filePath(QStringLiteral("gone.mib"));
    f.dialogs.fileLists.push_back({f.dir.filePath(QStringLiteral("acme-fan.my")),
                                   f.dir.filePath(QStringLiteral("ACME-SMI")), gone});
    f.click(QStringLiteral("cmdMibAdd"));
    QCOMPARE(DialogFixture::readFile(own + QStringLiteral("/acme-fan.my")), QByteArray("FAN"));
    QCOMPARE(DialogFixture::readFile(own + QStringLiteral("/ACME-SMI")), QByteArray("SMI"));
    QCOMPARE(QDir(own).entryList(QDir::Files).size(), 2);
    QCOMPARE(f.boxes.reports.size(), 1);
    QVERIFY2(f.boxes.reports[0].text.startsWith(
                 QStringLiteral("Cannot copy %1 into %2: ").arg(gone, own)),
             qPrintable(f.boxes.reports[0].text));

    // Reload reads the folders shown; the reading's end shows what it found.
    f.click(QStringLiteral("cmdMibReload"));
    QCOMPARE(f.mibReadings.size(), 2);
    QCOMPARE(f.mibReadings[1], f.mibReadings[0]);
    f.dialog->showMibs({false,
                        {{QStringLiteral("ACME-FAN-MIB"), own + QStringLiteral("/acme-fan.my")},
                         {QStringLiteral("ACME-SMI"), own + QStringLiteral("/ACME-SMI")}},
                        {}});
    QCOMPARE(modules->topLevelItemCount(), 2);
    QCOMPARE(modules->topLevelItem(1)->text(0), QStringLiteral("ACME-SMI"));
    QCOMPARE(failures->count(), 0);
    QCOMPARE(state->text(), QStringLiteral("2 modules loaded, 0 not."));
}

QTEST_MAIN(TestOptionsDialog)
#include "tst_options_dialog.moc"
