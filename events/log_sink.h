// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_sink.h"
#include "core/log_writer.h"

#include <QObject>

#include <functional>
#include <string>

namespace quorvik {

// The log file: a batch's lines in one write. A failing write is told once
// per run of failures (the next needs a success in between), so a full disk
// doesn't bury the operator in messages.
class LogSink : public QObject, public EventSink {
    Q_OBJECT

public:
    explicit LogSink(QObject *parent = nullptr) : QObject(parent) {}

    // The file to append to. Thread-safe: takes effect on the sink's thread
    // before the next batch.
    void setPath(const std::string &path);
    void take(const EventBatch &batch) override;
    // The file could not be made at start and the operator was told: the
    // next failure is part of that run. Call before the road runs.
    void startFailing() { m_failing = true; }

signals:
    // "Cannot write the log file /var/log/quorvik.log: disk full"
    void failed(const QString &text);

private:
    LogWriter m_writer;
    std::string m_lines;
    bool m_failing = false;
};

} // namespace quorvik
