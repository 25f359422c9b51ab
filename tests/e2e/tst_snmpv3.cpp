// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// SNMPv3 traps from net-snmp's snmptrap into the real program: users of the
// configuration without an engine ID learn each sender's engine, a user with
// one refuses the others, and every refused message is a rejection row at
// most once a minute per sender and reason.
#include "quorvik_process.h"

#include <QtTest>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <thread>

namespace {

const QStringList kAuths = {"MD5", "SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"};
const QStringList kPrivs = {"none", "DES", "AES", "AES-256"};
const QString kAuthPass = QStringLiteral("auth-secret-1");
const QString kPrivPass = QStringLiteral("priv-secret-1");
const QString kFixedEngine = QStringLiteral("0x80001F8880C0FFEE0001");

QString userName(const QString &auth, const QString &priv) {
    return auth + QLatin1Char('-') + priv;
}

// One [SNMPv3] entry, number n.
QByteArray userEntry(int n, const QString &name, const QString &auth, const QString &priv,
                     const QString &engine = {}) {
    const QByteArray k = QByteArray::number(n);
    QByteArray entry = "User" + k + "=" + name.toUtf8() + "\r\nAuth" + k + "=" +
                       auth.toLower().toUtf8() + "\r\nAuthPass" + k + "=" + kAuthPass.toUtf8() +
                       "\r\nPriv" + k + "=" + priv.toUtf8() + "\r\nPrivPass" + k + "=" +
                       kPrivPass.toUtf8() + "\r\n";
    if (!engine.isEmpty())
        entry += "Engine" + k + "=" + engine.toUtf8() + "\r\n";
    return entry;
}

QByteArray usersSection() {
    QByteArray section = "[SNMPv3]\r\n";
    int n = 1;
    for (const QString &auth : kAuths)
        for (const QString &priv : kPrivs)
            section += userEntry(n++, userName(auth, priv), auth, priv);
    section +=
        userEntry(n++, QStringLiteral("plain"), QStringLiteral("none"), QStringLiteral("none"));
    section += userEntry(n++, QStringLiteral("fixed"), QStringLiteral("SHA-256"),
                         QStringLiteral("AES"), kFixedEngine);
    section +=
        userEntry(n++, QStringLiteral("short"), QStringLiteral("SHA"), QStringLiteral("none"))
            .replace(kAuthPass.toUtf8(), "1234567");
    section +=
        userEntry(n++, QStringLiteral("plain"), QStringLiteral("MD5"), QStringLiteral("none"));
    return section;
}

// snmptrap's arguments for a linkDown trap of `user` from engine `engine`.
QStringList v3Trap(const QString &user, const QString &auth, const QString &priv,
                   const QString &engine, const QString &authPass = kAuthPass,
                   const QString &privPass = kPrivPass) {
    QStringList arguments = {QStringLiteral("-v"), QStringLiteral("3"),
                             QStringLiteral("-u"), user,
                             QStringLiteral("-e"), engine};
    if (auth == QLatin1String("none"))
        arguments << QStringLiteral("-l") << QStringLiteral("noAuthNoPriv");
    else if (priv == QLatin1String("none"))
        arguments << QStringLiteral("-l") << QStringLiteral("authNoPriv") << QStringLiteral("-a")
                  << auth << QStringLiteral("-A") << authPass;
    else
        arguments << QStringLiteral("-l") << QStringLiteral("authPriv") << QStringLiteral("-a")
                  << auth << QStringLiteral("-A") << authPass << QStringLiteral("-x") << priv
                  << QStringLiteral("-X") << privPass;
    return arguments + QStringList{QStringLiteral("127.0.0.1:162"),
                                   QString(),
                                   QStringLiteral("1.3.6.1.6.3.1.1.5.3"),
                                   QStringLiteral("1.3.6.1.2.1.2.2.1.1.2"),
                                   QStringLiteral("i"),
                                   QStringLiteral("2"),
                                   QStringLiteral("1.3.6.1.2.1.2.2.1.7.2"),
                                   QStringLiteral("i"),
                                   QStringLiteral("1"),
                                   QStringLiteral("1.3.6.1.2.1.2.2.1.8.2"),
                                   QStringLiteral("i"),
                                   QStringLiteral("2")};
}

const QByteArray kLinkDown = "Trap;{DATE};127.0.0.1;;;IF-MIB::linkDown ifIndex.2=2 "
                             "ifAdminStatus.2=up ifOperStatus.2=down\r\n";

const QByteArray kColdStart = "Trap;{DATE};127.0.0.1;;;SNMPv2-MIB::coldStart\r\n";

QByteArray rejected(const QByteArray &reason) {
    return "Trap;{DATE};127.0.0.1;;;SNMPv3 message rejected: " + reason + "\r\n";
}

// Whether a datagram is an SNMPv3 message with the privacy flag: its
// msgFlags after the version, message id and maximum size.
bool encrypted(const unsigned char *m, std::size_t size) {
    std::size_t at = 1;
    const auto overLength = [&] {
        if (at >= size)
            return false;
        at += (m[at] & 0x80) != 0 ? 1 + (m[at] & 0x7F) : 1;
        return at + 2 < size;
    };
    const auto overInteger = [&] {
        if (m[at] != 0x02)
            return false;
        at += 2 + std::size_t(m[at + 1]);
        return at + 2 < size;
    };
    if (size < 2 || m[0] != 0x30 || !overLength() || !overInteger() || m[at++] != 0x30 ||
        !overLength() || !overInteger() || !overInteger())
        return false;
    return m[at] == 0x04 && m[at + 1] == 0x01 && (m[at + 2] & 0x02) != 0;
}

// Passes datagrams between one sender and port 162, and loses the first
// encrypted answer on the way back: the Response to an authPriv inform (the
// Reports before it are not encrypted). The sender then sends the inform again.
class LossyProxy {
public:
    LossyProxy() {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof local;
        ::bind(m_near, reinterpret_cast<sockaddr *>(&local), sizeof local);
        ::getsockname(m_near, reinterpret_cast<sockaddr *>(&local), &length);
        m_port = ntohs(local.sin_port);
        local.sin_port = htons(e2e::kTrapPort);
        ::connect(m_far, reinterpret_cast<sockaddr *>(&local), sizeof local);
        m_thread = std::thread([this] { run(); });
    }
    ~LossyProxy() {
        m_stop = true;
        m_thread.join();
        ::close(m_near);
        ::close(m_far);
    }
    LossyProxy(const LossyProxy &) = delete;
    LossyProxy &operator=(const LossyProxy &) = delete;

    quint16 port() const { return m_port; }
    int lost() const { return m_lost; }

private:
    void run() {
        sockaddr_storage sender{};
        socklen_t senderLength = 0;
        std::vector<unsigned char> buffer(65536);
        pollfd sockets[2] = {{m_near, POLLIN, 0}, {m_far, POLLIN, 0}};
        while (!m_stop) {
            if (::poll(sockets, 2, 50) <= 0)
                continue;
            if ((sockets[0].revents & POLLIN) != 0) {
                senderLength = sizeof sender;
                const ssize_t n = ::recvfrom(m_near, buffer.data(), buffer.size(), 0,
                                             reinterpret_cast<sockaddr *>(&sender), &senderLength);
                if (n > 0)
                    ::send(m_far, buffer.data(), std::size_t(n), 0);
            }
            if ((sockets[1].revents & POLLIN) != 0) {
                const ssize_t n = ::recv(m_far, buffer.data(), buffer.size(), 0);
                if (n <= 0 || (m_lost == 0 && encrypted(buffer.data(), std::size_t(n)) && ++m_lost))
                    continue;
                ::sendto(m_near, buffer.data(), std::size_t(n), 0,
                         reinterpret_cast<sockaddr *>(&sender), senderLength);
            }
        }
    }

    int m_near = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int m_far = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_lost{0};
    std::thread m_thread;
};

} // namespace

class Snmpv3Test : public QObject {
    Q_OBJECT

private:
    QByteArray configLine(const QByteArray &start) const {
        for (const QByteArray &line : m_env->config().split('\n'))
            if (line.startsWith(start))
                return line.trimmed();
        return {};
    }
    static QStringList inform() {
        return {QStringLiteral("-v"),
                QStringLiteral("3"),
                QStringLiteral("-u"),
                QStringLiteral("SHA-256-AES"),
                QStringLiteral("-l"),
                QStringLiteral("authPriv"),
                QStringLiteral("-a"),
                QStringLiteral("SHA-256"),
                QStringLiteral("-A"),
                kAuthPass,
                QStringLiteral("-x"),
                QStringLiteral("AES"),
                QStringLiteral("-X"),
                kPrivPass,
                QStringLiteral("-r"),
                QStringLiteral("0"),
                QStringLiteral("-t"),
                QStringLiteral("10"),
                QStringLiteral("127.0.0.1:162"),
                QString(),
                QStringLiteral("1.3.6.1.6.3.1.1.5.1")};
    }

    std::unique_ptr<e2e::QuorvikEnv> m_env;
    QProcess *m_live = nullptr;

    // Sends with snmptrap and, after a marker note, expects exactly the
    // `expected` lines between.
    void expectLines(const QList<QStringList> &sends, const QList<QByteArray> &expected,
                     const QString &program = QStringLiteral("snmptrap")) {
        const QByteArray before = m_env->log();
        const QDateTime from = QDateTime::currentDateTime();
        for (const QStringList &arguments : sends) {
            const QString sent = m_env->snmptrap(arguments, program);
            QVERIFY2(sent.isEmpty(), qPrintable(sent));
        }
        static int marker = 0;
        const QByteArray note = "mark " + QByteArray::number(++marker);
        QVERIFY2(m_env->logsNote(note), qPrintable(e2e::QuorvikEnv::describe(m_live)));
        const QByteArray now = m_env->log();
        QVERIFY(now.startsWith(before));
        QList<QByteArray> lines = now.mid(before.size()).split('\n');
        lines.removeLast(); // after the last line end
        lines.removeLast(); // the marker
        QCOMPARE(lines.size(), expected.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString diff = e2e::compareLogLine(lines[i] + '\n', expected[i], from,
                                                     QDateTime::currentDateTime());
            QVERIFY2(diff.isEmpty(), qPrintable(diff));
        }
    }

private slots:
    void initTestCase() {
        E2E_REQUIRE_TRAP_PORT();
        E2E_REQUIRE_FREE_TRAP_PORT();
        const QString error = e2e::startFreshLive(
            m_env, &m_live, "\r\n" + usersSection(), [](const e2e::QuorvikEnv &env) {
                ::chmod(QFile::encodeName(env.configPath()).constData(), 0644);
            });
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void cleanupTestCase() { m_env.reset(); }

    // The unusable entries are skipped, naming their keys and never a
    // password: a short password, a name that an earlier entry has. The
    // configuration others could read (0644) was made the owner's alone at
    // start, so no warning about it is left standing.
    void startUpNotices() {
        QVERIFY(e2e::waitFor(
            [&] { return m_live->peek(1 << 16).contains("is shorter than 8 characters"); }, 10000));
        const QByteArray output = m_live->peek(1 << 16);
        QVERIFY2(!output.contains("other users may read"), output.constData());
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(m_env->configPath()).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, 0600u);
        QVERIFY2(output.contains("AuthPass" +
                                 QByteArray::number(kAuths.size() * kPrivs.size() + 3) +
                                 " is shorter than 8 characters"),
                 output.constData());
        const QByteArray last = QByteArray::number(kAuths.size() * kPrivs.size() + 4);
        QVERIFY2(output.contains("SNMPv3 user " + last + " skipped: User" + last +
                                 " repeats \"plain\", the name of user " +
                                 QByteArray::number(kAuths.size() * kPrivs.size() + 1)),
                 output.constData());
        QVERIFY(!output.contains(kAuthPass.toUtf8()) && !output.contains("1234567"));
    }

    void protocols_data() {
        QTest::addColumn<QString>("auth");
        QTest::addColumn<QString>("priv");
        for (const QString &auth : kAuths)
            for (const QString &priv : kPrivs)
                QTest::newRow(qPrintable(userName(auth, priv))) << auth << priv;
        QTest::newRow("noAuthNoPriv") << QStringLiteral("none") << QStringLiteral("none");
    }

    void protocols() {
        QFETCH(QString, auth);
        QFETCH(QString, priv);
        const QString user =
            auth == QLatin1String("none") ? QStringLiteral("plain") : userName(auth, priv);
        expectLines({v3Trap(user, auth, priv, QStringLiteral("0x80001F8880AA000001"))},
                    {kLinkDown});
    }

    // One user without an engine ID, two devices; the user with one refuses
    // a third.
    void enginesLearnedOrFixed() {
        const QString user = userName(QStringLiteral("SHA-256"), QStringLiteral("AES"));
        const QString sha = QStringLiteral("SHA-256"), aes = QStringLiteral("AES");
        expectLines(
            {v3Trap(user, sha, aes, QStringLiteral("0x80001F8880BB000001")),
             v3Trap(user, sha, aes, QStringLiteral("0x80001F8880BB000002")),
             v3Trap(QStringLiteral("fixed"), sha, aes, kFixedEngine),
             v3Trap(QStringLiteral("fixed"), sha, aes, QStringLiteral("0x80001F8880BB000003"))},
            {kLinkDown, kLinkDown, kLinkDown,
             rejected("engine 0x80001F8880BB000003 not accepted for user \"fixed\"")});
    }

    void rejections() {
        const QString user = userName(QStringLiteral("SHA"), QStringLiteral("AES"));
        const QString sha = QStringLiteral("SHA"), aes = QStringLiteral("AES");
        const QString engine = QStringLiteral("0x80001F8880CC000001");
        const QString wrong = QStringLiteral("wrong-password");
        expectLines({v3Trap(user, sha, aes, engine, wrong),
                     v3Trap(user, sha, aes, engine, kAuthPass, wrong),
                     v3Trap(QStringLiteral("bob"), sha, aes, engine),
                     v3Trap(user, sha, QStringLiteral("none"), engine)},
                    {rejected("wrong digest for user \"SHA-AES\""),
                     rejected("decryption failed for user \"SHA-AES\""),
                     rejected("unknown user \"bob\""),
                     rejected("security level authNoPriv not allowed for user \"SHA-AES\"")});
    }

    // The same sender and reason again within the minute: counted, no row.
    void oneRowPerMinute() {
        const QStringList bob =
            v3Trap(QStringLiteral("bob"), QStringLiteral("SHA"), QStringLiteral("AES"),
                   QStringLiteral("0x80001F8880CC000001"));
        const QStringList eve =
            v3Trap(QStringLiteral("eve"), QStringLiteral("SHA"), QStringLiteral("AES"),
                   QStringLiteral("0x80001F8880CC000001"));
        expectLines({bob, bob, eve, bob, eve}, {rejected("unknown user \"eve\"")});
    }

    // snmpinform learns this engine, gets its Response on the first try
    // (no retries), and the inform is one line.
    void informAcknowledgedOnce() {
        expectLines({inform()}, {kColdStart}, QStringLiteral("snmpinform"));
    }

    // snmpinform retries after our Response was lost: the retransmission,
    // protected anew, is answered again but shown and logged once.
    void retransmittedInformShownOnce() {
        LossyProxy proxy;
        QStringList arguments = inform();
        arguments.replace(arguments.indexOf(QStringLiteral("-r")) + 1, QStringLiteral("3"));
        arguments.replace(arguments.indexOf(QStringLiteral("-t")) + 1, QStringLiteral("1"));
        arguments.replace(arguments.indexOf(QStringLiteral("127.0.0.1:162")),
                          QStringLiteral("127.0.0.1:%1").arg(proxy.port()));
        expectLines({arguments}, {kColdStart}, QStringLiteral("snmpinform"));
        QCOMPARE(proxy.lost(), 1);
    }

    // A message that will be refused is never acknowledged, so that its
    // sender knows: an inform below its user's security level, and one of a
    // user limited to another engine, get a Report, and snmpinform fails.
    void refusedInformsNotAcknowledged() {
        const QString engine = QString::fromLatin1(configLine("EngineID=").mid(9));
        QStringList belowLevel = inform();
        belowLevel.replace(belowLevel.indexOf(QStringLiteral("SHA-256-AES")),
                           QStringLiteral("MD5-AES"));
        belowLevel.replace(belowLevel.indexOf(QStringLiteral("authPriv")),
                           QStringLiteral("noAuthNoPriv"));
        QStringList otherEngine = inform();
        otherEngine.replace(otherEngine.indexOf(QStringLiteral("SHA-256-AES")),
                            QStringLiteral("fixed"));
        const QByteArray before = m_env->log();
        const QDateTime from = QDateTime::currentDateTime();
        for (const QStringList &arguments : {belowLevel, otherEngine})
            QVERIFY2(!m_env->snmptrap(arguments, QStringLiteral("snmpinform")).isEmpty(),
                     qPrintable(QStringLiteral("acknowledged: ") + arguments.join(' ')));
        QVERIFY(m_env->logsNote("after the refused informs"));
        const QList<QByteArray> lines = m_env->log().mid(before.size()).split('\n');
        const QList<QByteArray> expected = {
            rejected("security level noAuthNoPriv not allowed for user \"MD5-AES\""),
            rejected("engine " + engine.toLatin1() + " not accepted for user \"fixed\"")};
        QCOMPARE(lines.size(), expected.size() + 2);
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const QString diff = e2e::compareLogLine(lines[i] + '\n', expected[i], from,
                                                     QDateTime::currentDateTime());
            QVERIFY2(diff.isEmpty(), qPrintable(diff));
        }
    }

    // A message for this engine with a boot count not its own is stale.
    void staleMessageRejected() {
        const QString engine = QString::fromLatin1(configLine("EngineID=").mid(9));
        const QString sha = QStringLiteral("SHA-256"), aes = QStringLiteral("AES");
        expectLines({QStringList{QStringLiteral("-Z"), QStringLiteral("7,0")} +
                     v3Trap(QStringLiteral("SHA-256-AES"), sha, aes, engine)},
                    {rejected("outside the time window for user \"SHA-256-AES\"")});
    }

    // Any write of a configuration with users makes it the owner's alone;
    // the engine ID survives a restart, its boot count goes up.
    void restartKeepsEngine() {
        const QByteArray engineLine = configLine("EngineID=");
        QVERIFY2(engineLine.startsWith("EngineID=0x80001F8805") && engineLine.size() == 37,
                 engineLine.constData());
        QCOMPARE(configLine("EngineBoots="), QByteArray("EngineBoots=1"));
        ::kill(pid_t(m_live->processId()), SIGTERM);
        QVERIFY(m_live->waitForFinished(10000));
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(m_env->configPath()).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, 0600u);

        const QString error = m_env->startLive(&m_live);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        // The live copy stores its boot count once it holds the live lock.
        QTRY_COMPARE_WITH_TIMEOUT(configLine("EngineBoots="), QByteArray("EngineBoots=2"), 10000);
        QCOMPARE(configLine("EngineID="), engineLine);
        expectLines({inform()}, {kColdStart}, QStringLiteral("snmpinform"));
    }
};

E2E_TEST_MAIN(Snmpv3Test)
#include "tst_snmpv3.moc"
