// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The history rules on any bytes: the date-time reader, the case-free
// search and the replay of a log line.
//  - a date-time read and shown again reads back to the same value, and the
//    completed upper bound never lies before it;
//  - the search finds exactly what a plain search over ASCII-folded texts
//    finds;
//  - a replayed line keeps its fields as logged, and for fields the
//    parser leaves alone it is what the live intake reads from the tagged
//    message those fields came from.
#include "check.h"
#include "core/event.h"
#include "core/history_line.h"
#include "core/log_file.h"

#include <cstddef>
#include <cstdint>

using namespace quorvik;

namespace {

std::string folded(std::string_view text) {
    std::string result(text);
    for (char &c : result)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return result;
}

void checkDateTime(std::string_view text) {
    const auto value = readDateTime(text);
    if (!value)
        return;
    const std::string shown = showDateTime(*value);
    const auto again = readDateTime(shown);
    FUZZ_CHECK(again && *again == *value);
    FUZZ_CHECK(completeUpperBound(*value) >= *value);
}

void checkSearch(std::string_view search, std::string_view line) {
    const HistoryLineFilter filter({DateTime{}, DateTime{}, std::string(search)});
    const bool expected = !line.empty() && folded(line).find(folded(search)) != std::string::npos;
    FUZZ_CHECK(filter.passes(line) == expected);
}

// Fields that the parser gives back as they are: no tag or "_" inside, no
// leading blank (dropped where a field ends at the next tag).
bool plainField(std::string_view field) {
    return field.find('$') == std::string_view::npos && field.find('_') == std::string_view::npos &&
           (field.empty() || field.front() != ' ');
}

// The tagged message a log line's fields came from: "$LEVL$:" and the level
// letter when there is one, then each non-empty field behind its tag.
std::string taggedMessage(const std::array<std::string_view, 6> &fields) {
    std::string message;
    const std::string_view letter = levelLetterOf(fields[0]);
    if (!letter.empty())
        message.append(kLevelTag).append(letter);
    for (std::size_t k = 0; k < kFieldTags.size(); ++k)
        if (!fields[k + 1].empty())
            message.append(kFieldTags[k]).append(fields[k + 1]);
    return message;
}

void checkReplay(std::string_view line) {
    const HistoryLineFilter filter({DateTime{}, DateTime{}, {}});
    std::array<std::string_view, 6> fields;
    const bool accepted = filter.accept(line, fields);
    FUZZ_CHECK(accepted == (!line.empty() && splitLogFields(line)[0] != "Level"));
    if (!accepted)
        return;
    const LocalDateTime now{2026, 12, 7, 20, 41, 5};
    const Event replayed = replayedEvent(fields);
    const auto values = replayed.fields();
    for (std::size_t k = 0; k < values.size(); ++k)
        FUZZ_CHECK(*values[k] == fields[k + 1]);
    for (std::string_view field : fields)
        if (!plainField(field))
            return;
    // For plain fields the replayed event is what the intake reads from the
    // tagged message.
    const Event parsed = parseEventMessage(taggedMessage(fields), "", now);
    FUZZ_CHECK(parsed.level == replayed.level);
    const auto read = parsed.fields();
    for (std::size_t k = 0; k + 1 < read.size(); ++k)
        FUZZ_CHECK(*read[k] == *values[k] || (k == 0 && fields[1].empty()));
    FUZZ_CHECK(fields[5].empty() || parsed.message == replayed.message);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    checkDateTime(input);
    checkReplay(input);
    if (!input.empty()) {
        const std::size_t n =
            std::min<std::size_t>(static_cast<unsigned char>(input[0]) % 16, input.size() - 1);
        checkSearch(input.substr(1, n), input.substr(1 + n));
    }
    return 0;
}
