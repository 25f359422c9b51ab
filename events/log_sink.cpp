// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "events/log_sink.h"

#include "core/log_file.h"

namespace quorvik {

void LogSink::setPath(const std::string &path) {
    QMetaObject::invokeMethod(this, [this, path] { m_writer.setPath(path); });
}

void LogSink::take(const EventBatch &batch) {
    m_lines.clear();
    for (const Event &event : *batch)
        appendLogLine(m_lines, event);
    const FileResult result = m_writer.append(m_lines);
    if (result.ok()) {
        m_failing = false;
        return;
    }
    if (std::exchange(m_failing, true))
        return;
    emit failed(QStringLiteral("Cannot write the log file %1: %2")
                    .arg(QString::fromLocal8Bit(m_writer.path().c_str()),
                         QString::fromLocal8Bit(result.error.c_str())));
}

} // namespace quorvik
