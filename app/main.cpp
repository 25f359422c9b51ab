// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvik: the event console. Starts a live copy, or a history copy when the
// whole command line is exactly "-h" or "-H".

#include "about/about_box.h" // applicationIcon
#include "alerts/desktop_notifier.h"
#include "alerts/sound_gate.h"
#include "app/details_wiring.h"
#include "app/live_session.h"
#include "app/wiring.h"
#include "history/history_browser.h"
#include "options/options_dialog.h"
#include "snmp/snmp_service.h"
#include "ui/profile_store.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>

using namespace quorvik;

namespace {

// A history copy browses the log: the search dialog and the file choice of
// its buttons, and the first load once the window is up.
int runHistoryCopy(QApplication &app, const Profile &profile, const QString &profilePath) {
    WidgetMessageBoxes boxes;
    QtFileDialogs fileDialogs;
    MainWindow window({true, profilePath, defaultLogFile(), &boxes, nullptr});
    window.load(profile);
    if (const QString notice = configurationNotices(profilePath).join(QStringLiteral("; "));
        !notice.isEmpty()) {
        window.showNotice(notice);
        qWarning("%s", qPrintable(notice));
    }
    wireCommonWindows(app, window);
    wireDetails(window, DetailsConfig{RowOrigin::History, nullptr, {}});
    window.show();
    HistoryBrowser history(window, HistoryConfig{&boxes, &fileDialogs, {}, 300});
    QTimer::singleShot(0, &history, &HistoryBrowser::startUp);
    return app.exec();
}

int runLiveCopy(QApplication &app, const Profile &profile, const QString &profilePath) {
    WidgetMessageBoxes boxes;
    QtFileDialogs fileDialogs;
    SoundGate sounds; // the level sounds and the options' "Test", off the window's thread
    // The operator's MIB folder exists from the first start, for the files
    // the operator puts there.
    QDir().mkpath(operatorMibFolder());
    SnmpService snmp(ownMibDirectory(), operatorMibDirectories(profile),
                     QFile::encodeName(profilePath).toStdString(),
                     [store = ProfileStore(profilePath)](const auto &change) mutable {
                         return store.update(change).toStdString();
                     });
    DesktopNotifierOptions notifierOptions;
    notifierOptions.iconName = notificationIcon();
    notifierOptions.trayIcon = applicationIcon();
    DesktopNotifier notifier(notifierOptions);

    LiveSessionConfig config;
    config.executableName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    config.profilePath = profilePath;
    config.defaultLogFile = defaultLogFile();
    config.liveLockPath = liveLockPath();
    config.boxes = &boxes;
    config.sounds = &sounds;
    config.notifier = &notifier;
    config.trapDecoder = &snmp.decoder();
    config.listenForSyslog = true;
    config.receiver.responder = [&snmp](std::string_view datagram) {
        return snmp.answer(datagram);
    };
    config.receiver.answeredBefore = [&snmp](std::string_view datagram, std::string_view sender,
                                             std::uint16_t port) {
        return snmp.answeredBefore(datagram, sender, port);
    };
    QStringList notices = configurationNotices(profilePath);
    for (const std::string &problem : snmp.configureUsers(profile))
        notices << QString::fromStdString(problem);

    LiveSession session(config);
    MainWindow &window = session.window();
    const std::unique_ptr<Forwarder> forwarder =
        startForwarding(window, profile, profilePath, boxes);
    session.setForwarder(forwarder.get());
    if (!session.start(profile))
        return 0;
    for (const std::string &note : {snmp.startEngine(profile), snmp.passwordsReadableByOthers()})
        if (!note.empty())
            notices << QString::fromStdString(note);
    notices << session.syslogProblems();
    if (!session.ruleProblems().isEmpty())
        notices << QStringLiteral("Rules left out: ") +
                       session.ruleProblems().join(QStringLiteral("; "));
    if (const QString notice = notices.join(QStringLiteral("; ")); !notice.isEmpty()) {
        window.showNotice(notice);
        qWarning("%s", qPrintable(notice));
    }
    // A copy started with QUORVIK_FILTER set opens with that filter.
    if (const QString query = qEnvironmentVariable("QUORVIK_FILTER"); !query.isEmpty())
        window.showFilter(query);
    wireCommonWindows(app, window);

    Forwarder *f = forwarder.get();
    QPointer<OptionsDialog> options;
    MibReadings mibs(snmp.decoder(), options,
                     [&window, dirs = operatorMibDirectories(profile)](const MibsShown &read) {
                         if (const QString notice = mibNotice(read, dirs); !notice.isEmpty()) {
                             window.showNotice(notice);
                             qWarning("%s", qPrintable(notice));
                         }
                     });
    const OptionsConfig optionsConfig{
        &window,
        [&window] { return window.settings(); },
        [&session](const Settings &s) { session.setSettings(s); },
        profilePath,
        &boxes,
        &fileDialogs,
        &sounds,
        [f](const std::vector<ForwardTarget> &targets, const std::vector<int> &numbers) {
            f->setTargets(targets, numbers);
        },
        [f](const ForwardTarget &target, std::function<void(const QString &)> done) {
            f->test(target, std::move(done));
        },
        [&](const std::vector<SnmpUser> &users) {
            if (const std::string error = snmp.setUsers(users); !error.empty())
                boxes.report(&window, QStringLiteral("Quorvik"), QString::fromStdString(error),
                             QMessageBox::Warning);
        },
        [&session](RuleSet rules) { session.setRules(std::move(rules)); },
        [&window](const EventFilter &filter) { return window.eventsMatching(filter); },
        operatorMibFolder(),
        [&mibs] { return mibs.latest(); },
        [&mibs](const QStringList &dirs) { mibs.reload(dirs); }};
    QObject::connect(&window, &MainWindow::optionsRequested, &window,
                     [&] { OptionsDialog::open(options, optionsConfig); });
    window.show();
    const int code = app.exec();
    // Quitting waits at most 2 s for the forward queues; what is still
    // queued then is lost, and said so on standard error.
    forwarder->stop();
    if (const QString waiting = forwarder->waitingText(); !waiting.isEmpty())
        qWarning("%s", qPrintable(QStringLiteral("quorvik quit; not forwarded, lost: ") + waiting));
    return code;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    // Qt's painter splits each fill of a tall area over the global thread
    // pool. For tables of text that buys nothing and costs a wake-up of
    // every pool thread per fill: at four repaints a second, more CPU than
    // 5,000 events a second take to show. One pool thread is the least Qt
    // allows.
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    QApplication::setWindowIcon(applicationIcon());
    const QString line = commandLineText(QCoreApplication::arguments());
    const QString profilePath = defaultProfilePath();
    // The configuration is read here once; what writes it later reads it anew.
    const Profile profile = Profile::parse(ProfileStore(profilePath).content());
    if (line == QLatin1String("-h") || line == QLatin1String("-H"))
        return runHistoryCopy(app, profile, profilePath);
    return runLiveCopy(app, profile, profilePath);
}
