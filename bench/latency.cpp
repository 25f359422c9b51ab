// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_latency: how late a lone event reaches the main window's tables,
// and how fast the window answers during a flood.
//
//   bench_latency [--count N] [--rate R]
//   bench_latency --flood R [--seconds S] [--ini FILE] [--sounds 1]
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
// milliseconds.
//
// With --flood, the live copy (its road on a thread of its own) takes S
// seconds (default 20) of tagged texts at R per second, cycling the levels,
// with FILE's sections added to its configuration ([Rules] with a program,
// say). Every 100 ms a probe thread posts a call to the window and times its
// turn: "answer: n=... p50=... p99=... max=... ms". --sounds 1 gives every
// level a sound, played through the real sound gate and Qt Multimedia into
// a null sink of a private PulseAudio started for the run. Also printed:
// the log's lines of the flood against those sent, the process's CPU per
// event, and the most programs (child processes) seen running at once.
// A measurement, not a test.

#include "../tests/wave_file.h"
#include "alerts/sound.h"
#include "alerts/sound_gate.h"
#include "app/live_session.h"
#include "options.h"
#include "ui/profile_store.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>

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
    double flood = 0; // events/s; 0: lone-event mode
    double seconds = 20;
    std::string ini;
    bool sounds = false;
};

[[noreturn]] void usage(const char *why) {
    std::fprintf(stderr,
                 "bench_latency: %s\nusage: bench_latency [--count N] [--rate R]\n"
                 "       bench_latency --flood R [--seconds S] [--ini FILE] [--sounds 1]\n",
                 why);
    std::exit(2);
}

Options parse(int argc, char **argv) {
    Options o;
    takeOptions(argc, argv, usage, [&o](std::string_view key, const char *value) {
        if (key == "--count")
            o.count = std::atoi(value);
        else if (key == "--rate")
            o.rate = std::atof(value);
        else if (key == "--flood")
            o.flood = std::atof(value);
        else if (key == "--seconds")
            o.seconds = std::atof(value);
        else if (key == "--ini")
            o.ini = value;
        else if (key == "--sounds")
            o.sounds = std::atoi(value) != 0;
        else
            return false;
        return true;
    });
    if (o.count <= 0 || o.rate <= 0 || o.flood < 0 || o.seconds <= 0)
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

// A UDP socket and the address of `port` on loopback.
int loopbackSender(quint16 port, sockaddr_in &to) {
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::socket(AF_INET, SOCK_DGRAM, 0);
}

// Sends text `i` as "... lone event #i at <send time in ns>", paced by the clock.
void sendPaced(quint16 port, const Options &o, const std::atomic<bool> &stop) {
    sockaddr_in to{};
    const int fd = loopbackSender(port, to);
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

// Tagged texts "flood #i" at `rate` per second, cycling the levels, in
// bunches every 10 ms; `sent` counts them.
void sendFlood(quint16 port, const Options &o, const std::atomic<bool> &stop,
               std::atomic<int> &sent) {
    sockaddr_in to{};
    const int fd = loopbackSender(port, to);
    const auto start = Clock::now();
    const int total = int(o.flood * o.seconds);
    for (int tick = 1; sent < total && !stop; ++tick) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * tick));
        const int due = std::min(total, int(o.flood * 0.01 * tick));
        for (int i = sent; i < due; ++i) {
            const std::string text = std::string("$LEVL$:") + "EPCAWIN"[i % 7] +
                                     "$HOST$:flood$SOURCE$:bench$MSG$:flood #" + std::to_string(i);
            ::sendto(fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr *>(&to),
                     sizeof to);
        }
        sent = due;
    }
    ::close(fd);
}

// Child processes of this process now: the programs rules started.
int runningChildren() {
    int children = 0;
    const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs);
    for (const QString &task : tasks) {
        QFile file(QStringLiteral("/proc/self/task/%1/children").arg(task));
        if (file.open(QIODevice::ReadOnly))
            children += int(file.readAll().split(' ').count()) - 1;
    }
    return children;
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A private PulseAudio with a null sink, its socket in `runtime`; this
// process's sounds go there.
bool startAudioServer(QProcess &audio, const QString &runtime) {
    QDir().mkpath(runtime);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    qputenv("HOME", runtime.toLocal8Bit());
    audio.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    audio.start(QStringLiteral("pulseaudio"),
                {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                 QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--log-level=error"),
                 QStringLiteral("--load=module-null-sink sink_name=bench_null"),
                 QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1")});
    if (!audio.waitForStarted(10000))
        return false;
    for (int i = 0; i < 100 && !QFile::exists(runtime + QStringLiteral("/pulse/native")); ++i)
        QThread::msleep(100);
    return QFile::exists(runtime + QStringLiteral("/pulse/native"));
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

// A live copy's configuration in `dir`: its log there, no popup, and `more`.
quorvik::LiveSessionConfig liveConfig(const QTemporaryDir &dir, const QByteArray &more) {
    quorvik::LiveSessionConfig config;
    config.profilePath = dir.filePath(QStringLiteral("quorvik.cfg"));
    config.defaultLogFile = dir.filePath(QStringLiteral("quorvik.log"));
    config.liveLockPath = dir.filePath(QStringLiteral("live.lock"));
    config.udpPort = freeUdpPort();
    QFile profile(config.profilePath);
    if (!dir.isValid() || !profile.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "bench_latency: cannot write a profile in a temporary folder\n");
        std::exit(1);
    }
    profile.write("[Global]\r\nLogfile=" + config.defaultLogFile.toLocal8Bit() +
                  "\r\nPopuplevel=0\r\n" + more);
    return config;
}

bool startSession(quorvik::LiveSession &session, const quorvik::LiveSessionConfig &config) {
    if (!session.start(
            quorvik::Profile::parse(quorvik::ProfileStore(config.profilePath).content())))
        return false;
    session.window().show();
    return true;
}

int runFlood(const Options &o, QApplication &app) {
    QTemporaryDir dir;
    QByteArray more;
    QProcess audio;
    if (o.sounds) {
        if (!startAudioServer(audio, dir.filePath(QStringLiteral("run")))) {
            std::fprintf(stderr, "bench_latency: pulseaudio did not start\n");
            return 1;
        }
        const QString wave = dir.filePath(QStringLiteral("tone.wav"));
        QFile file(wave);
        if (!file.open(QIODevice::WriteOnly) || file.write(quorvik::testing::waveFile(0.2)) < 0)
            return 1;
        more += "[Sound]\r\n";
        for (int level = 0; level < quorvik::kLevelCount; ++level)
            more += "S" + QByteArray::number(level) + "=" + QFile::encodeName(wave) + "\r\n";
    }
    if (!o.ini.empty()) {
        QFile file(QString::fromStdString(o.ini));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "bench_latency: cannot read %s\n", o.ini.c_str());
            return 1;
        }
        more += file.readAll().replace("\r\n", "\n").replace("\n", "\r\n");
    }
    SilentBoxes boxes;
    SilentSounds silent;
    quorvik::SoundGate gate;
    quorvik::LiveSessionConfig config = liveConfig(dir, more);
    config.boxes = &boxes;
    config.sounds = o.sounds ? static_cast<quorvik::SoundPlayer *>(&gate) : &silent;
    quorvik::LiveSession session(config);
    if (!startSession(session, config))
        return 1;

    std::vector<double> answers;
    std::atomic<int> sent = 0, mostChildren = 0;
    std::atomic<bool> stop = false;
    const double cpuBefore = cpuSeconds();
    std::thread sender(sendFlood, config.udpPort, std::cref(o), std::cref(stop), std::ref(sent));
    // Posts a call to the window every 100 ms and times its turn; looks for
    // running programs every 10 ms.
    const int ownChildren = runningChildren(); // the audio server
    std::thread probe([&] {
        for (int tick = 0; tick < int(o.seconds * 100) && !stop; ++tick) {
            QThread::msleep(10);
            mostChildren = std::max(mostChildren.load(), runningChildren() - ownChildren);
            if (tick % 10 != 0)
                continue;
            const std::int64_t posted = nowNs();
            QMetaObject::invokeMethod(
                &session.window(),
                [&answers, posted] { answers.push_back(double(nowNs() - posted) / 1e6); },
                Qt::QueuedConnection);
        }
        // Behind the last probe's call, and after the log's last batch.
        QThread::sleep(2);
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    // Bounded: whatever happens, the run ends.
    QTimer::singleShot(int(o.seconds * 1000) + 60000, &app, &QCoreApplication::quit);
    app.exec();
    const double cpu = cpuSeconds() - cpuBefore;
    stop = true;
    sender.join();
    probe.join();

    const QByteArray log = [&] {
        QFile file(config.defaultLogFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const int logged = int(log.count("flood #"));
    printDelays("answer", answers, int(o.seconds * 10));
    if (o.sounds) {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"),
                    {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("clients")});
        pactl.waitForFinished(5000);
        std::printf("audio server clients (quorvik's sound player among them): %d\n",
                    int(pactl.readAllStandardOutput().count('\n')));
        audio.terminate();
        audio.waitForFinished(5000);
    }
    const QLabel *notRun = session.window().findChild<QLabel *>(QStringLiteral("notRunCount"));
    std::printf("log: %d of %d sent; cpu: %.2f s, %.1f us an event; programs at once: at most "
                "%d; not run: %s\n",
                logged, sent.load(), cpu, cpu / std::max(1, sent.load()) * 1e6, mostChildren.load(),
                notRun && !notRun->isHidden() ? qPrintable(notRun->text()) : "none");
    return logged == sent ? 0 : 1;
}

int main(int argc, char **argv) {
    const Options o = parse(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (o.flood > 0)
        return runFlood(o, app);

    QTemporaryDir dir;
    SilentBoxes boxes;
    SilentSounds sounds;
    quorvik::LiveSessionConfig config = liveConfig(dir, {});
    config.boxes = &boxes;
    config.sounds = &sounds;
    // The road on the window's thread, so that the slot below runs once the
    // batch is in the tables.
    config.roadThread = false;
    quorvik::LiveSession session(config);
    quorvik::MainWindow &window = session.window();
    if (!startSession(session, config))
        return 1;

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
    // A full table tells of new rows as a shift.
    for (int i = 0; i <= quorvik::kLevelCount; ++i) {
        quorvik::EventTable *table =
            i == quorvik::kLevelCount
                ? fullList
                : window.findChild<quorvik::EventGrid *>(QStringLiteral("MSFlexGrid1_%1").arg(i))
                      ->table();
        QObject::connect(table, &QAbstractItemModel::rowsInserted, &window, viewed);
        QObject::connect(table, &quorvik::EventTable::rowsShifted, &window, viewed);
    }

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
