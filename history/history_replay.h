// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/history_line.h"
#include "core/line_reader.h"
#include "tables/event_row.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class QTimer;

namespace quorvik {

// Streams a log file through the history line filter in slices: each slice
// works for at most `sliceMs` and then returns to the event loop, so the
// window stays responsive on a log of any size. The events go out as table
// rows in batches; the file is read through a fixed buffer, never whole.
class HistoryReplay : public QObject {
    Q_OBJECT

public:
    enum class Outcome { Completed, Cancelled, Failed };

    explicit HistoryReplay(QObject *parent = nullptr);

    // Starts reading `path`; a load that is running is cancelled first. False
    // when the file can't be opened (error() says why); nothing runs then.
    bool start(const QString &path, HistoryLineFilter filter);
    // Stops a running load; the batches handed out so far stay handed out.
    void cancel();
    bool isRunning() const;

    const QString &error() const { return m_error; }
    // Share of the file read, 0..1000.
    int permille() const;
    // The lines that passed the filter in the latest load, so far.
    std::uint64_t matched() const { return m_matched; }

    int sliceMs = 25;
    int batchSize = 4096;

signals:
    // The events of the lines that pass, in file order.
    void rowsReady(const std::vector<EventRow> &rows);
    void progressed(int permille);
    void finished(HistoryReplay::Outcome outcome);

private:
    void runSlice();
    void finish(Outcome outcome);
    void flush();

    LineReader m_reader;
    std::optional<HistoryLineFilter> m_filter;
    std::vector<EventRow> m_batch;
    bool m_headerRead = false;
    std::uint64_t m_matched = 0;
    QTimer *m_next = nullptr;
    QString m_error;
};

} // namespace quorvik
