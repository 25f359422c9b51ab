// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/log_file.h"

#include "core/text_rules.h"
#include "core/visible_text.h"

#include <cerrno>
#include <cstdio>

namespace quorvik {

namespace {

// Writes `text` into the file when it is new or empty; a file with content
// is left as it is.
FileResult writeIntoEmpty(const std::string &path, const std::string &text) {
    std::FILE *file = std::fopen(path.c_str(), "ab");
    if (!file)
        return {errorText(errno)};
    // Unbuffered: one write of the whole line, and no buffer to set up for
    // a file that is closed again at once.
    std::setvbuf(file, nullptr, _IONBF, 0);
    std::string error;
    bool write = true;
    if (std::fseek(file, 0, SEEK_END) != 0)
        error = errorText(errno);
    else
        write = std::ftell(file) == 0;
    if (error.empty() && write && std::fwrite(text.data(), 1, text.size(), file) != text.size())
        error = errorText(errno);
    if (std::fclose(file) != 0 && error.empty())
        error = errorText(errno);
    return {error};
}

// A line break would end the event's line, a ";" before the message would
// shift the columns: such characters are written as their visible codes.
// One pass over the field, as every event's log line goes through here.
void appendLogField(std::string &line, std::string_view field, bool separatorCoded) {
    std::size_t plain = 0;
    for (std::size_t at = 0; at < field.size(); ++at) {
        const char c = field[at];
        if (c != '\r' && c != '\n' && (c != ';' || !separatorCoded))
            continue;
        line.append(field.data() + plain, at - plain);
        line += visibleCode(static_cast<unsigned char>(c));
        plain = at + 1;
    }
    line.append(field.data() + plain, field.size() - plain);
}

} // namespace

void appendLogLine(std::string &lines, const Event &record) {
    const Level &level = record.level ? *record.level : unknownLevel();
    lines += level.logLabel();
    const auto fields = record.fields();
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const bool message = k + 1 == fields.size();
        appendLogField(lines, *fields[k], !message);
        if (!message)
            lines += ';';
    }
    lines += kLogLineEnd;
}

std::string formatLogLine(const Event &record) {
    std::string line;
    appendLogLine(line, record);
    return line;
}

std::array<std::string_view, 6> splitLogFields(std::string_view line) {
    std::array<std::string_view, 6> fields;
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
        const std::size_t separator = line.find(';');
        if (separator == std::string_view::npos) {
            fields[i] = line;
            return fields;
        }
        fields[i] = line.substr(0, separator);
        line.remove_prefix(separator + 1);
    }
    fields.back() = line;
    return fields;
}

FileResult createLogFileWithHeader(const std::string &path) {
    return writeIntoEmpty(path, std::string(kLogHeader) + std::string(kLogLineEnd));
}

} // namespace quorvik
