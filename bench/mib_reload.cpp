// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_mib_reload: readings of many MIB files again while traps arrive.
//
//   bench_mib_reload --mibs DIR [--files N] [--rate R] [--seconds S]
//
// Generates N MIB modules (default 300; each an enterprise of its own with
// 40 objects, enumerations, a DISPLAY-HINT and a notification) into a
// temporary folder, builds the real live copy offscreen in this process
// (the window, the receiver on a free UDP port, the road on its thread, the
// log) with net-snmp's decoder over DIR (quorvik's own modules) and that
// folder, and sends it SNMPv2c linkDown traps at R a second (default 5,000)
// for S seconds (default 20) over loopback. From the 2nd second to 2 s
// before the end the MIBs are read again, one reading after the other.
// Prints the readings and their times, the traps sent and the lines logged
// (none lost: equal), and how late a 5 ms timer of the window's thread
// fired (the window's answer time) while readings ran and while none did.
// A measurement, not a test.

#include "alerts/sound.h"
#include "app/live_session.h"
#include "options.h"
#include "snmp/net_snmp_decoder.h"
#include "ui/profile_store.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    QString mibs;
    int files = 300;
    double rate = 5000;
    int seconds = 20;
};

[[noreturn]] void usage(const char *why) {
    std::fprintf(stderr,
                 "bench_mib_reload: %s\nusage: bench_mib_reload --mibs DIR [--files N] "
                 "[--rate R] [--seconds S]\n",
                 why);
    std::exit(2);
}

Options parse(int argc, char **argv) {
    Options o;
    takeOptions(argc, argv, usage, [&o](std::string_view key, const char *value) {
        if (key == "--mibs")
            o.mibs = QString::fromLocal8Bit(value);
        else if (key == "--files")
            o.files = std::atoi(value);
        else if (key == "--rate")
            o.rate = std::atof(value);
        else if (key == "--seconds")
            o.seconds = std::atoi(value);
        else
            return false;
        return true;
    });
    if (o.mibs.isEmpty() || o.files <= 0 || o.rate <= 0 || o.seconds < 6)
        usage("bad arguments");
    return o;
}

// Module `n`: enterprise 60000 + n, 40 objects in a table, a textual
// convention with a DISPLAY-HINT, and a notification.
QByteArray generatedMib(int n) {
    const QByteArray name = "BENCH-" + QByteArray::number(n) + "-MIB";
    const QByteArray p = "b" + QByteArray::number(n);
    QByteArray text = name +
                      " DEFINITIONS ::= BEGIN\n"
                      "IMPORTS MODULE-IDENTITY, OBJECT-TYPE, NOTIFICATION-TYPE, Integer32,"
                      " enterprises FROM SNMPv2-SMI\n"
                      "    TEXTUAL-CONVENTION FROM SNMPv2-TC;\n" +
                      p +
                      "MIB MODULE-IDENTITY LAST-UPDATED \"202601010000Z\" ORGANIZATION \"b\""
                      " CONTACT-INFO \"b\" DESCRIPTION \"Generated.\" ::= { enterprises " +
                      QByteArray::number(60000 + n) + " }\n" + p +
                      "Tenths ::= TEXTUAL-CONVENTION DISPLAY-HINT \"d-1\" STATUS current"
                      " DESCRIPTION \"Tenths.\" SYNTAX Integer32\n" +
                      p + "Objects OBJECT IDENTIFIER ::= { " + p + "MIB 1 }\n" + p +
                      "Table OBJECT-TYPE SYNTAX SEQUENCE OF " + p.toUpper() +
                      "Entry MAX-ACCESS not-accessible STATUS current DESCRIPTION \"t\""
                      " ::= { " +
                      p + "Objects 1 }\n" + p + "Entry OBJECT-TYPE SYNTAX " + p.toUpper() +
                      "Entry MAX-ACCESS not-accessible STATUS current DESCRIPTION \"e\""
                      " INDEX { " +
                      p + "Index } ::= { " + p + "Table 1 }\n" + p.toUpper() +
                      "Entry ::= SEQUENCE { " + p + "Index Integer32";
    for (int i = 2; i <= 40; ++i)
        text += ", " + p + "Value" + QByteArray::number(i) + " Integer32";
    text += " }\n" + p +
            "Index OBJECT-TYPE SYNTAX Integer32 (1..100) MAX-ACCESS read-only"
            " STATUS current DESCRIPTION \"i\" ::= { " +
            p + "Entry 1 }\n";
    for (int i = 2; i <= 40; ++i) {
        const QByteArray syntax = i % 3 == 0   ? "INTEGER { up(1), down(2), testing(3) }"
                                  : i % 3 == 1 ? p + "Tenths"
                                               : "Integer32";
        text += p + "Value" + QByteArray::number(i) + " OBJECT-TYPE SYNTAX " + syntax +
                " UNITS \"units\" MAX-ACCESS read-only STATUS current DESCRIPTION \"Value " +
                QByteArray::number(i) + " of the generated module, said at some length.\" ::= { " +
                p + "Entry " + QByteArray::number(i) + " }\n";
    }
    text += p + "Event NOTIFICATION-TYPE OBJECTS { " + p + "Value2, " + p +
            "Value3 } STATUS current DESCRIPTION \"An event.\" ::= { " + p + "MIB 0 1 }\n";
    return text + "END\n";
}

// BER by hand: the linkDown trap bench_sender sends (ifIndex.2,
// ifAdminStatus.2, ifOperStatus.2).
std::string tlv(unsigned char tag, const std::string &content) {
    std::string out(1, char(tag));
    if (content.size() < 0x80) {
        out += char(content.size());
    } else {
        out += char(0x82);
        out += char(content.size() >> 8);
        out += char(content.size() & 0xFF);
    }
    return out + content;
}

std::string oidOf(std::initializer_list<unsigned> subids) {
    auto it = subids.begin();
    const unsigned first = *it++;
    std::string content(1, char(first * 40 + *it++));
    for (; it != subids.end(); ++it)
        content += char(*it); // all below 128 here
    return tlv(0x06, content);
}

std::string linkDown() {
    const auto binding = [](const std::string &name, const std::string &value) {
        return tlv(0x30, name + value);
    };
    const std::string bindings =
        binding(oidOf({1, 3, 6, 1, 2, 1, 1, 3, 0}), tlv(0x43, "\x10\x68")) +
        binding(oidOf({1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}), oidOf({1, 3, 6, 1, 6, 3, 1, 1, 5, 3})) +
        binding(oidOf({1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 2}), tlv(0x02, "\x02")) +
        binding(oidOf({1, 3, 6, 1, 2, 1, 2, 2, 1, 7, 2}), tlv(0x02, "\x01")) +
        binding(oidOf({1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 2}), tlv(0x02, "\x02"));
    const std::string pdu = tlv(0x02, "\x01") + tlv(0x02, std::string(1, '\0')) +
                            tlv(0x02, std::string(1, '\0')) + tlv(0x30, bindings);
    return tlv(0x30, tlv(0x02, "\x01") + tlv(0x04, "public") + tlv(0xA7, pdu));
}

quint16 freeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::perror("bench_mib_reload: no free UDP port");
        std::exit(1);
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

// Sends traps at the rate for the run's time, in slices of 1 ms; the count.
long sendPaced(quint16 port, const Options &o) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string trap = linkDown();
    const auto start = Clock::now();
    const long total = long(o.rate * o.seconds);
    long sent = 0;
    for (int slice = 0; sent < total; ++slice) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(slice));
        const long due = std::min(total, long(o.rate * (slice + 1) / 1000.0));
        for (; sent < due; ++sent)
            ::sendto(fd, trap.data(), trap.size(), 0, reinterpret_cast<const sockaddr *>(&to),
                     sizeof to);
    }
    ::close(fd);
    return sent;
}

void printSpread(const char *name, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%s: none\n", name);
        return;
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&ms](double q) {
        return ms[std::min(ms.size() - 1, std::size_t(q * double(ms.size())))];
    };
    std::printf("%s: n=%zu p50=%.2f p99=%.2f max=%.2f ms\n", name, ms.size(), at(0.5), at(0.99),
                ms.back());
}

class SilentBoxes : public quorvik::MessageBoxes {
public:
    bool askOkCancel(QWidget *, const QString &, const QString &, QMessageBox::Icon) override {
        return true;
    }
    void report(QWidget *, const QString &title, const QString &text, QMessageBox::Icon) override {
        std::fprintf(stderr, "bench_mib_reload: %s: %s\n", qPrintable(title), qPrintable(text));
    }
    void reportAndWait(QWidget *parent, const QString &title, const QString &text,
                       QMessageBox::Icon icon) override {
        report(parent, title, text, icon);
    }
};

class SilentSounds : public quorvik::SoundPlayer {
public:
    void play(const QString &) override {}
};

} // namespace

int main(int argc, char **argv) {
    const Options o = parse(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString mibs = dir.filePath(QStringLiteral("mibs"));
    const QString log = dir.filePath(QStringLiteral("quorvik.log"));
    QFile profile(dir.filePath(QStringLiteral("quorvik.cfg")));
    if (!dir.isValid() || !QDir().mkpath(mibs) || !profile.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "bench_mib_reload: cannot write in a temporary folder\n");
        return 1;
    }
    profile.write("[Global]\r\nLogfile=" + log.toLocal8Bit() + "\r\nPopuplevel=0\r\n");
    profile.close();
    for (int n = 0; n < o.files; ++n) {
        QFile file(mibs + QStringLiteral("/bench-%1.mib").arg(n));
        if (!file.open(QIODevice::WriteOnly) || file.write(generatedMib(n)) < 0)
            return 1;
    }

    quorvik::NetSnmpDecoder decoder(QFile::encodeName(o.mibs).toStdString(),
                                    {QFile::encodeName(mibs).toStdString()});
    QElapsedTimer firstReading;
    firstReading.start();
    const std::shared_ptr<const quorvik::MibTree> first = decoder.mibs();
    std::printf("first reading: %lld ms, %zu modules, %zu failures, %zu nodes\n",
                firstReading.elapsed(), first->modules().size(), first->failures().size(),
                first->size());
    for (const quorvik::MibFailure &failure : first->failures())
        std::printf("  %s\n", failure.reason.c_str());

    SilentBoxes boxes;
    SilentSounds sounds;
    quorvik::LiveSessionConfig config;
    config.profilePath = profile.fileName();
    config.defaultLogFile = log;
    config.liveLockPath = dir.filePath(QStringLiteral("live.lock"));
    config.udpPort = freeUdpPort();
    config.boxes = &boxes;
    config.sounds = &sounds;
    config.trapDecoder = &decoder;
    quorvik::LiveSession session(config);
    if (!session.start(
            quorvik::Profile::parse(quorvik::ProfileStore(profile.fileName()).content())))
        return 1;
    session.window().show();

    // Readings one after the other between the 2nd second and 2 s before
    // the end; the window's thread starts each and takes its end.
    std::atomic<bool> reading = false;
    std::vector<double> readingMs;
    QElapsedTimer run, readingTime;
    run.start();
    const qint64 readUntil = qint64(o.seconds - 2) * 1000;
    const auto readAgain = [&] {
        if (run.elapsed() >= readUntil)
            return;
        reading = true;
        readingTime.start();
        decoder.reloadMibs({QFile::encodeName(mibs).toStdString()});
    };
    decoder.setMibsRead([&](std::shared_ptr<const quorvik::MibTree>) {
        QMetaObject::invokeMethod(
            &app,
            [&] {
                readingMs.push_back(double(readingTime.nsecsElapsed()) / 1e6);
                reading = false;
                readAgain();
            },
            Qt::QueuedConnection);
    });
    QTimer::singleShot(2000, &app, readAgain);

    // The window's answer time: how late a 5 ms timer fires.
    std::vector<double> lateWhileReading, lateOtherwise;
    QElapsedTimer tick;
    tick.start();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, &app, [&] {
        const double late = std::max(0.0, double(tick.nsecsElapsed()) / 1e6 - 5.0);
        tick.start();
        (reading ? lateWhileReading : lateOtherwise).push_back(late);
    });
    probe.start(5);

    long sent = 0;
    std::thread sender([&] { sent = sendPaced(config.udpPort, o); });
    QTimer::singleShot(o.seconds * 1000 + 3000, &app, &QCoreApplication::quit);
    app.exec();
    sender.join();
    decoder.setMibsRead({});

    QFile written(log);
    long lines = -1; // the header
    if (written.open(QIODevice::ReadOnly))
        while (!written.readLine().isEmpty())
            ++lines;
    printSpread("readings", readingMs);
    std::printf("traps sent: %ld, logged: %ld, lost: %ld\n", sent, lines, sent - lines);
    printSpread("window late, while reading", lateWhileReading);
    printSpread("window late, otherwise", lateOtherwise);
    return sent == lines ? 0 : 1;
}
