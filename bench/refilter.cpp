// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Re-filter benchmark: the full list with 100,000 events (hosts, applications
// and messages varied as a busy site's are), then the time the filtered model
// takes to run each query over every row, as typing a new letter does. The
// model filters in slices with the event loop between them: "total" is the
// time until every row is tested, "longest" the longest the window was held
// at a time (the first slice, in setFilter, or one of the later ones). Prints
// the medians of 7 runs per query, in milliseconds, and the rows shown; the
// pasted texts of 1,500 words run once.

#include "core/event.h"
#include "core/level.h"
#include "tables/event_row.h"
#include "tables/event_table.h"
#include "tables/filtered_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace quorvik;

namespace {

constexpr int kRows = 100'000;

EventRow sampleRow(int n) {
    Event record;
    record.level = &levelByIndex(n % kLevelCount);
    record.date =
        "09.12.2026 12:" + std::to_string(10 + n % 50) + ":" + std::to_string(10 + n % 49);
    record.host = "srv" + std::to_string(n % 500);
    record.application = n % 3 ? "backup" : "kernel";
    record.object = "disk_" + std::to_string(n % 16);
    record.message = "event number " + std::to_string(n) + " quota reached on volume";
    return EventRow(record);
}

struct Timing {
    double totalMs;
    double longestMs;
};

double msSince(const std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// One run: setFilter, then the event loop until the last slice is done.
Timing runQuery(FilteredTable &filtered, const std::string &query) {
    filtered.setFilter(EventFilter());
    while (filtered.isFiltering())
        QCoreApplication::processEvents();
    const auto start = std::chrono::steady_clock::now();
    auto turn = start;
    filtered.setFilter(EventFilter(query, shownTextContains));
    double longest = msSince(turn);
    while (filtered.isFiltering()) {
        turn = std::chrono::steady_clock::now();
        QCoreApplication::processEvents();
        longest = std::max(longest, msSince(turn));
    }
    return {msSince(start), longest};
}

Timing medianMs(FilteredTable &filtered, const std::string &query, int count = 7) {
    std::vector<double> totals, longest;
    for (int run = 0; run < count; ++run) {
        const Timing timing = runQuery(filtered, query);
        totals.push_back(timing.totalMs);
        longest.push_back(timing.longestMs);
    }
    std::sort(totals.begin(), totals.end());
    std::sort(longest.begin(), longest.end());
    return {totals[totals.size() / 2], longest[longest.size() / 2]};
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    EventTable table(EventTable::Kind::FullList);
    for (int n = 0; n < kRows; ++n)
        table.insertTop(sampleRow(n));
    table.flushChanges();
    FilteredTable filtered(&table);
    std::printf("re-filter of %d rows, medians of 7 (ms)\n", kRows);
    const auto show = [&filtered](const char *name, const Timing &timing) {
        std::printf("  %-26s total %8.1f ms  longest %6.1f ms  %6d shown\n", name, timing.totalMs,
                    timing.longestMs, filtered.rowCount());
    };
    for (const char *query :
         {"s", "srv42", "host:srv42", "quota -kernel", "msg:\"number 99\"", "nothing-matches-this"})
        show(query, medianMs(filtered, query));
    // Pasted texts of 1,500 words (each word must be found in the row): two
    // words repeated, and 1,500 different words that every row passes (words
    // found nowhere, each excluded), so each row pays for every word.
    std::string repeated, different;
    for (int w = 0; w < 1500; ++w) {
        repeated += w % 2 ? "quota " : "event ";
        different += "-absent" + std::to_string(w) + ' ';
    }
    show("1,500 words, 2 repeated", medianMs(filtered, repeated, 1));
    show("1,500 different words", medianMs(filtered, different, 1));
    return 0;
}
