// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/wiring.h"

#include "about/about_box.h"
#include "core/forward_target.h"
#include "core/mib_dirs.h"
#include "core/profile.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "messaging/send_message_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvik {

namespace {

int signalPipe[2] = {-1, -1};

void onQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

// SIGTERM, SIGINT and SIGHUP are the system asking the program to end: the
// window closes without the quit question, through the event loop.
void watchQuitSignals(MainWindow &window) {
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

void wireCommonWindows(QApplication &app, MainWindow &window) {
    watchQuitSignals(window);
    auto *about = new QPointer<AboutBox>;
    QObject::connect(&window, &MainWindow::aboutRequested, &window,
                     [about, &window] { AboutBox::showOver(*about, &window); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &) { window.quitFromSystem(); });
    auto *sendMessage = new QPointer<SendMessageDialog>;
    QObject::connect(&window, &MainWindow::sendMessageRequested, &window,
                     [sendMessage, &window] { SendMessageDialog::showFor(*sendMessage, &window); });
    QObject::connect(&window, &QObject::destroyed, [about, sendMessage] {
        delete about;
        delete sendMessage;
    });
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

// The live copy forwards what it logs to the targets of [Forward]; a target
// that can't be read is named to the operator and left out.
std::unique_ptr<Forwarder> startForwarding(MainWindow &window, const Profile &profile,
                                           const QString &profilePath, MessageBoxes &boxes) {
    auto forwarder = std::make_unique<Forwarder>();
    Forwarder *f = forwarder.get();
    QObject::connect(f, &Forwarder::statusChanged, &window, [&window, f] {
        window.showNotForwarded(f->notForwarded(), f->failingText(), f->statusText());
        const QString waiting = f->waitingText();
        window.setQuitWarning(waiting.isEmpty()
                                  ? QString()
                                  : QStringLiteral("Not yet forwarded, lost when Quorvik quits: ") +
                                        waiting);
    });
    const ForwardTargets targets = forwardTargetsFromProfile(profile);
    f->setTargets(targets.targets, targets.numbers);
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

QString operatorMibFolder() {
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/quorvik/mibs");
}

std::vector<std::string> operatorMibDirectories(const Profile &profile) {
    std::vector<std::string> dirs{QFile::encodeName(operatorMibFolder()).toStdString()};
    for (std::string &dir : mibDirsFromProfile(profile))
        dirs.push_back(std::move(dir));
    return dirs;
}

namespace {

MibsShown shown(const MibTree &tree) {
    MibsShown mibs;
    for (const MibModule &module : tree.modules())
        mibs.modules.emplace_back(QString::fromStdString(module.name),
                                  QFile::decodeName(module.file.c_str()));
    for (const MibFailure &failure : tree.failures())
        mibs.failures.emplace_back(QFile::decodeName(failure.file.c_str()),
                                   QString::fromLocal8Bit(failure.reason.c_str()));
    return mibs;
}

} // namespace

void MibReadings::State::take(std::shared_ptr<const MibTree> tree) {
    latest = tree;
    if (OptionsDialog *open = *dialog)
        open->showMibs(shown(*tree));
    if (!std::exchange(firstTold, true) && firstRead)
        firstRead(shown(*tree));
}

MibReadings::MibReadings(NetSnmpDecoder &decoder, QPointer<OptionsDialog> &dialog,
                         std::function<void(const MibsShown &)> firstRead)
    : m_decoder(decoder),
      m_state(std::make_shared<State>(State{&dialog, {}, std::move(firstRead)})) {
    const auto handOver = [weak =
                               std::weak_ptr<State>(m_state)](std::shared_ptr<const MibTree> tree) {
        QMetaObject::invokeMethod(
            qApp,
            [weak, tree = std::move(tree)] {
                if (const std::shared_ptr<State> state = weak.lock())
                    state->take(tree);
            },
            Qt::QueuedConnection);
    };
    decoder.setMibsRead(handOver);
    // A first reading done before this was here was handed to no one.
    if (std::shared_ptr<const MibTree> done = decoder.mibsInForce())
        handOver(std::move(done));
}

MibReadings::~MibReadings() {
    m_decoder.setMibsRead({});
}

MibsShown MibReadings::latest() const {
    // Before the first hand-over the decoder's tree is the latest; before
    // the first reading is done there is none yet.
    std::shared_ptr<const MibTree> tree = m_state->latest;
    if (!tree)
        tree = m_decoder.mibsInForce();
    return tree ? shown(*tree) : MibsShown{true, {}, {}};
}

void MibReadings::reload(const QStringList &mibDirs) {
    std::vector<std::string> dirs{QFile::encodeName(operatorMibFolder()).toStdString()};
    for (const QString &dir : mibDirs)
        dirs.push_back(QFile::encodeName(dir).toStdString());
    m_decoder.reloadMibs(std::move(dirs));
}

QString mibNotice(const MibsShown &mibs, const std::vector<std::string> &operatorDirs) {
    QStringList named;
    for (const auto &[file, reason] : mibs.failures) {
        const std::string path = QFile::encodeName(file).toStdString();
        const bool theOperators =
            std::any_of(operatorDirs.begin(), operatorDirs.end(), [&path](const std::string &dir) {
                return path == dir || path.starts_with(dir.ends_with('/') ? dir : dir + '/');
            });
        if (theOperators)
            named << reason;
    }
    if (named.isEmpty())
        return {};
    return QStringLiteral("MIBs that can't be read: ") + named.join(QStringLiteral("; "));
}

QStringList configurationNotices(const QString &profilePath) {
    std::string error;
    const std::optional<std::string> text =
        readTextFile(QFile::encodeName(profilePath).toStdString(), &error);
    if (!text) {
        if (!QFileInfo::exists(profilePath))
            return {};
        return {QStringLiteral("Cannot read %1: %2; the built-in settings are used")
                    .arg(profilePath, QString::fromLocal8Bit(error.c_str()))};
    }
    QStringList named;
    for (const std::string &problem : unreadableSettings(Profile::parse(*text)))
        named << QString::fromUtf8(problem.c_str());
    if (named.isEmpty())
        return {};
    return {QStringLiteral("Values in %1 that can't be read: %2")
                .arg(profilePath, named.join(QStringLiteral("; ")))};
}

} // namespace quorvik
