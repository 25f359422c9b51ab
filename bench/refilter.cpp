// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Re-filter benchmark: the full list with 100,000 events (hosts, applications
// and messages varied as a busy site's are), then the time the filtered model
// takes to run each query over every row, as typing a new letter does. Prints
// the median of 7 runs per query, in milliseconds, and the rows shown; a
// pasted text of 1,500 words runs once.

#include "core/event.h"
#include "core/level.h"
#include "tables/event_row.h"
#include "tables/event_table.h"
#include "tables/filtered_table.h"

#include <QCoreApplication>

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

double medianMs(FilteredTable &filtered, const char *query, int count = 7) {
    std::vector<double> runs;
    for (int run = 0; run < count; ++run) {
        filtered.setFilter(EventFilter());
        const auto start = std::chrono::steady_clock::now();
        filtered.setFilter(EventFilter(query, shownTextContains));
        runs.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    EventTable table(EventTable::Kind::FullList);
    for (int n = 0; n < kRows; ++n)
        table.insertTop(sampleRow(n));
    table.flushChanges();
    FilteredTable filtered(&table);
    std::printf("re-filter of %d rows, median of 7 (ms)\n", kRows);
    for (const char *query : {"s", "srv42", "host:srv42", "quota -kernel", "msg:\"number 99\"",
                              "nothing-matches-this"}) {
        const double ms = medianMs(filtered, query);
        std::printf("  %-22s %8.1f ms  %6d shown\n", query, ms, filtered.rowCount());
    }
    // A pasted text of 1,500 words (each word must be found in the row).
    std::string pasted;
    for (int w = 0; w < 1500; ++w) {
        if (w > 0)
            pasted += ' ';
        pasted += w % 2 ? "quota" : "event";
    }
    const double ms = medianMs(filtered, pasted.c_str(), 1); // once: it takes long
    std::printf("  %-22s %8.1f ms  %6d shown\n", "1,500 words pasted", ms, filtered.rowCount());
    return 0;
}
