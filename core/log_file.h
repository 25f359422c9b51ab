// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "event.h"
#include "text_file.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quorvik {

inline constexpr std::string_view kLogHeader = "Level;Date;Processor;Application;Object;Message";
inline constexpr std::string_view kLogLineEnd = "\r\n";

// One event as a log line: the log label, then the five fields joined by
// ";", ended by CR LF. So that one event stays one line of six fields, a CR
// or LF in any field and a ";" in any field but the message (the last one)
// are written as their visible codes, "[U+000D]", "[U+000A]", "[U+003B]";
// nothing else is quoted or escaped.
std::string formatLogLine(const Event &record);
// The same line appended to `lines`, which the road fills for a whole batch.
void appendLogLine(std::string &lines, const Event &record);

// The six fields of one log line (without its line end) as views into
// `line`, split at the first five ";" so that a ";" in the message survives.
// A line with fewer than five ";" gives empty fields at the end.
std::array<std::string_view, 6> splitLogFields(std::string_view line);

// Writes the header line into a new or empty file; a file with content is
// left as it is.
FileResult createLogFileWithHeader(const std::string &path);

} // namespace quorvik
