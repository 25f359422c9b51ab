// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Splits program lines of any shape: a line either splits into at least one
// word or is refused with a reason; the words, each quoted again, split back
// into the same words; and expanding placeholders with values of any shape
// keeps one argument per word and the JSON a single line.
#include "check.h"
#include "core/program_command.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

using namespace quorvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Event event;
    event.host = input.ConsumeRandomLengthString(64);
    event.message = input.ConsumeRandomLengthString(256);
    event.application = input.ConsumeRandomLengthString(32);
    const std::string line = input.ConsumeRemainingBytesAsString();

    const CommandSplit split = splitCommandLine(line);
    FUZZ_CHECK(split.error.empty() != split.words.empty());
    if (!split.error.empty())
        return 0;
    std::string again;
    for (const std::string &word : split.words)
        again += quotedWord(word) + ' ';
    const CommandSplit back = splitCommandLine(again);
    FUZZ_CHECK(back.error.empty());
    FUZZ_CHECK(back.words == split.words);

    const ProgramValues values = programValues(event, 3, "fuzz");
    const std::vector<std::string> arguments = expandArguments(split.words, values);
    FUZZ_CHECK(arguments.size() == split.words.size());
    // The values never bring a NUL into an argument (no argument can hold one).
    for (std::size_t i = 0; i < arguments.size(); ++i)
        FUZZ_CHECK(arguments[i].find('\0') == std::string::npos ||
                   split.words[i].find('\0') != std::string::npos);
    const std::string json = programJson(values);
    FUZZ_CHECK(json.find('\n') == json.size() - 1);
    return 0;
}
