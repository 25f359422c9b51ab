// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Helper of the history benchmark bench/history. It measures; it is not a
// test.
//
//   bench_history_load generate <lines> <path> [wide]  deterministic log file
//   bench_history_load getline <path>            std::getline + split into six strings
//   bench_history_load load <path> [search] [--max-lines N] [--cancel-after-ms T]
//                                                history load in a real window
//
// "generate ... wide" gives every message words beyond ASCII ("düymesi").
// "load" builds a history window offscreen on the file (default tables,
// MaxLines 1000 or N), ticks "All", types the search text and presses OK, and
// prints the time from the reload's start to the view shown again, the
// longest stretch without a return to the event loop, the rows and VmHWM.
// With --cancel-after-ms it presses the load's Cancel button T ms after OK
// and prints how long that press held the window (cancel_ms) and the longest
// stretch without the event loop in the 5 s after it.
#include "history/history_browser.h"
#include "main_window/main_window.h"
#include "ui/profile_store.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <array>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <string>

namespace {

// 90 bytes a line on average: all seven levels, Trap and Unknown lines,
// dates over 30 days, hosts, applications and objects of realistic length.
int generate(long lines, const char *path, bool wide) {
    std::FILE *out = std::fopen(path, "wb");
    if (!out)
        return 1;
    std::mt19937 random(20261209);
    const char *const levels[] = {"Emergency",   "Panic", "Critical", "Alert",  "Warning",
                                  "Information", "Note",  "Trap",     "Unknown"};
    const char *const apps[] = {"backup", "sshd",  "kernel", "cron",
                                "snmpd",  "nginx", "",       "dbwriter"};
    const char *const words[] = {"disk",  "quota",       "reached", "link",    "down",      "up",
                                 "retry", "timeout",     "volume",  "service", "restarted", "after",
                                 "error", "temperature", "high",    "fan"};
    const char *const wideWords[] = {"düymesi",       "Lüfter",  "Größe", "çalışmıyor",
                                     "überschritten", "Störung", "année", "düzeyi"};
    std::fprintf(out, "Level;Date;Processor;Application;Object;Message\r\n");
    for (long n = 0; n < lines; ++n) {
        const long second = n * (30L * 86400) / lines; // 30 days, in file order
        const int day = 1 + int(second / 86400), hour = int(second / 3600 % 24),
                  minute = int(second / 60 % 60), sec = int(second % 60);
        std::string message;
        const int count = 4 + int(random() % 8);
        for (int w = 0; w < count; ++w) {
            message += wide && w % 2 ? wideWords[random() % 8] : words[random() % 16];
            message += ' ';
        }
        // The search text of the benchmark, in about 1 % of the lines.
        if (random() % 100 == 0)
            message += "Fan-Tray-7 ";
        message += std::to_string(random() % 10000);
        std::fprintf(out, "%s;%02d.11.2026 %02d:%02d:%02d;srv-%03u.example.net;%s;obj%u;%s\r\n",
                     levels[random() % 9], day, hour, minute, sec, unsigned(random() % 200),
                     apps[random() % 8], unsigned(random() % 50), message.c_str());
    }
    return std::fclose(out) == 0 ? 0 : 1;
}

int getlineReference(const char *path) {
    QElapsedTimer clock;
    clock.start();
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::array<std::string, 6> fields;
    long lines = 0, bytes = 0;
    while (std::getline(in, line)) {
        std::size_t from = 0;
        for (std::size_t i = 0; i < 6; ++i) {
            const std::size_t to = i < 5 ? line.find(';', from) : std::string::npos;
            fields[i].assign(line, std::min(from, line.size()),
                             to == std::string::npos ? std::string::npos : to - from);
            from = to == std::string::npos ? line.size() : to + 1;
        }
        bytes += long(fields[5].size());
        ++lines;
    }
    std::printf("getline_ms %lld lines %ld bytes %ld\n", clock.elapsed(), lines, bytes);
    return 0;
}

long vmHwmKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

class NoBoxes : public quorvik::MessageBoxes {
public:
    bool askOkCancel(QWidget *, const QString &, const QString &, QMessageBox::Icon) override {
        return true;
    }
    void report(QWidget *, const QString &, const QString &text, QMessageBox::Icon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    void reportAndWait(QWidget *p, const QString &t, const QString &text,
                       QMessageBox::Icon i) override {
        report(p, t, text, i);
    }
};

struct LoadOptions {
    QString search;
    int maxLines = 1000;
    int cancelAfterMs = -1;
};

int load(int argc, char *argv[], const QString &path, const LoadOptions &options) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("quorvik.cfg")));
    if (!config.open(QIODevice::WriteOnly))
        return 1;
    config.write("[Global]\r\nLogfile=" + QFile::encodeName(path) +
                 "\r\nMaxLines=" + QByteArray::number(options.maxLines) + "\r\n");
    config.close();
    NoBoxes boxes;
    quorvik::MainWindow window({true, config.fileName(), path, &boxes, nullptr});
    window.load(quorvik::Profile::parse(quorvik::ProfileStore(config.fileName()).content()));
    window.show();
    quorvik::HistoryBrowser history(window, {&boxes, nullptr, {}, 300});

    // The longest stretch between two turns of the event loop while loading.
    QElapsedTimer sinceTurn;
    qint64 longest = 0;
    QTimer turn;
    turn.setInterval(0);
    QObject::connect(&turn, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTurn.restart()); });

    QElapsedTimer clock;
    QObject::connect(&history, &quorvik::HistoryBrowser::loadFinished, [&] {
        const qint64 ms = clock.elapsed();
        if (options.cancelAfterMs >= 0)
            return; // measured by the cancel below
        turn.stop();
        int rows = 0;
        const quorvik::EventTable *list =
            window.findChild<quorvik::EventGrid *>(QStringLiteral("MSFlexGrid2"))->table();
        for (int r = 1; r < list->rows(); ++r)
            rows += !list->cellText(r, 0).isEmpty();
        std::printf("load_ms %lld longest_stretch_ms %lld rows %d vmhwm_kib %ld\n", ms, longest,
                    rows, vmHwmKiB());
        app.quit();
    });
    // Once the window is up and painted, as the operator would press OK.
    QTimer::singleShot(1000, [&] {
        quorvik::SearchDialog *dialog = history.searchDialog();
        dialog->allMessagesBox()->click();
        dialog->findChild<QLineEdit *>(QStringLiteral("searchString"))->setText(options.search);
        clock.start();
        sinceTurn.start();
        turn.start();
        dialog->findChild<QPushButton *>(QStringLiteral("btnOK"))->click();
        if (options.cancelAfterMs < 0)
            return;
        QTimer::singleShot(options.cancelAfterMs, [&] {
            auto *cancel = window.findChild<QPushButton *>(QStringLiteral("historyCancel"));
            if (!cancel || !history.replay().isRunning()) {
                std::printf("the load ended before the cancel\n");
                app.quit();
                return;
            }
            const qint64 before = longest;
            QElapsedTimer press;
            press.start();
            cancel->click();
            const qint64 cancelMs = press.elapsed();
            longest = 0;
            sinceTurn.restart();
            QTimer::singleShot(5000, [&, cancelMs, before] {
                turn.stop();
                std::printf("cancel_ms %lld longest_stretch_after_ms %lld "
                            "longest_stretch_before_ms %lld held %d\n",
                            cancelMs, longest, before, window.eventsHeld());
                app.quit();
            });
        });
    });
    return app.exec();
}

} // namespace

int main(int argc, char *argv[]) {
    std::string mode = argc > 2 ? argv[1] : "";
    if (mode == "generate" && (argc == 4 || argc == 5))
        return generate(std::atol(argv[2]), argv[3], argc == 5 && std::string(argv[4]) == "wide");
    if (mode == "getline" && argc == 3)
        return getlineReference(argv[2]);
    if (mode == "load") {
        LoadOptions options;
        bool searchSeen = false;
        for (int k = 3; k < argc; ++k) {
            const std::string arg = argv[k];
            if (arg == "--max-lines" && k + 1 < argc)
                options.maxLines = std::atoi(argv[++k]);
            else if (arg == "--cancel-after-ms" && k + 1 < argc)
                options.cancelAfterMs = std::atoi(argv[++k]);
            else if (!searchSeen && !arg.starts_with("--")) {
                options.search = QString::fromLocal8Bit(argv[k]);
                searchSeen = true;
            } else {
                mode.clear();
            }
        }
        if (!mode.empty())
            return load(argc, argv, QString::fromLocal8Bit(argv[2]), options);
    }
    std::cerr << "usage: bench_history_load generate <lines> <path> [wide] | getline <path> | "
                 "load <path> [search] [--max-lines N] [--cancel-after-ms T]\n";
    return 2;
}
