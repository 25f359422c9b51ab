// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/event.h"

#include "core/ber_length.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace quorvik {

namespace {

std::string_view dropLeadingBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

// The level letter: the one character after the first level tag; a text
// without the tag is a trap.
const Level &levelOf(std::string_view text) {
    const std::size_t at = text.find(kLevelTag);
    if (at == std::string_view::npos)
        return trapLevel();
    return levelForLetter(text.substr(at + kLevelTag.size(), 1));
}

// Where each field tag first occurs (npos when absent). Every tag starts
// with '$': one pass over the '$' signs of the text finds them all.
using TagStarts = std::array<std::size_t, kFieldTags.size()>;

TagStarts firstFieldTags(std::string_view text) {
    TagStarts first;
    first.fill(std::string_view::npos);
    std::size_t missing = first.size();
    for (std::size_t at = text.find('$'); at != std::string_view::npos && missing > 0;
         at = text.find('$', at + 1))
        for (std::size_t k = 0; k < kFieldTags.size(); ++k)
            if (first[k] == std::string_view::npos && text.substr(at).starts_with(kFieldTags[k])) {
                first[k] = at;
                --missing;
            }
    return first;
}

// The earliest field tag that starts at `from` or later; npos when none.
std::size_t nextFieldTag(std::string_view text, std::size_t from) {
    for (std::size_t at = text.find('$', from); at != std::string_view::npos;
         at = text.find('$', at + 1))
        for (std::string_view tag : kFieldTags)
            if (text.substr(at).starts_with(tag))
                return at;
    return std::string_view::npos;
}

// The text after the first occurrence of field tag `k`, up to the earliest
// field tag after it. Leading blanks go only when such a cut happened.
std::string_view cutFieldValue(std::string_view text, const TagStarts &first, std::size_t k) {
    if (first[k] == std::string_view::npos)
        return {};
    const std::size_t start = first[k] + kFieldTags[k].size();
    const std::size_t cut = nextFieldTag(text, start);
    if (cut == std::string_view::npos)
        return text.substr(start);
    return dropLeadingBlanks(text.substr(start, cut - start));
}

// Every "_" becomes a blank; when one was replaced, leading blanks go.
std::string replaceUnderscores(std::string_view value) {
    std::string result(value);
    bool replaced = false;
    for (char &c : result) {
        if (c == '_') {
            c = ' ';
            replaced = true;
        }
    }
    if (!replaced)
        return result;
    return std::string(dropLeadingBlanks(result));
}

} // namespace

std::string sysDescrOf(std::string_view text) {
    const std::size_t marker = text.find(kSysDescrMarker);
    if (marker == std::string_view::npos)
        return {};
    const std::size_t lengthAt = marker + kSysDescrMarker.size();
    if (lengthAt >= text.size())
        return {};
    if (const std::optional<BerLength> ber = readBerLength(text, lengthAt))
        return std::string(text.substr(ber->contentAt, ber->length));
    return std::string(text.substr(lengthAt + 1));
}

Event parseEventMessage(std::string_view text, std::string_view sender, const LocalDateTime &now) {
    Event record;
    record.level = &levelOf(text);
    std::array<std::string *, 5> fields = {&record.date, &record.host, &record.application,
                                           &record.object, &record.message};
    const TagStarts first = firstFieldTags(text);
    for (std::size_t k = 0; k < kFieldTags.size(); ++k)
        *fields[k] = replaceUnderscores(cutFieldValue(text, first, k));
    if (record.host.empty())
        record.host = std::string(sender);
    if (record.message.empty())
        record.message = sysDescrOf(text);
    if (record.date.empty())
        record.date = formatGeneratedDate(now);
    return record;
}

bool hasTags(std::string_view text) {
    if (text.find(kLevelTag) != std::string_view::npos)
        return true;
    const TagStarts first = firstFieldTags(text);
    return std::any_of(first.begin(), first.end(),
                       [](std::size_t at) { return at != std::string_view::npos; });
}

std::string formatGeneratedDate(const LocalDateTime &when) {
    const auto fits = [](int value, int limit) { return value >= 0 && value < limit; };
    if (fits(when.day, 100) && fits(when.month, 100) && fits(when.year, 10000) &&
        fits(when.hour, 100) && fits(when.minute, 100) && fits(when.second, 100)) {
        // Written digit by digit: this runs for every received event.
        std::string text = "00.00.0000 00:00:00";
        const auto put = [&text](std::size_t at, int value, int digits) {
            for (int i = digits - 1; i >= 0; --i, value /= 10)
                text[at + std::size_t(i)] = char('0' + value % 10);
        };
        put(0, when.day, 2);
        put(3, when.month, 2);
        put(6, when.year, 4);
        put(11, when.hour, 2);
        put(14, when.minute, 2);
        put(17, when.second, 2);
        return text;
    }
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d %02d:%02d:%02d", when.day, when.month,
                  when.year, when.hour, when.minute, when.second);
    return buffer;
}

} // namespace quorvik
