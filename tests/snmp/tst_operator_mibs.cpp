// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The operator's MIB files: a vendor's trap named by them, the files that
// don't load with their reasons, and a reading again that takes effect while
// decoding goes on. The MIB files are the tests' own (tests/snmp/mibs): an
// enterprise module without a file extension, a module importing it and
// IF-MIB, one that imports a module no file provides, one with a syntax
// error. The trap comes from net-snmp's snmptrap.

#include "snmp/net_snmp_decoder.h"

#include <QtTest>

#include <condition_variable>
#include <future>
#include <mutex>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace quorvik;

namespace {

const std::string kFanFailure = "1.3.6.1.4.1.64999.1.4.0.1";
const std::string kFanEntry = "1.3.6.1.4.1.64999.1.4.1.1.1.";

// What snmptrap sends for fan 3 of interface 3: stopped, at 0 rpm, in air
// of 41.5 degrees.
std::string fanTrap() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return {};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        ::close(fd);
        return {};
    }
    std::vector<std::string> arguments = {"snmptrap",
                                          "-m",
                                          "",
                                          "-v",
                                          "2c",
                                          "-c",
                                          "public",
                                          "127.0.0.1:" + std::to_string(ntohs(address.sin_port)),
                                          "",
                                          kFanFailure,
                                          kFanEntry + "1.3",
                                          "i",
                                          "3",
                                          kFanEntry + "2.3",
                                          "i",
                                          "2",
                                          kFanEntry + "3.3",
                                          "u",
                                          "0",
                                          kFanEntry + "4.3",
                                          "i",
                                          "415",
                                          "1.3.6.1.2.1.2.2.1.1.3",
                                          "i",
                                          "3"};
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    // posix_spawn: ThreadSanitizer's runtime can't follow QProcess's clone().
    pid_t child = 0;
    int status = -1;
    if (::posix_spawnp(&child, "snmptrap", nullptr, nullptr, argv.data(), environ) != 0 ||
        ::waitpid(child, &status, 0) != child || status != 0) {
        ::close(fd);
        return {};
    }
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    ::close(fd);
    return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

const QString kSourceMibs = QStringLiteral(QUORVIK_TEST_MIBS);

bool copyMib(const QString &name, const QString &folder) {
    return QFile::copy(kSourceMibs + QLatin1Char('/') + name, folder + QLatin1Char('/') + name);
}

// The trees the decoder puts in force, as they come.
class Readings {
public:
    explicit Readings(NetSnmpDecoder &decoder) {
        decoder.setMibsRead([this](std::shared_ptr<const MibTree> tree) {
            const std::lock_guard lock(m_mutex);
            m_last = std::move(tree);
            ++m_count;
            m_changed.notify_all();
        });
    }
    int count() {
        const std::lock_guard lock(m_mutex);
        return m_count;
    }
    std::shared_ptr<const MibTree> waitBeyond(int count) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_count > count; });
        return m_last;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::shared_ptr<const MibTree> m_last;
    int m_count = 0;
};

// The reasons given for the files under `folder` (the system's MIB
// directories may hold files that don't load either).
QStringList reasons(const MibTree &tree, const QString &folder) {
    QStringList all;
    for (const MibFailure &failure : tree.failures())
        if (QString::fromStdString(failure.file).startsWith(folder))
            all << QString::fromStdString(failure.reason);
    all.sort();
    return all;
}

QString fileOf(const MibTree &tree, const std::string &module) {
    for (const MibModule &loaded : tree.modules())
        if (loaded.name == module)
            return QString::fromStdString(loaded.file);
    return {};
}

} // namespace

class TestOperatorMibs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void vendorTrapNamed();
    void readingAgainTakesEffect();
    void laterDecoderReadsThemToo();

private:
    QTemporaryDir m_home;
    QString m_own, m_other, m_missing;
    std::unique_ptr<NetSnmpDecoder> m_decoder;
    std::string m_trap;
};

// The operator's folder holds the four files; a second folder, after it,
// an older ACME-FAN-MIB whose status 2 is "stopped"; a third doesn't exist.
void TestOperatorMibs::initTestCase() {
    QVERIFY(m_home.isValid());
    m_own = m_home.filePath(QStringLiteral("mibs"));
    m_other = m_home.filePath(QStringLiteral("vendor"));
    m_missing = m_home.filePath(QStringLiteral("gone"));
    QVERIFY(QDir().mkpath(m_own) && QDir().mkpath(m_other));
    for (const char *name : {"ACME-SMI", "acme-fan.my", "acme-ups.my", "acme-psu.txt"})
        QVERIFY(copyMib(QLatin1String(name), m_own));
    QFile fan(kSourceMibs + QStringLiteral("/acme-fan.my"));
    QVERIFY(fan.open(QIODevice::ReadOnly));
    QFile older(m_other + QStringLiteral("/ACME-FAN-MIB.mib"));
    QVERIFY(older.open(QIODevice::WriteOnly));
    older.write(fan.readAll().replace("failed(2)", "stopped(2)"));
    older.close();
    m_decoder = std::make_unique<NetSnmpDecoder>(
        QUORVIK_MIB_DIR, std::vector<std::string>{m_own.toStdString(), m_other.toStdString(),
                                                  m_missing.toStdString()});
    m_trap = fanTrap();
    QVERIFY(!m_trap.empty());
}

void TestOperatorMibs::vendorTrapNamed() {
    QCOMPARE(m_decoder->decode(m_trap).text,
             std::string("ACME-FAN-MIB::fanFailure fanIndex.3=3 fanStatus.3=failed "
                         "fanSpeed.3=0 rpm fanTemperature.3=41.5 degrees Celsius ifIndex.3=3"));
    const std::shared_ptr<const MibTree> tree = m_decoder->mibs();
    QCOMPARE(fileOf(*tree, "ACME-FAN-MIB"), m_own + QStringLiteral("/acme-fan.my"));
    QCOMPARE(fileOf(*tree, "ACME-SMI"), m_own + QStringLiteral("/ACME-SMI"));
    QCOMPARE(fileOf(*tree, "IF-MIB"), QStringLiteral(QUORVIK_MIB_DIR "/IF-MIB.txt"));
    QCOMPARE(fileOf(*tree, "ACME-UPS-MIB"), QString());
    QCOMPARE(
        reasons(*tree, m_home.path()),
        QStringList({m_missing + QStringLiteral(": the folder can't be read (No such file "
                                                "or directory)"),
                     QStringLiteral("ACME-UPS-MIB (acme-ups.my): imports ACME-GONE-SMI, "
                                    "which no file provides"),
                     QStringLiteral("acme-psu.txt line 28: syntax error near 'OBJECT-TYPE'")}));
    // The trap's description, kept for the details of an event.
    std::size_t depth = 0;
    const unsigned long fanFailure[] = {1, 3, 6, 1, 4, 1, 64999, 1, 4, 0, 1};
    const MibNode *node = tree->naming(fanFailure, std::size(fanFailure), depth);
    QVERIFY(node != nullptr);
    QCOMPARE(node->description, std::string("A fan stopped or is gone."));
}

// The MIBs read again from a folder that lacks the vendor's files, then
// again from one that has them: while net-snmp holds the new MIBs and they
// are not yet in force, messages decode with the tree before (and the
// reader of that tree keeps it); once in force, the same trap is named.
void TestOperatorMibs::readingAgainTakesEffect() {
    Readings readings(*m_decoder);
    QTemporaryDir empty;
    int before = readings.count();
    m_decoder->reloadMibs({empty.path().toStdString()});
    const std::shared_ptr<const MibTree> bare = readings.waitBeyond(before);
    const std::string numbered = m_decoder->decode(m_trap).text;
    QVERIFY2(numbered.starts_with(kFanFailure + ' ' + kFanEntry + "1.3=3 "), numbered.c_str());

    std::promise<void> parsed, release;
    std::shared_future<void> released = release.get_future().share();
    m_decoder->setWhileParsed([&parsed, released] {
        parsed.set_value();
        released.wait();
    });
    QVERIFY(copyMib(QStringLiteral("ACME-SMI"), empty.path()));
    QVERIFY(copyMib(QStringLiteral("acme-fan.my"), empty.path()));
    before = readings.count();
    m_decoder->reloadMibs({empty.path().toStdString()});
    parsed.get_future().wait();
    for (int i = 0; i < 50; ++i)
        QCOMPARE(m_decoder->decode(m_trap).text, numbered);
    QCOMPARE(m_decoder->mibs().get(), bare.get());
    release.set_value();
    const std::shared_ptr<const MibTree> vendor = readings.waitBeyond(before);
    m_decoder->setWhileParsed({});
    m_decoder->setMibsRead({});
    const std::string named = m_decoder->decode(m_trap).text;
    QVERIFY2(named.starts_with("ACME-FAN-MIB::fanFailure fanIndex.3=3 fanStatus.3=failed"),
             named.c_str());
    QCOMPARE(fileOf(*vendor, "ACME-FAN-MIB"), empty.filePath(QStringLiteral("acme-fan.my")));
    QVERIFY(reasons(*vendor, empty.path()).isEmpty());
    QCOMPARE(fileOf(*bare, "ACME-FAN-MIB"), QString());
}

// A decoder made after the first one is gone reads the MIBs as the first
// did (net-snmp is started once a process); a folder whose path holds ':',
// which net-snmp's MIB path can't name, is told as a failure.
void TestOperatorMibs::laterDecoderReadsThemToo() {
    m_decoder.reset();
    const QString colon = m_home.filePath(QStringLiteral("a:b"));
    QVERIFY(QDir().mkpath(colon));
    m_decoder = std::make_unique<NetSnmpDecoder>(
        QUORVIK_MIB_DIR, std::vector<std::string>{colon.toStdString(), m_own.toStdString()});
    const std::string named = m_decoder->decode(m_trap).text;
    QVERIFY2(named.starts_with("ACME-FAN-MIB::fanFailure fanIndex.3=3"), named.c_str());
    QVERIFY(reasons(*m_decoder->mibs(), m_home.path())
                .contains(colon + QStringLiteral(
                                      ": MIBs can't be read from a folder whose path holds ':'")));
}

QTEST_GUILESS_MAIN(TestOperatorMibs)
#include "tst_operator_mibs.moc"
