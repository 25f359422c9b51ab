// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Helpers of the end-to-end tests: start the real quorvik with a private
// environment (configuration, data and runtime folders in a temporary
// directory), watch which UDP ports a process holds, send datagrams, and
// compare log lines.
#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace e2e {

inline constexpr quint16 kTrapPort = 162;
inline const QByteArray kHeader = "Level;Date;Processor;Application;Object;Message\r\n";

// Runs `program` to its end: empty when it exited with 0, else the command
// and what it wrote.
inline QString runProgram(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(15000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')) +
               QStringLiteral(": ") + QString::fromLocal8Bit(process.readAll());
    return {};
}

inline QString quorvikBinary() {
    const QString fromEnv = qEnvironmentVariable("QUORVIK_BINARY");
    return fromEnv.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/quorvik")
                             : fromEnv;
}

// Moves this test process, and with it every copy and sender it starts, into
// a network namespace of its own with only the loopback interface: port 162
// there is the test's alone, and no other program's datagrams reach its
// copies. Empty when done, else why the machine's network is used.
inline QString enterPrivateNetwork() {
    if (::unshare(CLONE_NEWNET) != 0)
        return QStringLiteral("unshare: ") + QString::fromLocal8Bit(std::strerror(errno));
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &request) == 0);
    const QString error =
        up ? QString()
           : QStringLiteral("loopback: ") + QString::fromLocal8Bit(std::strerror(errno));
    if (fd >= 0)
        ::close(fd);
    return error;
}

inline QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

// Whether a process started by this test may bind UDP port 162: as root, with
// CAP_NET_BIND_SERVICE on the binary, or where the system lets anyone bind
// ports from 162 on. `why` tells what is missing.
inline bool mayBindTrapPort(const QString &binary, QString *why) {
    if (::geteuid() == 0)
        return true;
    bool ok = false;
    const int firstFree = readFile(QStringLiteral("/proc/sys/net/ipv4/ip_unprivileged_port_start"))
                              .trimmed()
                              .toInt(&ok);
    if (ok && firstFree <= kTrapPort)
        return true;
    // struct vfs_cap_data: magic_etc, then permitted and inheritable words
    // (and a root id in version 3).
    quint32 caps[6] = {};
    const ssize_t got =
        ::getxattr(QFile::encodeName(binary).constData(), "security.capability", caps, sizeof caps);
    constexpr quint32 kEffective = 1, kNetBindService = 1u << 10;
    if (got >= 12 && (caps[0] & kEffective) && (caps[1] & kNetBindService))
        return true;
    *why = QStringLiteral("needs root or CAP_NET_BIND_SERVICE to bind UDP port 162 "
                          "(setcap cap_net_bind_service=+ep %1)")
               .arg(binary);
    return false;
}

// Socket inodes of the UDP sockets bound to `port` (IPv4 and IPv6 tables).
inline QSet<quint64> udpInodesOnPort(quint16 port) {
    QSet<quint64> inodes;
    for (const char *table : {"/proc/net/udp", "/proc/net/udp6"}) {
        const QList<QByteArray> lines = readFile(QString::fromLatin1(table)).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> fields = lines[i].simplified().split(' ');
            if (fields.size() < 10)
                continue;
            const QByteArray local = fields[1];
            const qsizetype colon = local.lastIndexOf(':');
            bool ok = false;
            if (colon >= 0 && local.mid(colon + 1).toUInt(&ok, 16) == port && ok)
                inodes.insert(fields[9].toULongLong());
        }
    }
    return inodes;
}

// Socket inodes among the open files of process `pid`; nullopt when its
// files can't be seen (a copy that got CAP_NET_BIND_SERVICE from its file is
// not inspectable by an unprivileged test).
inline std::optional<QSet<quint64>> socketInodesOf(qint64 pid) {
    const QString fdDir = QStringLiteral("/proc/%1/fd").arg(pid);
    if (::access(QFile::encodeName(fdDir).constData(), R_OK | X_OK) != 0)
        return std::nullopt;
    QSet<quint64> inodes;
    for (const QString &fd : QDir(fdDir).entryList(QDir::Files | QDir::System)) {
        char target[128] = {};
        const QByteArray link = QFile::encodeName(fdDir + QLatin1Char('/') + fd);
        const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
        const QByteArray text(target, n > 0 ? n : 0);
        if (text.startsWith("socket:[") && text.endsWith(']'))
            inodes.insert(text.mid(8, text.size() - 9).toULongLong());
    }
    return inodes;
}

// Whether process `pid` holds UDP `port`. Where its files can't be seen:
// whether any process holds the port (the tests start with it free).
inline bool holdsUdpPort(qint64 pid, quint16 port = kTrapPort) {
    if (pid <= 0)
        return false;
    const std::optional<QSet<quint64>> own = socketInodesOf(pid);
    return own ? own->intersects(udpInodesOnPort(port)) : !udpInodesOnPort(port).isEmpty();
}

// Whether process `pid` has bound any UDP socket; false where its files
// can't be seen (only a privileged test sees them all).
inline bool holdsAnyUdpPort(qint64 pid) {
    const std::optional<QSet<quint64>> own = socketInodesOf(pid);
    if (!own)
        return false;
    for (const char *table : {"/proc/net/udp", "/proc/net/udp6"}) {
        const QList<QByteArray> lines = readFile(QString::fromLatin1(table)).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> fields = lines[i].simplified().split(' ');
            if (fields.size() >= 10 && own->contains(fields[9].toULongLong()))
                return true;
        }
    }
    return false;
}

// Waits, handling events, until `condition` holds or `timeoutMs` passed.
template <class Condition> bool waitFor(Condition condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QTest::qWait(20);
    }
    return true;
}

// Port 162 free for the next test (an earlier copy may still be closing).
inline bool waitForFreeTrapPort(int timeoutMs = 15000) {
    return waitFor([] { return udpInodesOnPort(kTrapPort).isEmpty(); }, timeoutMs);
}

inline qint64 sendDatagram(const QByteArray &payload, quint16 port = kTrapPort) {
    QUdpSocket socket;
    return socket.writeDatagram(payload, QHostAddress(QHostAddress::LocalHost), port);
}

// Checks a log line against `expected`, in which "{DATE}" stands for a date
// that the program generated between `from` and `to`. Empty when it matches,
// else what differs.
inline QString compareLogLine(const QByteArray &actual, const QByteArray &expected,
                              const QDateTime &from, const QDateTime &to) {
    const auto show = [](const QByteArray &bytes) {
        return QString::fromLatin1(bytes.toPercentEncoding(" ;.:$<>/=\"&{}"));
    };
    const QString mismatch =
        QStringLiteral("expected [%1], got [%2]").arg(show(expected), show(actual));
    const qsizetype at = expected.indexOf("{DATE}");
    if (at < 0)
        return actual == expected ? QString() : mismatch;
    const QByteArray prefix = expected.left(at), suffix = expected.mid(at + 6);
    if (!actual.startsWith(prefix) || !actual.endsWith(suffix) ||
        actual.size() < prefix.size() + suffix.size())
        return mismatch;
    const QString date = QString::fromLatin1(
        actual.mid(prefix.size(), actual.size() - prefix.size() - suffix.size()));
    static const QRegularExpression shape(
        QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$"));
    if (!shape.match(date).hasMatch())
        return QStringLiteral("generated date [%1] is not DD.MM.YYYY HH:MM:SS; ").arg(date) +
               mismatch;
    const QDateTime when = QDateTime::fromString(date, QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    const QDateTime earliest = from.addMSecs(-from.time().msec());
    if (!when.isValid() || when < earliest || when > to)
        return QStringLiteral("generated date %1 lies outside %2 .. %3")
            .arg(date, earliest.toString(Qt::ISODate), to.toString(Qt::ISODate));
    return {};
}

// A private environment for copies of quorvik: configuration, data and
// runtime folders and the log file in one temporary directory. Every copy
// started here is killed when the environment goes.
class QuorvikEnv {
public:
    QuorvikEnv()
        : m_configDir(m_root.path() + QStringLiteral("/config")),
          m_dataDir(m_root.path() + QStringLiteral("/data")),
          m_runtimeDir(m_root.path() + QStringLiteral("/runtime")) {
        for (const QString &dir : {m_configDir, m_dataDir, m_runtimeDir, snmpDir()}) {
            QDir().mkpath(dir);
            ::chmod(QFile::encodeName(dir).constData(), 0700);
        }
    }
    ~QuorvikEnv() {
        for (auto &process : m_processes)
            stop(process.get());
    }
    QuorvikEnv(const QuorvikEnv &) = delete;
    QuorvikEnv &operator=(const QuorvikEnv &) = delete;

    bool isValid() const { return m_root.isValid(); }
    QString root() const { return m_root.path(); }
    QString runtimeDir() const { return m_runtimeDir; }
    QString configPath() const { return m_configDir + QStringLiteral("/quorvik.cfg"); }
    QString logPath() const { return m_root.path() + QStringLiteral("/events.log"); }
    QString snmpDir() const { return m_root.path() + QStringLiteral("/snmp"); }
    QByteArray log() const { return readFile(logPath()); }
    QByteArray config() const { return readFile(configPath()); }

    // The configuration: the log file, no popup, and `moreGlobal` lines
    // ("Key=value\r\n") under [Global].
    bool writeConfig(const QByteArray &moreGlobal = {}) const {
        return writeFile(configPath(), "[Global]\r\nLogfile=" + QFile::encodeName(logPath()) +
                                           "\r\nPopuplevel=0\r\n" + moreGlobal);
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_configDir);
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dataDir);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir);
        return env;
    }

    // Starts a copy with `arguments`; nullptr when it could not be started.
    QProcess *start(const QStringList &arguments = {}) {
        auto process = std::make_unique<QProcess>();
        process->setProgram(quorvikBinary());
        process->setArguments(arguments);
        process->setProcessEnvironment(environment());
        process->setProcessChannelMode(QProcess::MergedChannels);
        // A copy never outlives the test, even when the test itself is killed.
        process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process->start();
        if (!process->waitForStarted(10000))
            return nullptr;
        m_processes.push_back(std::move(process));
        return m_processes.back().get();
    }

    // Starts a live copy and waits until it holds port 162 and has created
    // its log file. Empty when it is up, else what went wrong.
    QString startLive(QProcess **started, const QStringList &arguments = {}) {
        QProcess *process = start(arguments);
        *started = process;
        if (!process)
            return QStringLiteral("quorvik could not be started: ") + quorvikBinary();
        const bool up = waitFor(
            [&] {
                return process->state() != QProcess::Running ||
                       (holdsUdpPort(process->processId()) && QFileInfo::exists(logPath()));
            },
            15000);
        if (up && process->state() == QProcess::Running)
            return {};
        return QStringLiteral("quorvik %1 is not listening on UDP port 162: %2")
            .arg(arguments.join(QLatin1Char(' ')), describe(process));
    }

    // Sends a tagged Note from host "e2e" with `message` and waits until the
    // log ends with its line: the live copy is up and in its event loop.
    bool logsNote(const QByteArray &message) const {
        const QByteArray payload = "$LEVL$:N$HOST$:e2e$MSG$:" + message;
        return sendDatagram(payload) == payload.size() &&
               waitFor([&] { return log().endsWith(";e2e;;;" + message + "\r\n"); }, 10000);
    }

    // Stops a copy at once (SIGKILL) if it still runs.
    static void stop(QProcess *process) {
        if (process && process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(10000);
        }
    }

    static QString describe(QProcess *process) {
        if (!process)
            return QStringLiteral("not started");
        const QString state = process->state() == QProcess::Running
                                  ? QStringLiteral("running")
                                  : QStringLiteral("ended with code %1").arg(process->exitCode());
        return state + QStringLiteral("; output: ") +
               QString::fromLocal8Bit(process->readAllStandardOutput());
    }

    // Runs net-snmp's snmptrap (or `program`, e.g. snmpinform) with
    // `arguments` (MIB loading off, its state in this environment). Empty when
    // it succeeded, else what went wrong.
    QString snmptrap(const QStringList &arguments,
                     const QString &program = QStringLiteral("snmptrap")) const {
        QProcess sender;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MIBS"), QString());
        env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), snmpDir());
        env.insert(QStringLiteral("SNMPCONFPATH"), snmpDir());
        sender.setProcessEnvironment(env);
        sender.setProcessChannelMode(QProcess::MergedChannels);
        sender.start(program, QStringList{QStringLiteral("-m"), QString()} + arguments);
        if (!sender.waitForStarted(10000))
            return program + QStringLiteral(" could not be started (Debian package snmp)");
        if (!sender.waitForFinished(15000) || sender.exitStatus() != QProcess::NormalExit ||
            sender.exitCode() != 0)
            return program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(sender.readAll());
        return {};
    }

private:
    QTemporaryDir m_root;
    QString m_configDir, m_dataDir, m_runtimeDir;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// Number of complete lines (CR LF) in `bytes`.
inline qsizetype lineCount(const QByteArray &bytes) {
    return bytes.count("\r\n");
}

// A fresh environment in `env` with `moreGlobal` in its configuration and a
// live copy started in it (into `live`); `beforeStart` may change its files
// first. The reason when that failed, else empty.
inline QString startFreshLive(std::unique_ptr<QuorvikEnv> &env, QProcess **live,
                              const QByteArray &moreGlobal = {},
                              const std::function<void(const QuorvikEnv &)> &beforeStart = {}) {
    env = std::make_unique<QuorvikEnv>();
    if (!env->isValid())
        return QStringLiteral("no temporary folder for the environment");
    if (!env->writeConfig(moreGlobal))
        return QStringLiteral("cannot write ") + env->configPath();
    if (beforeStart)
        beforeStart(*env);
    return env->startLive(live);
}

} // namespace e2e

// The test's main: a QtTest main that first enters a private network
// namespace where the system allows it (as root), else runs on the machine's
// network, where port 162 must be free and others' datagrams may arrive.
#define E2E_TEST_MAIN(TestObject)                                                                  \
    int main(int argc, char *argv[]) {                                                             \
        const QString network = e2e::enterPrivateNetwork();                                        \
        QCoreApplication app(argc, argv);                                                          \
        if (!network.isEmpty())                                                                    \
            qWarning("e2e: no private network namespace (%s); using the machine's network",        \
                     qPrintable(network));                                                         \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

// Skips the whole test where port 162 can't be bound, saying why.
#define E2E_REQUIRE_TRAP_PORT()                                                                    \
    do {                                                                                           \
        QString why_;                                                                              \
        if (!e2e::mayBindTrapPort(e2e::quorvikBinary(), &why_))                                    \
            QSKIP(qPrintable(why_));                                                               \
        QVERIFY2(QFileInfo(e2e::quorvikBinary()).isExecutable(),                                   \
                 qPrintable(QStringLiteral("no program at ") + e2e::quorvikBinary()));             \
    } while (false)

// Before each test: port 162 must be free of every other program.
#define E2E_REQUIRE_FREE_TRAP_PORT()                                                               \
    QVERIFY2(e2e::waitForFreeTrapPort(),                                                           \
             "UDP port 162 is held by another program; stop it before running the e2e tests")
