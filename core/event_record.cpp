#include "core/event_record.h"

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

// The text after the first occurrence of `tag`, up to the earliest field tag
// after it. Leading blanks go only when such a cut happened.
std::string_view cutFieldValue(std::string_view text, std::string_view tag) {
    const std::size_t at = text.find(tag);
    if (at == std::string_view::npos)
        return {};
    std::string_view value = text.substr(at + tag.size());
    std::size_t cut = std::string_view::npos;
    for (std::string_view other : kFieldTags)
        cut = std::min(cut, value.find(other));
    if (cut == std::string_view::npos)
        return value;
    return dropLeadingBlanks(value.substr(0, cut));
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

// The BER length that starts at `at`, and the offset of the value after it;
// nullopt when the length is malformed or doesn't fit into `text`.
struct BerLength {
    std::size_t valueStart;
    std::size_t length;
};

std::optional<BerLength> readBerLength(std::string_view text, std::size_t at) {
    const auto first = static_cast<unsigned char>(text[at]);
    if (first < 0x80)
        return BerLength{at + 1, first};
    const std::size_t count = first & 0x7Fu;
    if (count == 0 || count == 0x7F || count > text.size() - at - 1)
        return std::nullopt;
    std::size_t length = 0;
    for (std::size_t i = 1; i <= count; ++i) {
        length = length * 256 + static_cast<unsigned char>(text[at + i]);
        if (length > text.size())
            return std::nullopt;
    }
    return BerLength{at + 1 + count, length};
}

// The sysDescr string of a binary SNMP message: its BER length when that
// fits into the datagram, else everything after the length byte.
std::string sysDescrOf(std::string_view text) {
    const std::size_t marker = text.find(kSysDescrMarker);
    if (marker == std::string_view::npos)
        return {};
    const std::size_t lengthAt = marker + kSysDescrMarker.size();
    if (lengthAt >= text.size())
        return {};
    const std::optional<BerLength> ber = readBerLength(text, lengthAt);
    if (ber && ber->length <= text.size() - ber->valueStart)
        return std::string(text.substr(ber->valueStart, ber->length));
    return std::string(text.substr(lengthAt + 1));
}

} // namespace

EventRecord parseEventMessage(std::string_view text, std::string_view senderAddress,
                              const LocalDateTime &now) {
    EventRecord record;
    record.level = &levelOf(text);
    std::array<std::string *, 5> fields = {&record.date, &record.processor, &record.application,
                                           &record.object, &record.message};
    for (std::size_t k = 0; k < kFieldTags.size(); ++k)
        *fields[k] = replaceUnderscores(cutFieldValue(text, kFieldTags[k]));
    if (record.processor.empty())
        record.processor = std::string(senderAddress);
    if (record.message.empty())
        record.message = sysDescrOf(text);
    if (record.date.empty())
        record.date = formatGeneratedDate(now);
    return record;
}

std::string formatGeneratedDate(const LocalDateTime &when) {
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d %02d:%02d:%02d", when.day, when.month,
                  when.year, when.hour, when.minute, when.second);
    return buffer;
}

} // namespace quorvik
