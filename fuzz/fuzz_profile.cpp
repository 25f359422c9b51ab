// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Reads and writes profile text of any shape: a written key reads back,
// every other key keeps its value, a repeated write changes nothing, and
// the settings stay within their bounds.
#include "check.h"
#include "core/profile.h"
#include "core/settings.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>

using namespace quorvik;

namespace {

// A section or key name: letters and digits, so that it can't be mistaken
// for any other part of a line.
std::string name(FuzzedDataProvider &input) {
    static constexpr std::string_view kChars = "abcGLOBALsound0126Key";
    std::string result(1 + input.ConsumeIntegralInRange<std::size_t>(0, 7), 'a');
    for (char &c : result)
        c = kChars[input.ConsumeIntegralInRange<std::size_t>(0, kChars.size() - 1)];
    return result;
}

// A value that reads back unchanged: no line break, no surrounding blanks or
// tabs, no pair of enclosing quotes, shorter than the read buffer.
std::string value(FuzzedDataProvider &input) {
    std::string result = input.ConsumeRandomLengthString(200);
    result = result.substr(0, result.find_first_of("\r\n"));
    const std::size_t first = result.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    result = result.substr(first, result.find_last_not_of(" \t") - first + 1);
    if (result.size() >= 2 && (result[0] == '"' || result[0] == '\'') && result.back() == result[0])
        result[0] = 'q';
    return result;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

void checkSettings(const Profile &profile) {
    const Settings settings = settingsFromProfile(profile, "/log");
    FUZZ_CHECK(settings.maxLines >= 2);
    FUZZ_CHECK(settings.startTab >= 0 && settings.startTab < kLevelCount);
    for (const std::string &sound : settings.levelSounds)
        FUZZ_CHECK(sound.size() <= 255);
    geometryFromProfile(profile, {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = name(input);
    const std::string key = name(input);
    const std::string written = value(input);
    const std::string otherSection = name(input);
    const std::string otherKey = name(input);
    const std::size_t buffer = input.ConsumeIntegralInRange<std::size_t>(0, 300);
    const std::string content = input.ConsumeRemainingBytesAsString();

    const Profile profile = Profile::parse(content);
    const std::string read = profile.value(section, key, "default", buffer);
    FUZZ_CHECK(read.size() < std::max<std::size_t>(buffer, 1));
    checkSettings(profile);

    const std::string before = profile.value(otherSection, otherKey, "\x01");
    Profile changed = profile;
    changed.setValue(section, key, written);
    const std::string after = changed.text();
    // The changed profile and its rendered text read alike.
    const Profile reread = Profile::parse(after);
    FUZZ_CHECK(changed.value(section, key, "\x01") == written);
    FUZZ_CHECK(reread.value(section, key, "\x01") == written);
    if (!sameName(section, otherSection) || !sameName(key, otherKey))
        FUZZ_CHECK(reread.value(otherSection, otherKey, "\x01") == before);
    Profile again = reread;
    again.setValue(section, key, written);
    FUZZ_CHECK(again.text() == after);
    return 0;
}
