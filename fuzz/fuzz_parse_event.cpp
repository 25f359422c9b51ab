// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Checks parseEventMessage against the literal tag-by-tag rules and against
// invariants every record keeps.
#include "check.h"
#include "core/event.h"

#include <cstddef>
#include <cstdint>

using namespace quorvik;

namespace {

const LocalDateTime kNow{2026, 12, 7, 20, 41, 5};
constexpr std::string_view kSender = "192.0.2.7";

std::string dropLeadingBlanks(const std::string &value) {
    const std::size_t first = value.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : value.substr(first);
}

// The field rules step by step: raw value, one cut per tag in order, then
// underscores.
std::string referenceField(std::string_view text, std::string_view tag) {
    const std::size_t at = text.find(tag);
    if (at == std::string_view::npos)
        return {};
    std::string value(text.substr(at + tag.size()));
    for (std::string_view other : kFieldTags) {
        const std::size_t q = value.find(other);
        if (q != std::string::npos)
            value = dropLeadingBlanks(value.substr(0, q));
    }
    bool replaced = false;
    for (char &c : value) {
        if (c == '_') {
            c = ' ';
            replaced = true;
        }
    }
    return replaced ? dropLeadingBlanks(value) : value;
}

bool containsFieldTag(std::string_view value) {
    for (std::string_view tag : kFieldTags) {
        if (value.find(tag) != std::string_view::npos)
            return true;
    }
    return false;
}

void checkLevel(std::string_view text, const Level *level) {
    FUZZ_CHECK(level != nullptr);
    FUZZ_CHECK(level->index >= 0 && level->index < kLevelCount);
    const std::size_t at = text.find(kLevelTag);
    if (at == std::string_view::npos)
        FUZZ_CHECK(level == &trapLevel());
    else
        FUZZ_CHECK(level == &levelForLetter(text.substr(at + kLevelTag.size(), 1)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const Event record = parseEventMessage(text, kSender, kNow);
    checkLevel(text, record.level);

    FUZZ_CHECK(record.application == referenceField(text, kFieldTags[2]));
    FUZZ_CHECK(record.object == referenceField(text, kFieldTags[3]));
    const std::string date = referenceField(text, kFieldTags[0]);
    FUZZ_CHECK(record.date == (date.empty() ? formatGeneratedDate(kNow) : date));
    const std::string processor = referenceField(text, kFieldTags[1]);
    FUZZ_CHECK(record.host == (processor.empty() ? std::string(kSender) : processor));

    const std::string message = referenceField(text, kFieldTags[4]);
    if (!message.empty())
        FUZZ_CHECK(record.message == message);
    else if (text.find(kSysDescrMarker) == std::string_view::npos)
        FUZZ_CHECK(record.message.empty());
    else // the sysDescr value: a piece of the datagram as it is
        FUZZ_CHECK(text.find(record.message) != std::string_view::npos);
    for (const std::string *field : {&record.application, &record.object})
        FUZZ_CHECK(!containsFieldTag(*field) && field->find('_') == std::string::npos);
    return 0;
}
