// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/settings.h"

#include "core/text_rules.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>

namespace quorvik {

namespace {

constexpr std::string_view kNone = "*none";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The length of the run of digits with at most one "." at the start of
// `text`, and whether it holds at least one digit.
std::size_t decimalLength(std::string_view text, bool &hasDigit) {
    std::size_t i = 0;
    bool seenPoint = false;
    hasDigit = false;
    for (; i < text.size(); ++i) {
        if (isDigit(text[i]))
            hasDigit = true;
        else if (text[i] == '.' && !seenPoint)
            seenPoint = true;
        else
            break;
    }
    return i;
}

// The value of an unsigned decimal number text such as "12", "1.5", ".5",
// "3." (locale-independent; out of range gives infinity).
double decimalValue(std::string_view digits) {
    if (digits.back() == '.')
        digits.remove_suffix(1);
    if (digits.empty())
        return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        return std::numeric_limits<double>::infinity();
    return value;
}

std::optional<std::uint64_t> hexValue(std::string_view digits) {
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (result.ec != std::errc{} || result.ptr != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

int intSetting(const Profile &profile, std::string_view key, std::string_view fallback,
               std::size_t bufferSize = 256) {
    return roundHalfEven(leadingNumber(profile.value("Global", key, fallback, bufferSize)));
}

// Whether `text` starts with a number, as leadingNumber reads one.
bool holdsNumber(std::string_view text) {
    text = skipBlanks(text);
    takeSign(text);
    bool hasDigit = false;
    decimalLength(text, hasDigit);
    return hasDigit;
}

std::string quoted(std::string_view text) {
    return '"' + std::string(text) + '"';
}

// A whole number of `section` within low..high: `fallback` when the key is
// missing or holds no number, a number outside the range bounded to it;
// either is named in `problems`.
int boundedNumber(const Profile &profile, std::string_view section, std::string_view key,
                  int fallback, int low, int high, std::vector<std::string> *problems,
                  std::size_t bufferSize = 256) {
    if (!profile.contains(section, key))
        return fallback;
    const std::string text = profile.value(section, key, {}, bufferSize);
    if (!holdsNumber(text)) {
        if (problems)
            problems->push_back(std::string(key) + ": " + quoted(text) + " is not a number; " +
                                std::to_string(fallback) + " is used");
        return fallback;
    }
    const int value = roundHalfEven(leadingNumber(text));
    const int bounded = std::clamp(value, low, high);
    if (bounded != value && problems)
        problems->push_back(
            std::string(key) + ": " + quoted(text) + " is " +
            (value < low ? "below " + std::to_string(low) : "above " + std::to_string(high)) +
            "; " + std::to_string(bounded) + " is used");
    return bounded;
}

// A whole number of [Global] (see boundedNumber).
int boundedSetting(const Profile &profile, std::string_view key, int fallback, int low, int high,
                   std::vector<std::string> *problems, std::size_t bufferSize = 256) {
    return boundedNumber(profile, "Global", key, fallback, low, high, problems, bufferSize);
}

SyslogSettings syslogFromProfile(const Profile &profile, std::vector<std::string> *problems) {
    SyslogSettings syslog;
    syslog.udpPort = boundedNumber(profile, "Syslog", "UDP", syslog.udpPort, 0, 65535, problems);
    syslog.tcpPort = boundedNumber(profile, "Syslog", "TCP", syslog.tcpPort, 0, 65535, problems);
    syslog.tlsPort = boundedNumber(profile, "Syslog", "TLS", syslog.tlsPort, 0, 65535, problems);
    syslog.tlsCertificate = profile.value("Syslog", "TLSCert", {}, 4096);
    syslog.tlsKey = profile.value("Syslog", "TLSKey", {}, 4096);
    syslog.tlsCa = profile.value("Syslog", "TLSCA", {}, 4096);
    return syslog;
}

// A colour text the program reads as no colour of its own: none written.
bool namesNoColour(std::string_view text) {
    return text == kNone || trimBlanks(text).empty();
}

std::string levelKey(char prefix, int index) {
    return std::string(1, prefix) + static_cast<char>('0' + index);
}

} // namespace

double leadingNumber(std::string_view text) {
    text = skipBlanks(text);
    const bool negative = takeSign(text);
    bool hasDigit = false;
    const std::size_t length = decimalLength(text, hasDigit);
    if (!hasDigit)
        return 0.0;
    const double value = decimalValue(text.substr(0, length));
    return negative ? -value : value;
}

std::optional<Colour> parseColour(std::string_view text) {
    text = trimBlanks(text);
    if (text.size() >= 2 && text[0] == '&' && (text[1] == 'H' || text[1] == 'h')) {
        const std::optional<std::uint64_t> value = hexValue(text.substr(2));
        if (!value || *value > UINT32_MAX)
            return std::nullopt;
        return static_cast<Colour>(*value);
    }
    const bool negative = takeSign(text);
    bool hasDigit = false;
    if (text.empty() || decimalLength(text, hasDigit) != text.size() || !hasDigit)
        return std::nullopt;
    const double magnitude = roundToEven(decimalValue(text));
    const double value = negative ? -magnitude : magnitude;
    // A 32-bit value: negative numbers stand for their two's complement.
    if (value < static_cast<double>(INT32_MIN) || value > static_cast<double>(UINT32_MAX))
        return std::nullopt;
    return static_cast<Colour>(static_cast<std::int64_t>(value));
}

int rowLimitFromText(std::string_view text) {
    return std::max(2, roundHalfEven(leadingNumber(text)));
}

Settings settingsFromProfile(const Profile &profile, std::string_view defaultLogFile,
                             std::vector<std::string> *problems) {
    Settings settings;
    // Any level index is below 8 and above: all of them open the popup.
    settings.popupLevel =
        boundedSetting(profile, "Popuplevel", settings.popupLevel, 0, INT_MAX, problems, 10);
    settings.logFile = profile.value("Global", "Logfile", defaultLogFile);
    if (settings.logFile.empty()) // an empty value names no file: use the default
        settings.logFile = std::string(defaultLogFile);
    settings.maxLines =
        boundedSetting(profile, "MaxLines", settings.maxLines, 2, INT_MAX, problems);
    settings.startTab =
        boundedSetting(profile, "StartTab", settings.startTab, 0, kLevelCount - 1, problems);
    settings.startInFullList = profile.value("Global", "IniGrid", "0") != "0";
    settings.notify = profile.value("Global", "Notify", "1") != "0";
    settings.followNewEvents = profile.value("Global", "Follow", "1") != "0";
    settings.syslog = syslogFromProfile(profile, problems);
    for (int i = 0; i < kLevelCount; ++i) {
        settings.levelSounds[i] = profile.value("Sound", levelKey('S', i), "");
        const std::string colour = profile.value("Color", levelKey('C', i), kNone);
        if (namesNoColour(colour))
            continue;
        if (const std::optional<Colour> value = parseColour(colour))
            settings.levelColours[i] = *value;
        else if (problems)
            problems->push_back(levelKey('C', i) + ": " + quoted(colour) +
                                " is not a colour number; the built-in colour is used");
    }
    return settings;
}

WindowGeometry geometryFromProfile(const Profile &profile, const WindowGeometry &current,
                                   std::vector<std::string> *problems) {
    const auto read = [&](std::string_view key, long fallback, bool size) -> long {
        if (!profile.contains("Global", key))
            return fallback;
        const std::string text = profile.value("Global", key);
        const long value = holdsNumber(text) ? intSetting(profile, key, {}) : 0;
        if (holdsNumber(text) && (!size || value > 0))
            return value;
        if (problems)
            problems->push_back(std::string(key) + ": " + quoted(text) + " is " +
                                (holdsNumber(text) ? "not above 0" : "not a number") +
                                "; the window's own " + (size ? "size" : "place") + " is used");
        return fallback;
    };
    return {read("WinTop", current.top, false), read("WinLeft", current.left, false),
            read("WinHeight", current.height, true), read("WinWidth", current.width, true)};
}

std::vector<std::string> unreadableSettings(const Profile &profile) {
    std::vector<std::string> problems;
    settingsFromProfile(profile, {}, &problems);
    geometryFromProfile(profile, {}, &problems);
    return problems;
}

void writeGeometry(Profile &profile, const WindowGeometry &geometry) {
    profile.setValue("Global", "WinTop", std::to_string(geometry.top));
    profile.setValue("Global", "WinLeft", std::to_string(geometry.left));
    profile.setValue("Global", "WinHeight", std::to_string(geometry.height));
    profile.setValue("Global", "WinWidth", std::to_string(geometry.width));
}

void writeSettings(Profile &profile, const SettingsChanges &changes) {
    if (changes.colours) {
        const LevelColours builtIn = defaultLevelColours();
        for (int i = 0; i < kLevelCount; ++i) {
            const std::string key = levelKey('C', i);
            const Colour colour = (*changes.colours)[std::size_t(i)];
            const std::string stored = profile.value("Color", key, kNone);
            if (colour == builtIn[std::size_t(i)] && !namesNoColour(stored) && !parseColour(stored))
                continue;
            profile.setValue("Color", key, std::to_string(colour));
        }
    }
    if (changes.popupLevel)
        profile.setValue("Global", "Popuplevel", std::to_string(*changes.popupLevel));
    if (changes.sounds)
        for (int i = 0; i < kLevelCount; ++i)
            profile.setValue("Sound", levelKey('S', i), (*changes.sounds)[std::size_t(i)]);
    if (changes.logFile)
        profile.setValue("Global", "Logfile", *changes.logFile);
    if (changes.maxLinesText)
        profile.setValue("Global", "MaxLines", *changes.maxLinesText);
    if (changes.startInFullList)
        profile.setValue("Global", "IniGrid", *changes.startInFullList ? "1" : "0");
    if (changes.startTab)
        profile.setValue("Global", "StartTab", std::to_string(*changes.startTab));
    if (changes.notify)
        profile.setValue("Global", "Notify", *changes.notify ? "1" : "0");
    if (changes.followNewEvents)
        profile.setValue("Global", "Follow", *changes.followNewEvents ? "1" : "0");
    if (const auto &syslog = changes.syslog) {
        profile.setValue("Syslog", "UDP", std::to_string(syslog->udpPort));
        profile.setValue("Syslog", "TCP", std::to_string(syslog->tcpPort));
        profile.setValue("Syslog", "TLS", std::to_string(syslog->tlsPort));
        profile.setValue("Syslog", "TLSCert", syslog->tlsCertificate);
        profile.setValue("Syslog", "TLSKey", syslog->tlsKey);
        profile.setValue("Syslog", "TLSCA", syslog->tlsCa);
    }
}

} // namespace quorvik
