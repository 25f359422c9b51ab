// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A real rsyslogd for the tests: started as an ordinary process with its own
// configuration and work folder, listening on one UDP, TCP or TLS port and
// writing every message it receives to a file, one line each, with the
// fields it parsed. Also the CA and the server certificates for TLS, made
// with openssl when asked for.
//
// Both programs are started with posix_spawn, not QProcess: ThreadSanitizer's
// runtime (clang 14) aborts when a threaded program forks, and the forwarder's
// tests run under it.
#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace forwardtest {

// A program started with posix_spawnp, its standard output and error going
// to `output`; killed when the test process dies (setpriv --pdeathsig).
class SpawnedProcess {
public:
    SpawnedProcess() = default;
    ~SpawnedProcess() { stop(); }
    SpawnedProcess(const SpawnedProcess &) = delete;
    SpawnedProcess &operator=(const SpawnedProcess &) = delete;

    // Empty when started, else why not.
    QString start(const QStringList &command, const QString &output,
                  const QString &workingDirectory = {}) {
        QStringList full = {QStringLiteral("setpriv"), QStringLiteral("--pdeathsig"),
                            QStringLiteral("KILL"), QStringLiteral("--")};
        full << command;
        std::vector<QByteArray> bytes;
        for (const QString &argument : full)
            bytes.push_back(argument.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &argument : bytes)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const QByteArray outputPath = output.toLocal8Bit();
        const QByteArray directory = workingDirectory.toLocal8Bit();
        if (!directory.isEmpty())
            posix_spawn_file_actions_addchdir_np(&actions, directory.constData());
        posix_spawn_file_actions_addopen(&actions, 1, outputPath.constData(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const int error = posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) {
            m_pid = 0;
            return QStringLiteral("cannot start %1: %2")
                .arg(command.first(), QString::fromLocal8Bit(strerror(error)));
        }
        m_status = -1;
        return {};
    }

    bool running() {
        if (m_pid == 0)
            return false;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = 0;
            m_status = status;
            return false;
        }
        return true;
    }

    // Waits up to `timeoutMs` for the end; its exit code, or -1.
    int wait(int timeoutMs) {
        QDeadlineTimer deadline(timeoutMs);
        while (running() && !deadline.hasExpired())
            QTest::qWait(10);
        if (running())
            return -1;
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }

    // SIGTERM, as the system stops it; SIGKILL when it does not end.
    void stop() {
        if (!running())
            return;
        ::kill(m_pid, SIGTERM);
        if (wait(10000) == -1 && running()) {
            ::kill(m_pid, SIGKILL);
            wait(10000);
        }
    }

private:
    pid_t m_pid = 0;
    int m_status = -1;
};

// The fields rsyslog parsed from each message, "|" between them.
inline const char *const kFieldsTemplate =
    "%pri%|%timereported:::date-rfc3339%|%hostname%|%app-name%|%procid%|%msgid%|"
    "%structured-data%|%msg%\\n";

class Rsyslog {
public:
    enum class Input { Udp, Tcp, Tls };

    // Works in `dir`, made when missing.
    explicit Rsyslog(const QString &dir) : m_dir(dir) { QDir().mkpath(dir); }
    ~Rsyslog() { stop(); }
    Rsyslog(const Rsyslog &) = delete;
    Rsyslog &operator=(const Rsyslog &) = delete;

    QString receivedPath() const { return m_dir + QStringLiteral("/received.log"); }
    QList<QByteArray> received() const {
        QFile file(receivedPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = file.readAll().split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    // Starts rsyslogd on `port`; for TLS with `certificate` (the base name
    // of a pair made by makeCertificate). Empty when it listens, else why
    // not. `rules`, when given, replace the ruleset that writes the file:
    // the input then feeds the default ruleset.
    QString start(Input input, quint16 port, const QString &certificate = {},
                  const QString &rules = {}) {
        m_input = input;
        m_port = port;
        m_certificate = certificate;
        m_rules = rules;
        return restart();
    }

    QString restart() {
        const QString work = m_dir + QStringLiteral("/work");
        QDir().mkpath(work);
        QString config = QStringLiteral("global(workDirectory=\"%1\"").arg(work);
        if (m_input == Input::Tls)
            config += QStringLiteral(" defaultNetstreamDriverCAFile=\"%1/ca.pem\""
                                     " defaultNetstreamDriverCertFile=\"%1/%2.pem\""
                                     " defaultNetstreamDriverKeyFile=\"%1/%2-key.pem\"")
                          .arg(m_dir, m_certificate);
        config += QStringLiteral(")\n");
        const QString ruleset = m_rules.isEmpty() ? QStringLiteral(" ruleset=\"out\"") : QString();
        if (m_input == Input::Udp)
            config += QStringLiteral("module(load=\"imudp\")\n"
                                     "input(type=\"imudp\" port=\"%1\"%2)\n")
                          .arg(m_port)
                          .arg(ruleset);
        else
            config +=
                QStringLiteral("module(load=\"imtcp\"%1)\n"
                               "input(type=\"imtcp\" port=\"%2\"%3)\n")
                    .arg(m_input == Input::Tls ? QStringLiteral(" streamDriver.name=\"gtls\" "
                                                                "streamDriver.mode=\"1\" "
                                                                "streamDriver.authMode=\"%1\"")
                                                     .arg(m_authMode)
                                               : QString())
                    .arg(m_port)
                    .arg(ruleset);
        config += QStringLiteral("template(name=\"fields\" type=\"string\" string=\"%1\")\n")
                      .arg(QLatin1String(kFieldsTemplate));
        if (m_rules.isEmpty())
            config += QStringLiteral("ruleset(name=\"out\") {\n"
                                     "  action(type=\"omfile\" file=\"%1\" template=\"fields\")\n"
                                     "}\n")
                          .arg(receivedPath());
        else
            config += m_rules;
        const QString configPath = m_dir + QStringLiteral("/rsyslog.conf");
        QFile file(configPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(config.toUtf8()) < 0)
            return QStringLiteral("cannot write ") + configPath;
        file.close();

        m_process = std::make_unique<SpawnedProcess>();
        const QString started = m_process->start(
            {QStringLiteral("rsyslogd"), QStringLiteral("-n"), QStringLiteral("-f"), configPath,
             QStringLiteral("-i"), m_dir + QStringLiteral("/rsyslogd.pid")},
            outputPath());
        if (!started.isEmpty())
            return started + QStringLiteral(" (Debian packages rsyslog, rsyslog-gnutls)");
        // A cold start of the TLS driver takes its time on a busy machine.
        const bool listening = waitUntil([&] { return listens() || !running(); }, 30000);
        if (!listening || !running())
            return QStringLiteral("rsyslogd is not listening on %1: %2")
                .arg(m_port)
                .arg(QString::fromLocal8Bit(readAll(outputPath())));
        return {};
    }

    // Stops it the way the system does (SIGTERM) and waits for the end.
    void stop() {
        if (m_process)
            m_process->stop();
    }

    // "x509/certvalid": TLS clients must show a certificate of the CA.
    void setAuthMode(const QString &mode) { m_authMode = mode; }

    bool running() const { return m_process && m_process->running(); }

    // A CA (ca.pem) and a server certificate `name`.pem / `name`-key.pem for
    // the DNS name `host` and 127.0.0.1, signed by it. Empty when done.
    QString makeCertificate(const QString &name, const QString &host) {
        if (!QFile::exists(m_dir + QStringLiteral("/ca.pem"))) {
            const QString error =
                openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt",
                         "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "ca-key.pem", "-out",
                         "ca.pem", "-days", "2", "-subj", "/CN=Quorvik test CA"});
            if (!error.isEmpty())
                return error;
        }
        QFile ext(m_dir + QStringLiteral("/") + name + QStringLiteral(".ext"));
        if (!ext.open(QIODevice::WriteOnly) ||
            ext.write(QStringLiteral("subjectAltName=DNS:%1\n").arg(host).toUtf8()) < 0)
            return QStringLiteral("cannot write ") + ext.fileName();
        ext.close();
        QString error =
            openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                     "-keyout", name + "-key.pem", "-out", name + ".csr", "-subj", "/CN=" + host});
        if (error.isEmpty())
            error = openssl({"x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey",
                             "ca-key.pem", "-CAcreateserial", "-out", name + ".pem", "-days", "2",
                             "-extfile", name + ".ext"});
        return error;
    }

    template <class Condition> static bool waitUntil(Condition condition, int timeoutMs) {
        QDeadlineTimer deadline(timeoutMs);
        while (!condition()) {
            if (deadline.hasExpired())
                return condition();
            QTest::qWait(20);
        }
        return true;
    }

private:
    // Whether a socket is bound to the port (UDP, or TCP listening); a
    // client's socket that only sends to it does not count.
    bool listens() const {
        const QByteArray port =
            ':' + QByteArray::number(m_port, 16).rightJustified(4, '0').toUpper();
        for (const char *table :
             {"/proc/net/udp", "/proc/net/udp6", "/proc/net/tcp", "/proc/net/tcp6"}) {
            QFile file(QString::fromLatin1(table));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const bool tcp = QByteArray(table).contains("tcp");
            for (const QByteArray &line : file.readAll().split('\n')) {
                const QList<QByteArray> fields = line.simplified().split(' ');
                // sl local_address rem_address st ...; 0A is LISTEN
                if (fields.size() > 3 && fields[1].endsWith(port) && (!tcp || fields[3] == "0A"))
                    return true;
            }
        }
        return false;
    }

    QString openssl(const QStringList &arguments) {
        SpawnedProcess process;
        const QString output = m_dir + QStringLiteral("/openssl.out");
        QString error =
            process.start(QStringList{QStringLiteral("openssl")} + arguments, output, m_dir);
        if (error.isEmpty() && process.wait(30000) != 0)
            error = QStringLiteral("openssl %1 failed: %2")
                        .arg(arguments.first(), QString::fromLocal8Bit(readAll(output)));
        return error;
    }

    QString outputPath() const { return m_dir + QStringLiteral("/rsyslogd.out"); }

    static QByteArray readAll(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString m_dir;
    Input m_input = Input::Udp;
    quint16 m_port = 0;
    QString m_certificate, m_rules;
    QString m_authMode = QStringLiteral("anon");
    std::unique_ptr<SpawnedProcess> m_process;
};

// The rsyslog configuration the README at `readmePath` shows under "Many
// desktops": the relay to the consoles 192.0.2.10 and 192.0.2.11.
inline QString readmeRelay(const QString &readmePath) {
    QFile file(readmePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString readme = QString::fromUtf8(file.readAll());
    const qsizetype section = readme.indexOf(QStringLiteral("\n## Many desktops\n"));
    const qsizetype start = readme.indexOf(QStringLiteral("```text\n"), section);
    const qsizetype end = readme.indexOf(QStringLiteral("\n```\n"), start);
    if (section < 0 || start < 0 || end < 0)
        return {};
    return readme.mid(start + 8, end - start - 8) + QLatin1Char('\n');
}

} // namespace forwardtest
