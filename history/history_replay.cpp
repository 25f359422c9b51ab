// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_replay.h"

#include <QTimer>

namespace quorvik {

namespace {

// The row of replayedEvent(fields, cut), made from the line's bytes at once
// (a line cut for its length, rare, goes the long way). A line that is not
// six fields shows its whole text as the message.
EventRow replayedRow(std::string_view line, const std::array<std::string_view, 6> &fields,
                     bool cut) {
    if (!hasLogFields(line))
        return EventRow(unsplitLineEvent(line, cut));
    if (cut)
        return EventRow(replayedEvent(fields, true));
    return EventRow(replayedLevel(fields[0]),
                    {fields[1], fields[2], fields[3], fields[4], fields[5]});
}

} // namespace

HistoryReplay::HistoryReplay(QObject *parent) : QObject(parent), m_next(new QTimer(this)) {
    m_next->setSingleShot(true);
    m_next->setInterval(0);
    connect(m_next, &QTimer::timeout, this, &HistoryReplay::runSlice);
}

bool HistoryReplay::start(const QString &path, HistoryLineFilter filter) {
    cancel();
    m_error.clear();
    if (!m_reader.open(path.toLocal8Bit().toStdString())) {
        m_error = QString::fromLocal8Bit(m_reader.error().c_str());
        return false;
    }
    m_filter.emplace(std::move(filter));
    m_headerRead = false;
    m_matched = 0;
    m_next->start();
    return true;
}

void HistoryReplay::cancel() {
    if (isRunning())
        finish(Outcome::Cancelled);
}

bool HistoryReplay::isRunning() const {
    return m_filter.has_value();
}

int HistoryReplay::permille() const {
    const std::uint64_t size = m_reader.size();
    return size == 0 ? 1000 : int(std::min<std::uint64_t>(1000, m_reader.position() * 1000 / size));
}

// Hands out the batch; the receiver may cancel the load meanwhile.
void HistoryReplay::flush() {
    if (m_batch.empty())
        return;
    emit rowsReady(m_batch);
    m_batch.clear();
}

void HistoryReplay::runSlice() {
    QElapsedTimer clock;
    clock.start();
    std::array<std::string_view, 6> fields;
    for (unsigned lines = 0; isRunning(); ++lines) {
        const std::optional<std::string_view> line = m_reader.next();
        if (!line) {
            flush();
            if (!isRunning())
                return;
            if (!m_reader.error().empty())
                m_error = QString::fromLocal8Bit(m_reader.error().c_str());
            return finish(m_error.isEmpty() ? Outcome::Completed : Outcome::Failed);
        }
        if (!std::exchange(m_headerRead, true))
            continue; // the header line, whatever it holds
        if (m_filter->accept(*line, fields)) {
            m_batch.push_back(replayedRow(*line, fields, m_reader.cut()));
            ++m_matched;
        }
        if (m_batch.size() >= std::size_t(batchSize))
            flush();
        // The clock is read every few lines: reading it costs as much as a line.
        if (lines % 64 == 0 && clock.elapsed() >= sliceMs) {
            flush();
            if (isRunning()) {
                emit progressed(permille());
                m_next->start();
            }
            return;
        }
    }
}

void HistoryReplay::finish(Outcome outcome) {
    m_next->stop();
    m_reader.close();
    m_filter.reset();
    m_batch.clear();
    emit finished(outcome);
}

} // namespace quorvik
