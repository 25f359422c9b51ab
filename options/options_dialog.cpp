// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "options/options_dialog.h"

#include "alerts/sound.h"
#include "core/log_file.h"
#include "core/mib_dirs.h"
#include "core/profile.h"
#include "options/snmp_users_page.h"
#include "options/syslog_tab.h"
#include "ui/colour.h"
#include "ui/once_window.h"
#include "ui/profile_store.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

namespace quorvik {

namespace {

const QString kNoSound = QStringLiteral("no sound");
// How long Apply goes on trying to write while another program holds the
// configuration's lock.
constexpr int kLockWaitMs = 5000;
// The tab strip's own coordinates include its row of tabs; a page begins
// below it.
constexpr int kTabRowTwips = 360;
constexpr int kLeftColumn = 120, kLeftColumnWidth = 2970;
constexpr int kRightColumn = 3180, kRightColumnWidth = 2592;

QString levelName(int index) {
    const std::string_view name = levelByIndex(index).name;
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

QString fromLocal(const std::string &text) {
    return QString::fromLocal8Bit(text.c_str());
}

std::string toLocal(const QString &text) {
    return text.toLocal8Bit().toStdString();
}

// Places `widget` at (left, top) with the given size, all in twips; a zero
// size keeps the widget's own.
template <typename W> W *place(W *widget, int left, int top, int width = 0, int height = 0) {
    widget->move(toPixels(left), toPixels(top));
    if (width > 0 && height > 0)
        widget->setFixedSize(toPixels(width), toPixels(height));
    else if (width > 0)
        widget->setFixedWidth(toPixels(width));
    else
        widget->adjustSize();
    return widget;
}

QLabel *label(QWidget *parent, const QString &text, int left, int top) {
    return place(new QLabel(text, parent), left, top);
}

QGroupBox *frame(QWidget *parent, const char *name, const QString &caption, int left, int top,
                 int width, int height) {
    auto *box = new QGroupBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return place(box, left, top - kTabRowTwips, width, height);
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption, int left, int top,
                    int width, int height) {
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return place(b, left, top, width, height);
}

QString indexedName(const char *name, int index) {
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

// One Apply's write of the configuration and what follows it.
struct PendingWrite {
    QString path;
    std::function<std::string(std::string)> change;
    std::function<void()> written; // runs after the write, whether it worked or not
    QStringList failures;          // reported after it, with a failed write
    MessageBoxes *boxes = nullptr;
    QPointer<QWidget> parent; // the dialog, while it is open
    QWidget *fallbackParent = nullptr;
    QString title;
    QDeadlineTimer deadline;
};

// Writes the configuration once no other program holds its lock, trying
// again every 100 ms until the deadline while the windows go on working.
// Outlives the dialog, which OK closes at once.
void writeWhenFree(PendingWrite write) {
    ProfileStore profile(write.path);
    bool locked = false;
    const QString error = profile.update(write.change, 0, &locked);
    if (locked && !write.deadline.hasExpired()) {
        QTimer::singleShot(100, qApp, [write] { writeWhenFree(write); });
        return;
    }
    if (!error.isEmpty())
        write.failures
            << QStringLiteral("Cannot save the settings in %1: %2").arg(profile.path(), error);
    if (write.written)
        write.written();
    const QStringList &failures = write.failures;
    QWidget *parent = write.parent ? write.parent.data() : write.fallbackParent;
    MessageBoxes *boxes = write.boxes;
    const QString &title = write.title;
    if (!failures.isEmpty())
        boxes->report(parent, title, failures.join(QLatin1Char('\n')), QMessageBox::Warning);
}

} // namespace

OptionsDialog::OptionsDialog(OptionsConfig config)
    : QDialog(config.mainWindow, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                     Qt::WindowCloseButtonHint),
      m_config(std::move(config)) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Quorvik Optionen"));
    setModal(false);
    setFixedSize(toPixels(6150), toPixels(4920));
    centreWhenActive(this, m_config.mainWindow);
    // The design sizes assume the main window's small font: the system sans
    // at 8.25 point (a window doesn't inherit its owner's font).
    QFont designFont = QApplication::font();
    designFont.setPointSizeF(8.25);
    setFont(designFont);

    m_tabs = place(new QTabWidget(this), 120, 240, 5892, 4092);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_tabs->addTab(createGlobalTab(), QStringLiteral("Global"));
    m_tabs->addTab(createSoundsTab(), QStringLiteral("Sounds"));
    m_tabs->addTab(createColoursTab(), QStringLiteral("Colors"));
    m_snmpUsers = new SnmpUsersPage;
    m_tabs->addTab(m_snmpUsers, QStringLiteral("SNMPv3"));
    m_syslog = new SyslogTab(m_config.dialogs);
    m_tabs->addTab(m_syslog, QStringLiteral("Syslog"));
    m_forward = new ForwardTab(m_config.testForwardTarget);
    m_forward->setObjectName(QStringLiteral("tabForward"));
    m_tabs->addTab(m_forward, QStringLiteral("Forward"));
    m_rules = new RulesTab(m_config.rowsMatching, [forward = m_forward] {
        return writtenTargetNumbers(forward->entries());
    });
    m_tabs->addTab(m_rules, QStringLiteral("Rules"));
    m_mibs = new MibsTab({m_config.mibFolder, m_config.dialogs, m_config.boxes,
                          [this](const QStringList &dirs) { readMibs(dirs); }});
    m_tabs->addTab(m_mibs, QStringLiteral("MIBs"));

    QPushButton *ok =
        button(this, QStringLiteral("cmdOK"), QStringLiteral("OK"), 2520, 4455, 1095, 375);
    QPushButton *cancel =
        button(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), 3720, 4455, 1095, 375);
    QPushButton *applyButton =
        button(this, QStringLiteral("cmdApply"), QStringLiteral("Apply"), 4920, 4440, 1095, 375);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (apply())
            accept();
    });
    // Escape and the close box reject as Cancel does.
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, &OptionsDialog::clearMarks);
    connect(applyButton, &QPushButton::clicked, this, &OptionsDialog::apply);

    fill();
}

OptionsDialog *OptionsDialog::open(QPointer<OptionsDialog> &dialog, const OptionsConfig &config) {
    return showOnce(dialog, [&config] { return new OptionsDialog(config); });
}

QWidget *OptionsDialog::createGlobalTab() {
    auto *page = new QWidget(this); // in the dialog's font from the start

    // Two columns: the left one as wide as its longest caption needs in the
    // design font, the right one the rest.
    QGroupBox *startView = frame(page, "Frame1", QStringLiteral("Start with"), kLeftColumn, 480,
                                 kLeftColumnWidth, 972);
    const std::array<QString, 2> views{QStringLiteral("Tabbed List"), QStringLiteral("Full List")};
    for (int i = 0; i < 2; ++i) {
        m_startViewButtons[std::size_t(i)] =
            place(new QRadioButton(views[std::size_t(i)], startView), 240, 240 + 360 * i);
        m_startViewButtons[std::size_t(i)]->setObjectName(indexedName("startschirm", i));
    }

    QGroupBox *popupLevels = frame(page, "Frame2", QStringLiteral("show window immediately on"),
                                   kLeftColumn, 1440, kLeftColumnWidth, 2532);
    for (int i = 0; i < int(m_popupLevelButtons.size()); ++i) {
        const QString caption = i == 0 ? QStringLiteral("never") : levelName(i - 1);
        auto *option = place(new QRadioButton(caption, popupLevels), 240, 360 + 240 * i);
        option->setObjectName(indexedName("maximi", i));
        connect(option, &QRadioButton::clicked, this, [this] { m_popupLevelChanged = true; });
        m_popupLevelButtons[std::size_t(i)] = option;
    }

    // The log file's path on up to four lines, broken after its slashes, so
    // that a path as deep as the per-user data folder reads whole in the
    // narrow column; the frame below starts lower and is packed closer.
    QGroupBox *history = frame(page, "History", QStringLiteral("History"), kRightColumn, 480,
                               kRightColumnWidth, 1392);
    m_logFileLabel = place(new QLabel(QStringLiteral("vexnor.log"), history), 120, 210,
                           kRightColumnWidth - 240, 810);
    m_logFileLabel->setObjectName(QStringLiteral("namHistory"));
    m_logFileLabel->setWordWrap(true);
    m_logFileLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPushButton *select =
        button(history, QStringLiteral("Command1"), QStringLiteral("Select"), 120, 1035, 732, 312);
    connect(select, &QPushButton::clicked, this, &OptionsDialog::chooseLogFile);

    QGroupBox *rowsAndTab =
        frame(page, "Frame3", QString(), kRightColumn, 1872, kRightColumnWidth, 2100);
    // Each control under its caption, so that both read whole in the narrow
    // column whatever the font.
    label(rowsAndTab, QStringLiteral("Max. Lines per Tab"), 120, 150);
    m_rowLimit = place(new QLineEdit(QStringLiteral("1000"), rowsAndTab), 120, 420, 852, 288);
    m_rowLimit->setObjectName(QStringLiteral("mAnzZeilen"));
    label(rowsAndTab, QStringLiteral("Start with Tab"), 120, 810);
    m_startTab = place(new QComboBox(rowsAndTab), 120, 1080, 1332);
    m_startTab->setObjectName(QStringLiteral("Combo1"));
    for (int i = 0; i < kLevelCount; ++i)
        m_startTab->addItem(levelName(i));
    m_follow = place(new QCheckBox(QStringLiteral("Follow new events"), rowsAndTab), 120, 1500);
    m_follow->setObjectName(QStringLiteral("chkFollow"));
    m_follow->setToolTip(QStringLiteral("Show the tab of each new event; otherwise the tabs of "
                                        "levels with new events are marked in bold"));
    m_notify = place(new QCheckBox(QStringLiteral("Desktop notifications"), rowsAndTab), 120, 1800);
    m_notify->setObjectName(QStringLiteral("chkNotify"));
    return page;
}

QWidget *OptionsDialog::createSoundsTab() {
    auto *page = new QWidget(this); // in the dialog's font from the start
    const int headerTop = 720 - kTabRowTwips;
    label(page, QStringLiteral("Level"), 240, headerTop);
    label(page, QStringLiteral("Sound"), 1560, headerTop);
    for (int i = 0; i < kLevelCount; ++i) {
        const int top = 1200 + 360 * i - kTabRowTwips;
        label(page, levelName(i), 240, top);
        QLabel *name = place(new QLabel(kNoSound, page), 1560, top, 2200, 252);
        name->setObjectName(indexedName("soundname", i));
        m_soundLabels[std::size_t(i)] = name;
        QPushButton *choose =
            button(page, indexedName("csound", i), QStringLiteral("new"), 4200, top, 492, 252);
        choose->setToolTip(QStringLiteral("Click to choose new soundfile"));
        QPushButton *none =
            button(page, indexedName("killsound", i), QStringLiteral("no"), 4800, top, 372, 252);
        QPushButton *test =
            button(page, indexedName("testsound", i), QStringLiteral("Test"), 5280, top, 492, 252);
        connect(choose, &QPushButton::clicked, this, [this, i] { chooseSound(i); });
        connect(none, &QPushButton::clicked, this, [this, i] {
            m_soundsChanged = true;
            showSound(i, QString());
        });
        connect(test, &QPushButton::clicked, this, [this, i] {
            const QString &path = m_shownSounds[std::size_t(i)];
            if (!path.isEmpty() && m_config.sounds)
                m_config.sounds->play(path);
        });
    }
    return page;
}

QWidget *OptionsDialog::createColoursTab() {
    auto *page = new QWidget(this); // in the dialog's font from the start
    const int headerTop = 720 - kTabRowTwips;
    label(page, QStringLiteral("Level"), 1560, headerTop);
    label(page, QStringLiteral("Color"), 3480, headerTop);
    for (int i = 0; i < kLevelCount; ++i) {
        const int top = 1080 + 360 * i - kTabRowTwips;
        label(page, levelName(i), 1560, top);
        QLabel *swatch = place(new QLabel(page), 3480, top, 492, 252);
        swatch->setObjectName(indexedName("Picture1", i));
        swatch->setToolTip(QStringLiteral("Click to choose new color"));
        swatch->setFrameShape(QFrame::Box);
        swatch->setAutoFillBackground(true);
        swatch->installEventFilter(this);
        m_colourSwatches[std::size_t(i)] = swatch;
    }
    label(page, QStringLiteral("Click on color to change"), 1560, 3600 - kTabRowTwips);
    return page;
}

// The controls show the settings in force; values the controls can't show
// are bounded to what they can.
void OptionsDialog::fill() {
    const Settings settings = m_config.currentSettings();
    const LevelColours builtIn = defaultLevelColours();
    for (int i = 0; i < kLevelCount; ++i) {
        const Colour colour = settings.levelColours[std::size_t(i)];
        showColour(i, colour <= 0xFFFFFF ? colour : builtIn[std::size_t(i)]);
        showSound(i, fromLocal(settings.levelSounds[std::size_t(i)]));
    }
    m_popupLevelButtons[std::size_t(std::clamp(settings.popupLevel, 0,
                                               int(m_popupLevelButtons.size()) - 1))]
        ->setChecked(true);
    m_rowLimit->setText(QString::number(settings.maxLines));
    m_shownLogFile = fromLocal(settings.logFile);
    m_logFileLabel->setText(m_shownLogFile);
    m_tabs->setCurrentIndex(0);
    m_startTab->setCurrentIndex(std::clamp(settings.startTab, 0, kLevelCount - 1));
    m_notify->setChecked(settings.notify);
    m_follow->setChecked(settings.followNewEvents);
    const Profile profile = Profile::parse(ProfileStore(m_config.profilePath).content());
    const std::string iniGrid = profile.value("Global", "IniGrid", "0");
    m_startViewButtons[iniGrid == "0" ? 0 : 1]->setChecked(true);
    m_forward->setEntries(forwardEntriesFromProfile(profile));
    m_rules->setRules(ruleTextsFromProfile(profile));
    m_snmpUsers->fill(snmpUserFieldsFromProfile(profile));
    m_syslog->setSettings(settings.syslog);
    QStringList mibDirs;
    for (const std::string &dir : mibDirsFromProfile(profile))
        mibDirs << fromLocal(dir);
    m_mibs->setFolders(mibDirs);
    if (m_config.currentMibs)
        m_mibs->showMibs(m_config.currentMibs());
    clearMarks();
}

void OptionsDialog::readMibs(const QStringList &mibDirs) {
    if (!m_config.reloadMibs)
        return;
    m_config.reloadMibs(mibDirs);
    m_mibs->showMibs({true, {}, {}});
}

void OptionsDialog::clearMarks() {
    m_coloursChanged = m_popupLevelChanged = m_soundsChanged = m_logFileChanged = false;
    m_forward->clearMark();
    m_rules->clearMark();
    m_snmpUsers->clearMark();
    m_syslog->clearMark();
    m_mibs->clearMark();
}

void OptionsDialog::showSound(int level, const QString &path) {
    m_shownSounds[std::size_t(level)] = path;
    m_soundLabels[std::size_t(level)]->setText(path.isEmpty() ? kNoSound : path);
}

void OptionsDialog::showColour(int level, Colour colour) {
    m_shownColours[std::size_t(level)] = colour;
    QLabel *swatch = m_colourSwatches[std::size_t(level)];
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, toQColor(colour));
    swatch->setPalette(palette);
}

// Leaving a file or colour dialog without choosing changes nothing.
void OptionsDialog::chooseSound(int level) {
    const QString stored = fromLocal(m_config.currentSettings().levelSounds[std::size_t(level)]);
    const std::optional<QString> chosen = m_config.dialogs->openFile(
        this, QStringLiteral("Open"), stored, QStringLiteral("Soundfiles (*.wav);;All files (*)"));
    if (!chosen)
        return;
    showSound(level, *chosen);
    m_soundsChanged = true;
}

void OptionsDialog::chooseColour(int level) {
    const Colour current = m_shownColours[std::size_t(level)];
    const std::optional<QColor> chosen = m_config.dialogs->chooseColour(this, toQColor(current));
    if (!chosen || !chosen->isValid() || fromQColor(*chosen) == current)
        return;
    showColour(level, fromQColor(*chosen));
    m_coloursChanged = true;
}

void OptionsDialog::chooseLogFile() {
    const std::optional<QString> chosen =
        m_config.dialogs->saveFile(this, QStringLiteral("Save As"), m_shownLogFile,
                                   QStringLiteral("Logfiles (*.log);;All files (*)"));
    if (!chosen)
        return;
    m_shownLogFile = *chosen;
    m_logFileLabel->setText(m_shownLogFile);
    m_logFileChanged = true;
}

// The five save steps: the marked groups and the general settings are put
// in force together, then written to the file in one update (while another
// program holds the file's lock, once it is free, without holding up the
// windows). Failures are reported together; the settings stay in force all
// the same. SNMPv3
// entries that can't be used are reported first, and nothing is applied.
bool OptionsDialog::apply() {
    std::optional<std::vector<SnmpUserFields>> users;
    if (m_snmpUsers->changed()) {
        if (const QStringList problems = m_snmpUsers->problems(); !problems.isEmpty()) {
            m_tabs->setCurrentWidget(m_snmpUsers);
            m_config.boxes->report(this, windowTitle(), problems.join(QLatin1Char('\n')),
                                   QMessageBox::Warning);
            return false;
        }
        users = m_snmpUsers->users();
    }
    // Every rule is checked before anything is written; the forward targets
    // it names are those the Forward tab will write. A target removed there
    // is checked here too.
    std::optional<std::vector<RuleText>> rules;
    if (m_rules->changed() || m_forward->changed()) {
        if (const QStringList problems = m_rules->problems(); !problems.isEmpty()) {
            m_tabs->setCurrentWidget(m_rules);
            m_config.boxes->report(this, windowTitle(),
                                   QStringLiteral("The rules can't be used:\n") +
                                       problems.join(QLatin1Char('\n')),
                                   QMessageBox::Warning);
            return false;
        }
        rules = m_rules->rules();
        m_rules->clearMark();
    }
    if (users)
        m_snmpUsers->clearMark();
    Settings settings = m_config.currentSettings();
    SettingsChanges changes;
    QStringList failures;
    if (m_coloursChanged) {
        settings.levelColours = m_shownColours;
        changes.colours = m_shownColours;
        m_coloursChanged = false;
    }
    if (m_popupLevelChanged) {
        for (int i = 0; i < int(m_popupLevelButtons.size()); ++i)
            if (m_popupLevelButtons[std::size_t(i)]->isChecked())
                settings.popupLevel = i;
        changes.popupLevel = settings.popupLevel;
    }
    if (m_soundsChanged) {
        for (int i = 0; i < kLevelCount; ++i)
            settings.levelSounds[std::size_t(i)] = toLocal(m_shownSounds[std::size_t(i)]);
        changes.sounds = settings.levelSounds;
        m_soundsChanged = false;
    }
    if (m_logFileChanged) {
        settings.logFile = toLocal(m_shownLogFile);
        changes.logFile = settings.logFile;
        m_logFileChanged = false;
        const FileResult created = createLogFileWithHeader(settings.logFile);
        if (!created.ok())
            failures << QStringLiteral("Cannot start the log file %1: %2")
                            .arg(m_shownLogFile, fromLocal(created.error));
    }
    saveGeneralSettings(settings, changes);
    if (m_syslog->changed()) {
        settings.syslog = m_syslog->settings();
        changes.syslog = settings.syslog;
        m_syslog->clearMark();
    }
    m_config.applySettings(settings);
    // Other MIB folders are written and read at once.
    std::optional<std::vector<std::string>> mibDirs;
    if (m_mibs->changed()) {
        mibDirs.emplace();
        for (const QString &dir : m_mibs->folders())
            mibDirs->push_back(toLocal(dir));
        m_mibs->clearMark();
        readMibs(m_mibs->folders());
    }
    std::optional<std::vector<ForwardEntry>> targets;
    if (m_forward->changed()) {
        targets = m_forward->entries();
        m_forward->clearMark();
        if (m_config.applyForwardTargets)
            m_config.applyForwardTargets(m_forward->targets(), writtenTargetNumbers(*targets));
    }

    if (rules && m_config.applyRules) {
        RuleSet inForce;
        const std::vector<int> numbers = writtenTargetNumbers(m_forward->entries());
        std::vector<std::string> unused;
        for (const RuleText &rule : *rules)
            if (std::optional<Rule> read = readRule(rule, numbers, unused))
                inForce.push_back(std::move(*read));
        m_config.applyRules(std::move(inForce));
    }

    const auto change = [changes, targets, users, rules, mibDirs](const std::string &old) {
        Profile content = Profile::parse(old);
        writeSettings(content, changes);
        if (targets)
            writeForwardEntries(content, *targets);
        if (rules)
            writeRuleTexts(content, *rules);
        if (users)
            writeSnmpUsers(content, *users);
        if (mibDirs)
            writeMibDirs(content, *mibDirs);
        return content.text();
    };
    // The usable SNMPv3 users go in force once they are in the file, where
    // the engine that answers their informs looks for them.
    std::function<void()> written;
    if (users && m_config.applySnmpUsers)
        written = [apply = m_config.applySnmpUsers, users] {
            std::vector<SnmpUser> usable;
            for (const SnmpUserFields &user : *users)
                usable.push_back(*checkSnmpUser(user).user);
            apply(usable);
        };
    writeWhenFree({m_config.profilePath, change, written, failures, m_config.boxes, this,
                   m_config.mainWindow, windowTitle(), QDeadlineTimer(kLockWaitMs)});
    return true;
}

void OptionsDialog::saveGeneralSettings(Settings &settings, SettingsChanges &changes) {
    const std::string rowLimitText = toLocal(m_rowLimit->text().trimmed());
    const int rowLimit = rowLimitFromText(rowLimitText);
    if (rowLimit != settings.maxLines) {
        settings.maxLines = rowLimit;
        changes.maxLinesText = rowLimitText;
    }
    changes.startInFullList = !m_startViewButtons[0]->isChecked();
    if (m_startTab->currentIndex() != settings.startTab) {
        settings.startTab = m_startTab->currentIndex();
        changes.startTab = settings.startTab;
    }
    if (m_notify->isChecked() != settings.notify) {
        settings.notify = m_notify->isChecked();
        changes.notify = settings.notify;
    }
    if (m_follow->isChecked() != settings.followNewEvents) {
        settings.followNewEvents = m_follow->isChecked();
        changes.followNewEvents = settings.followNewEvents;
    }
}

bool OptionsDialog::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        const auto found = std::find(m_colourSwatches.begin(), m_colourSwatches.end(), watched);
        if (found != m_colourSwatches.end()) {
            chooseColour(int(found - m_colourSwatches.begin()));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quorvik
