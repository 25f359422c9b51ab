// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvik: the event console. Starts the main window in live mode, or in
// history mode when the whole command line is exactly "-h" or "-H".

#include "about/about_box.h"
#include "alerts/desktop_notifier.h"
#include "alerts/sound.h"
#include "core/forward_target.h"
#include "core/profile.h"
#include "core/settings.h"
#include "core/snmp_users.h"
#include "core/text_file.h"
#include "forward/forwarder.h"
#include "history/history_browser.h"
#include "main_window/main_window.h"
#include "messaging/send_message_dialog.h"
#include "options/options_dialog.h"
#include "snmp/inform_repeats.h"
#include "snmp/net_snmp_decoder.h"
#include "ui/profile_store.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP are the system asking the program to end: the
// window closes without the quit question, through the event loop.
void watchQuitSignals(quorvik::MainWindow &window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte;
        [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
        window.quitFromSystem();
    });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

QString commandLineText(const QStringList &arguments) {
    return arguments.mid(1).join(QLatin1Char(' '));
}

// A copy run from its build folder keeps its log beside the program; an
// installed copy logs to the per-user data folder, also where its folder is
// writable (root and /usr/bin).
QString defaultLogFile() {
    const QString programDir = QCoreApplication::applicationDirPath();
    if (QDir(programDir) == QDir(QStringLiteral(QUORVIK_BUILD_DIR)) &&
        QFileInfo(programDir).isWritable())
        return programDir + QStringLiteral("/quorvik.log");
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/quorvik");
    QDir().mkpath(dataDir);
    return dataDir + QStringLiteral("/quorvik.log");
}

// The icon of desktop notifications: the installed one by its name, or in a
// build tree its rendering there.
QString notificationIcon() {
    const QString built = QStringLiteral(QUORVIK_BUILD_DIR "/packaging/48/org.quorvik.Quorvik.png");
    if (QDir(QCoreApplication::applicationDirPath()) == QDir(QStringLiteral(QUORVIK_BUILD_DIR)) &&
        QFileInfo::exists(built))
        return built;
    return QStringLiteral("org.quorvik.Quorvik");
}

const QString kNotForwardedAtQuit = QStringLiteral("Not yet forwarded, lost when Quorvik quits: ");

// The live copy forwards what it logs to the targets of [Forward]; a target
// that can't be read is named to the operator and left out.
std::unique_ptr<quorvik::Forwarder> startForwarding(quorvik::MainWindow &window,
                                                    const QString &profilePath,
                                                    quorvik::MessageBoxes &boxes) {
    auto forwarder = std::make_unique<quorvik::Forwarder>();
    quorvik::Forwarder *f = forwarder.get();
    QObject::connect(&window, &quorvik::MainWindow::eventsLogged, f, &quorvik::Forwarder::take,
                     Qt::DirectConnection);
    QObject::connect(f, &quorvik::Forwarder::statusChanged, &window, [&window, f] {
        window.showNotForwarded(f->notForwarded(), f->failingText(), f->statusText());
        const QString waiting = f->waitingText();
        window.setQuitWarning(waiting.isEmpty() ? QString() : kNotForwardedAtQuit + waiting);
    });
    const quorvik::ForwardTargets targets = quorvik::forwardTargetsFromProfile(
        quorvik::Profile::parse(quorvik::ProfileStore(profilePath).content()));
    f->setTargets(targets.targets);
    QStringList problems;
    for (const std::string &problem : targets.problems)
        problems << QString::fromLocal8Bit(problem.c_str());
    if (!problems.isEmpty()) // once the window is up
        QTimer::singleShot(0, &window, [&window, &boxes, profilePath, problems] {
            boxes.report(&window, QStringLiteral("Quorvik"),
                         QStringLiteral("Events are not forwarded to these targets of %1:\n%2")
                             .arg(profilePath, problems.join(QLatin1Char('\n'))),
                         QMessageBox::Warning);
        });
    return forwarder;
}

QString liveLockPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/quorvik-live.lock");
}

// The MIB modules that come with the program: beside it in a build tree,
// under share/ when installed.
std::string ownMibDirectory() {
    const QString programDir = QCoreApplication::applicationDirPath();
    QString dir = programDir + QStringLiteral("/mibs");
    if (!QFileInfo(dir).isDir())
        dir = programDir + QStringLiteral("/../share/quorvik/mibs");
    return QFile::encodeName(QDir::cleanPath(dir)).toStdString();
}

// What start-up says of the configuration: a file that can't be read, and
// each value that can't be, with what is used instead.
QStringList configurationNotices(const QString &profilePath) {
    std::string error;
    const std::optional<std::string> text =
        quorvik::readTextFile(QFile::encodeName(profilePath).toStdString(), &error);
    if (!text) {
        if (!QFileInfo::exists(profilePath))
            return {};
        return {QStringLiteral("Cannot read %1: %2; the built-in settings are used")
                    .arg(profilePath, QString::fromLocal8Bit(error.c_str()))};
    }
    QStringList named;
    for (const std::string &problem : quorvik::unreadableSettings(quorvik::Profile::parse(*text)))
        named << QString::fromUtf8(problem.c_str());
    if (named.isEmpty())
        return {};
    return {QStringLiteral("Values in %1 that can't be read: %2")
                .arg(profilePath, named.join(QStringLiteral("; ")))};
}

// The SNMPv3 users of the configuration into the decoder. Returns what the
// operator should know: users skipped.
QStringList configureSnmpUsers(quorvik::TrapDecoder &decoder, const QString &profilePath) {
    const quorvik::ProfileStore store(profilePath);
    const quorvik::Profile profile = quorvik::Profile::parse(store.content());
    const quorvik::SnmpUsers users = quorvik::snmpUsersFromProfile(profile);
    decoder.setUsers(users.users);
    QStringList notes;
    for (const std::string &problem : users.problems)
        notes << QString::fromStdString(problem);
    return notes;
}

// A warning when others may still read the SNMPv3 passwords; asked once the
// engine's start has written the file, which makes it the owner's alone.
QStringList passwordsReadableByOthers(const QString &profilePath) {
    const quorvik::Profile profile =
        quorvik::Profile::parse(quorvik::ProfileStore(profilePath).content());
    struct stat status {};
    if (!profile.hasSection(quorvik::kSnmpSection) ||
        ::stat(QFile::encodeName(profilePath).constData(), &status) != 0 ||
        (status.st_mode & (S_IRWXG | S_IRWXO)) == 0)
        return {};
    return {QStringLiteral("Warning: %1 holds SNMPv3 passwords and other users may read "
                           "it (chmod 600 %1)")
                .arg(profilePath)};
}

// The live copy's own SNMP engine for the informs it answers, its boot
// count raised and stored; once, where users are configured (`started`
// says whether it is). Returns an error text for the operator.
QString startSnmpEngine(quorvik::NetSnmpDecoder &decoder, const QString &profilePath,
                        bool &started) {
    quorvik::ProfileStore store(profilePath);
    if (started ||
        quorvik::snmpUserFieldsFromProfile(quorvik::Profile::parse(store.content())).empty())
        return {};
    started = true;
    quorvik::SnmpEngine engine;
    const QString error = store.update([&engine](std::string text) {
        quorvik::Profile profile = quorvik::Profile::parse(text);
        engine = quorvik::startSnmpEngine(profile);
        return profile.text();
    });
    decoder.setEngine(engine.engineId, engine.boots);
    QStringList notes;
    if (!engine.problem.empty())
        notes << QString::fromUtf8(engine.problem.c_str());
    if (!error.isEmpty())
        notes << QStringLiteral("Cannot save the SNMPv3 engine's boot count in %1: %2")
                     .arg(profilePath, error);
    return notes.join(QStringLiteral("; "));
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(quorvik::applicationIcon());
    const QString line = commandLineText(QCoreApplication::arguments());

    quorvik::MainWindowConfig config;
    config.historyMode = line == QLatin1String("-h") || line == QLatin1String("-H");
    config.executableName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    config.profilePath = quorvik::defaultProfilePath();
    config.defaultLogFile = defaultLogFile();
    config.liveLockPath = liveLockPath();

    // Live copies decode SNMP messages; the MIBs load in the background.
    std::unique_ptr<quorvik::NetSnmpDecoder> trapDecoder;
    if (!config.historyMode)
        trapDecoder = std::make_unique<quorvik::NetSnmpDecoder>(ownMibDirectory());
    config.trapDecoder = trapDecoder.get();
    if (quorvik::NetSnmpDecoder *decoder = trapDecoder.get())
        config.receiver.responder = [decoder](std::string_view datagram) {
            return decoder->informResponse(datagram); // thread-safe
        };
    auto informRepeats = std::make_shared<quorvik::InformRepeats>();
    config.receiver.answeredBefore = [informRepeats, decoder = trapDecoder.get()](
                                         std::string_view datagram, std::string_view sender) {
        const auto inform = decoder ? decoder->informIdentity(datagram) : std::nullopt;
        return inform && informRepeats->repeated(sender, *inform, std::chrono::steady_clock::now());
    };

    // Seams of the secondary windows; the level sounds and "Test" share one player.
    quorvik::WidgetMessageBoxes boxes;
    quorvik::QtFileDialogs fileDialogs;
    quorvik::MultimediaSoundPlayer sounds;
    config.sounds = &sounds;

    // A live copy tells of serious events on the desktop while it is away.
    std::unique_ptr<quorvik::DesktopNotifier> notifier;
    if (!config.historyMode) {
        quorvik::DesktopNotifierOptions options;
        options.iconName = notificationIcon();
        options.trayIcon = quorvik::applicationIcon();
        notifier = std::make_unique<quorvik::DesktopNotifier>(options);
    }
    config.notifier = notifier.get();

    QStringList notices = configurationNotices(config.profilePath);
    if (trapDecoder)
        notices << configureSnmpUsers(*trapDecoder, config.profilePath);

    quorvik::MainWindow window(config);
    if (window.load() == quorvik::MainWindow::LoadResult::Refused)
        return 0;
    bool engineStarted = false;
    if (trapDecoder) {
        if (const QString error = startSnmpEngine(*trapDecoder, config.profilePath, engineStarted);
            !error.isEmpty())
            notices << error;
        notices << passwordsReadableByOthers(config.profilePath);
    }
    if (const QString notice = notices.join(QStringLiteral("; ")); !notice.isEmpty()) {
        window.showNotice(notice);
        qWarning("%s", qPrintable(notice));
    }
    // A copy started with QUORVIK_FILTER set opens with that filter.
    if (const QString query = qEnvironmentVariable("QUORVIK_FILTER"); !query.isEmpty())
        window.showFilter(query);
    watchQuitSignals(window);
    QPointer<quorvik::AboutBox> about;
    QObject::connect(&window, &quorvik::MainWindow::aboutRequested, &window,
                     [&] { quorvik::AboutBox::showOver(about, &window); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &) { window.quitFromSystem(); });
    QPointer<quorvik::SendMessageDialog> sendMessage;
    QObject::connect(&window, &quorvik::MainWindow::sendMessageRequested, &window,
                     [&] { quorvik::SendMessageDialog::showFor(sendMessage, &window); });
    std::unique_ptr<quorvik::Forwarder> forwarder;
    if (!config.historyMode)
        forwarder = startForwarding(window, config.profilePath, boxes);
    quorvik::Forwarder *f = forwarder.get();
    QPointer<quorvik::OptionsDialog> options;
    const quorvik::OptionsConfig optionsConfig{
        &window,
        [&window] { return window.settings(); },
        [&window](const quorvik::Settings &s) { window.setSettings(s); },
        config.profilePath,
        &boxes,
        &fileDialogs,
        &sounds,
        [f](const std::vector<quorvik::ForwardTarget> &targets) {
            if (f)
                f->setTargets(targets);
        },
        [f](const quorvik::ForwardTarget &target, std::function<void(const QString &)> done) {
            if (f)
                f->test(target, std::move(done));
        },
        [&, decoder = trapDecoder.get()](const std::vector<quorvik::SnmpUser> &users) {
            if (!decoder)
                return;
            decoder->setUsers(users);
            // The first users added while running: the engine for their informs.
            const QString error = startSnmpEngine(*decoder, config.profilePath, engineStarted);
            if (!error.isEmpty())
                boxes.report(&window, QStringLiteral("Quorvik"), error, QMessageBox::Warning);
        }};
    QObject::connect(&window, &quorvik::MainWindow::optionsRequested, &window,
                     [&] { quorvik::OptionsDialog::open(options, optionsConfig); });
    window.show();

    // A history copy browses the log: the search dialog and the file choice
    // of its buttons, and the first load once the window is up.
    std::unique_ptr<quorvik::HistoryBrowser> history;
    if (config.historyMode) {
        history = std::make_unique<quorvik::HistoryBrowser>(
            window, quorvik::HistoryConfig{&boxes, &fileDialogs, {}, 300});
        QTimer::singleShot(0, history.get(), &quorvik::HistoryBrowser::startUp);
    }
    const int code = app.exec();
    // Quitting waits at most 2 s for the forward queues; what is still
    // queued then is lost, and said so on standard error.
    if (forwarder) {
        forwarder->stop();
        if (const QString waiting = forwarder->waitingText(); !waiting.isEmpty())
            qWarning("%s",
                     qPrintable(QStringLiteral("quorvik quit; not forwarded, lost: ") + waiting));
    }
    return code;
}
