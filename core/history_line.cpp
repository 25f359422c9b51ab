// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/history_line.h"

#include "core/event.h"
#include "core/log_file.h"
#include "core/text_rules.h"

#include <cstdint>
#include <cstring>

namespace quorvik {

namespace {

// foldAscii by table: the search's inner loop.
constexpr std::array<unsigned char, 256> kFolded = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[std::size_t(c)] = static_cast<unsigned char>(foldAscii(static_cast<char>(c)));
    return table;
}();

constexpr unsigned char fold(char c) {
    return kFolded[static_cast<unsigned char>(c)];
}

// Eight bytes at a time: most lines are plain ASCII and all of it is read.
bool isAscii(std::string_view text) {
    std::size_t k = 0;
    for (; k + 8 <= text.size(); k += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + k, 8);
        if (word & 0x8080808080808080ULL)
            return false;
    }
    for (; k < text.size(); ++k)
        if (static_cast<unsigned char>(text[k]) >= 0x80)
            return false;
    return true;
}

// A cut may have split the last UTF-8 character: its first bytes go.
void dropSplitCharacter(std::string &text) {
    std::size_t lead = text.size();
    while (lead > 0 && text.size() - lead < 4 &&
           (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80)
        --lead;
    if (lead == 0)
        return;
    const auto first = static_cast<unsigned char>(text[--lead]);
    const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (text.size() - lead < length)
        text.resize(lead);
}

} // namespace

std::string_view levelLetterOf(std::string_view levelName) {
    if (levelName == "Trap")
        return "X";
    if (levelName == "Unknown")
        return {};
    return levelName.substr(0, 1);
}

HistoryLineFilter::HistoryLineFilter(HistoryFilter filter, WideSearch wideSearch)
    : m_filter(std::move(filter)), m_wideSearch(std::move(wideSearch)) {
    for (const char c : m_filter.search)
        m_folded += static_cast<char>(fold(c));
    m_asciiSearch = isAscii(m_folded);
    m_dateTest = !(m_filter.from.isZero() || (m_filter.from <= toDateTime(kNoLowerBound) &&
                                              toDateTime(kNoUpperBound) <= m_filter.to));
    // Horspool's shifts over the folded search text.
    const std::size_t n = m_folded.size();
    m_skip.fill(n);
    for (std::size_t k = 0; k + 1 < n; ++k)
        m_skip[static_cast<unsigned char>(m_folded[k])] = n - 1 - k;
}

bool HistoryLineFilter::passesDate(std::string_view line) const {
    if (!m_dateTest)
        return true;
    const std::size_t first = line.find(';');
    if (first == std::string_view::npos)
        return false;
    const std::size_t second = line.find(';', first + 1);
    if (second == std::string_view::npos)
        return false;
    const auto date = readDateTime(line.substr(first + 1, second - first - 1));
    return date && m_filter.from <= *date && *date <= m_filter.to;
}

// Horspool's search, on local copies the compiler can keep in registers.
bool HistoryLineFilter::containsAscii(std::string_view line) const {
    const std::size_t n = m_folded.size();
    if (line.size() < n)
        return false;
    const auto *text = reinterpret_cast<const unsigned char *>(line.data());
    const auto *needle = reinterpret_cast<const unsigned char *>(m_folded.data());
    const std::size_t *skip = m_skip.data();
    const unsigned char last = needle[n - 1];
    for (std::size_t at = 0, end = line.size() - n; at <= end;) {
        const unsigned char c = kFolded[text[at + n - 1]];
        if (c == last) {
            std::size_t k = n - 1;
            while (k > 0 && kFolded[text[at + k - 1]] == needle[k - 1])
                --k;
            if (k == 0)
                return true;
        }
        at += skip[c];
    }
    return false;
}

bool HistoryLineFilter::contains(std::string_view line) const {
    if (line.empty())
        return false;
    if (m_folded.empty())
        return true;
    if (!m_wideSearch)
        return containsAscii(line);
    // A match of ASCII bytes is a match however the rest decodes.
    if (m_asciiSearch && containsAscii(line))
        return true;
    if (m_asciiSearch && isAscii(line))
        return false;
    return m_wideSearch(line, m_filter.search);
}

// The search first: it is the cheaper test, and it rejects most lines.
bool HistoryLineFilter::passes(std::string_view line) const {
    return contains(line) && passesDate(line);
}

bool HistoryLineFilter::accept(std::string_view line,
                               std::array<std::string_view, 6> &fields) const {
    if (!passes(line))
        return false;
    fields = splitLogFields(line);
    return fields[0] != "Level";
}

const Level &replayedLevel(std::string_view levelName) {
    const std::string_view letter = levelLetterOf(levelName);
    return letter.empty() ? trapLevel() : levelForLetter(letter);
}

bool hasLogFields(std::string_view line) {
    std::size_t separators = 0;
    for (std::size_t at = line.find(';'); at != std::string_view::npos && separators < 5;
         at = line.find(';', at + 1))
        ++separators;
    return separators == 5;
}

Event unsplitLineEvent(std::string_view line, bool cut) {
    Event record = replayedEvent({"", "", "", "", "", line}, cut);
    record.level = &unknownLevel();
    return record;
}

Event replayedEvent(const std::array<std::string_view, 6> &fields, bool cut) {
    Event record;
    record.level = &replayedLevel(fields[0]);
    record.date = fields[1];
    record.host = fields[2];
    record.application = fields[3];
    record.object = fields[4];
    record.message = fields[5];
    if (cut) {
        dropSplitCharacter(record.message);
        record.message += kEllipsis;
    }
    return record;
}

} // namespace quorvik
