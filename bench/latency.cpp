// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_latency: how late a lone event reaches the main window's tables.
//
//   bench_latency [--count N] [--rate R]
//
// Builds the real MainWindow offscreen in this process, listening on a free
// UDP port, and sends it N tagged texts (default 1,000) at R per second
// (default 10) over loopback from a thread of its own. Each text carries its
// send time (steady clock). Two delays are taken per event:
//   model: send to the window's tables holding the event (the Receiver's
//          datagramsReceived, connected after the window's own slot, so it
//          runs once the window has inserted the batch);
//   view:  send to the table on screen being told of the new row (the
//          tables' rowsInserted at the window's next view refresh).
// Prints one line per delay, "model: n=... p50=... p90=... p99=... max=..." in
// milliseconds. A measurement, not a test.

#include "alerts/sound.h"
#include "app/live_session.h"
#include "options.h"
#include "ui/profile_store.h"

#include <QApplication>
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
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int count = 1000;
    double rate = 10;
};

[[noreturn]] void usage(const char *why) {
    std::fprintf(stderr, "bench_latency: %s\nusage: bench_latency [--count N] [--rate R]\n", why);
    std::exit(2);
}

Options parse(int argc, char **argv) {
    Options o;
    takeOptions(argc, argv, usage, [&o](std::string_view key, const char *value) {
        if (key == "--count")
            o.count = std::atoi(value);
        else if (key == "--rate")
            o.rate = std::atof(value);
        else
            return false;
        return true;
    });
    if (o.count <= 0 || o.rate <= 0)
        usage("bad arguments");
    return o;
}

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// A port that nothing listens on now (the window binds it right after).
quint16 freeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::perror("bench_latency: no free UDP port");
        std::exit(1);
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

// Sends text `i` as "... lone event #i at <send time in ns>", paced by the clock.
void sendPaced(quint16 port, const Options &o, const std::atomic<bool> &stop) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto start = Clock::now();
    const auto period = std::chrono::duration<double>(1.0 / o.rate);
    for (int i = 0; i < o.count && !stop; ++i) {
        std::this_thread::sleep_until(start +
                                      std::chrono::duration_cast<Clock::duration>(period * i));
        const std::string text =
            "trapo$LEVL$:I$HOST$:bench$SOURCE$:latency$DEVC$:probe$MSG$:lone event #" +
            std::to_string(i) + " at " + std::to_string(nowNs());
        ::sendto(fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr *>(&to),
                 sizeof to);
    }
    ::close(fd);
}

// The event number and send time of a text sendPaced made; false for others.
bool readProbe(const std::string &text, int &number, std::int64_t &sentNs) {
    const std::size_t hash = text.rfind('#');
    const std::size_t at = text.rfind(" at ");
    if (hash == std::string::npos || at == std::string::npos || at < hash)
        return false;
    number = std::atoi(text.c_str() + hash + 1);
    sentNs = std::atoll(text.c_str() + at + 4);
    return true;
}

void printDelays(const char *name, std::vector<double> ms, int expected) {
    if (ms.empty()) {
        std::printf("%s: n=0 of %d\n", name, expected);
        return;
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&ms](double q) {
        return ms[std::min(ms.size() - 1, std::size_t(q * double(ms.size())))];
    };
    std::printf("%s: n=%zu of %d p50=%.2f p90=%.2f p99=%.2f max=%.2f ms\n", name, ms.size(),
                expected, at(0.50), at(0.90), at(0.99), ms.back());
}

class SilentBoxes : public quorvik::MessageBoxes {
public:
    bool askOkCancel(QWidget *, const QString &, const QString &, QMessageBox::Icon) override {
        return true;
    }
    void report(QWidget *, const QString &title, const QString &text, QMessageBox::Icon) override {
        std::fprintf(stderr, "bench_latency: %s: %s\n", qPrintable(title), qPrintable(text));
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
    const QString log = dir.filePath(QStringLiteral("quorvik.log"));
    QFile profile(dir.filePath(QStringLiteral("quorvik.cfg")));
    if (!dir.isValid() || !profile.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "bench_latency: cannot write a profile in a temporary folder\n");
        return 1;
    }
    profile.write("[Global]\r\nLogfile=" + log.toLocal8Bit() + "\r\nPopuplevel=0\r\n");
    profile.close();

    SilentBoxes boxes;
    SilentSounds sounds;
    quorvik::LiveSessionConfig config;
    config.profilePath = profile.fileName();
    config.defaultLogFile = log;
    config.liveLockPath = dir.filePath(QStringLiteral("live.lock"));
    config.udpPort = freeUdpPort();
    config.boxes = &boxes;
    config.sounds = &sounds;
    // The road on the window's thread, so that the slot below runs once the
    // batch is in the tables.
    config.roadThread = false;
    quorvik::LiveSession session(config);
    quorvik::MainWindow &window = session.window();
    if (!session.start(
            quorvik::Profile::parse(quorvik::ProfileStore(profile.fileName()).content())))
        return 1;
    window.show();

    std::vector<std::int64_t> sentNs(std::size_t(o.count), -1);
    std::vector<double> modelMs, viewMs;
    std::vector<int> unseen; // taken, the table on screen not told yet
    int lastTaken = -1, notInModel = 0;
    quorvik::EventTable *fullList =
        window.findChild<quorvik::EventGrid *>(QStringLiteral("MSFlexGrid2"))->table();

    // Runs after the window's own slot: the batch is in the tables.
    QObject::connect(&session.receiver(), &quorvik::Receiver::datagramsReceived, &window,
                     [&](const std::vector<quorvik::RawMessage> &batch) {
                         const std::int64_t now = nowNs();
                         for (const quorvik::RawMessage &d : batch) {
                             int n = 0;
                             std::int64_t sent = 0;
                             if (!readProbe(d.bytes, n, sent) || n < 0 || n >= o.count)
                                 continue;
                             sentNs[std::size_t(n)] = sent;
                             modelMs.push_back(double(now - sent) / 1e6);
                             lastTaken = n;
                             unseen.push_back(n);
                         }
                         const QString tag = QStringLiteral("#%1 ").arg(lastTaken);
                         if (!fullList->cellText(1, fullList->messageColumn()).contains(tag))
                             ++notInModel;
                         if (lastTaken == o.count - 1)
                             QTimer::singleShot(500, &app, &QCoreApplication::quit);
                     });
    // The table on screen learns of new rows at the window's view refresh,
    // all rows taken since the last one at once; the other tables only when
    // they are shown, so the first table told is the one on screen.
    const auto viewed = [&] {
        const std::int64_t now = nowNs();
        for (int n : unseen)
            viewMs.push_back(double(now - sentNs[std::size_t(n)]) / 1e6);
        unseen.clear();
    };
    for (int i = 0; i < quorvik::kLevelCount; ++i)
        QObject::connect(
            window.findChild<quorvik::EventGrid *>(QStringLiteral("MSFlexGrid1_%1").arg(i))
                ->table(),
            &QAbstractItemModel::rowsInserted, &window, viewed);
    QObject::connect(fullList, &QAbstractItemModel::rowsInserted, &window, viewed);

    std::atomic<bool> stop = false;
    std::thread sender(sendPaced, config.udpPort, o, std::cref(stop));
    // Bounded: whatever arrives, the run ends.
    QTimer::singleShot(int(double(o.count) / o.rate * 1000) + 5000, &app, &QCoreApplication::quit);
    app.exec();
    stop = true;
    sender.join();

    printDelays("model", modelMs, o.count);
    printDelays("view", viewMs, o.count);
    if (notInModel > 0)
        std::printf("not in the full list when taken: %d batches\n", notInModel);
    return modelMs.size() == std::size_t(o.count) && notInModel == 0 ? 0 : 1;
}
