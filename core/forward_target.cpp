// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/forward_target.h"

#include "core/text_rules.h"

#include <algorithm>
#include <array>
#include <set>

namespace quorvik {

namespace {

constexpr std::string_view kSection = "Forward";

constexpr std::array<std::string_view, 24> kFacilities = {
    "kern",   "user",   "mail",     "daemon", "auth",   "syslog", "lpr",    "news",
    "uucp",   "cron",   "authpriv", "ftp",    "ntp",    "audit",  "alert",  "clock",
    "local0", "local1", "local2",   "local3", "local4", "local5", "local6", "local7"};

std::string key(std::string_view name, std::size_t number) {
    return std::string(name) + std::to_string(number);
}

} // namespace

std::string ForwardTarget::url() const {
    const char *scheme = transport == Transport::Udp   ? "udp://"
                         : transport == Transport::Tcp ? "tcp://"
                                                       : "tls://";
    const bool bracket = host.find(':') != std::string::npos;
    return scheme + (bracket ? '[' + host + ']' : host) + ':' + std::to_string(port);
}

std::optional<ForwardTarget> parseTargetUrl(std::string_view url) {
    ForwardTarget target;
    url = trimBlanks(url);
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos)
        return std::nullopt;
    const std::string scheme = lowerAscii(url.substr(0, schemeEnd));
    if (scheme == "udp")
        target.transport = ForwardTarget::Transport::Udp;
    else if (scheme == "tcp")
        target.transport = ForwardTarget::Transport::Tcp;
    else if (scheme == "tls")
        target.transport = ForwardTarget::Transport::Tls;
    else
        return std::nullopt;
    std::string_view rest = url.substr(schemeEnd + 3);
    if (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    std::string_view host;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos || rest.substr(close + 1, 1) != ":")
            return std::nullopt;
        host = rest.substr(1, close - 1);
        rest.remove_prefix(close + 2);
    } else {
        const std::size_t colon = rest.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        host = rest.substr(0, colon);
        rest.remove_prefix(colon + 1);
    }
    const std::optional<int> port = wholeNumber(rest, 1, 65535);
    if (host.empty() || !port || host.find_first_of(" \t/@") != std::string_view::npos)
        return std::nullopt;
    target.host = std::string(host);
    target.port = std::uint16_t(*port);
    return target;
}

std::optional<int> parseFacility(std::string_view text) {
    text = trimBlanks(text);
    if (const std::optional<int> number = wholeNumber(text, 0, 23))
        return number;
    const std::string name = lowerAscii(text);
    for (std::size_t i = 0; i < kFacilities.size(); ++i)
        if (kFacilities[i] == name)
            return int(i);
    return std::nullopt;
}

std::string facilityName(int facility) {
    return facility >= 0 && facility < int(kFacilities.size())
               ? std::string(kFacilities[std::size_t(facility)])
               : std::to_string(facility);
}

namespace {

constexpr std::array<std::string_view, 6> kKeyNames = {"Target", "Level", "Facility",
                                                       "CA",     "Cert",  "Key"};

// The numbers of the file's Target keys, in order.
std::vector<std::size_t> targetNumbers(const Profile &profile) {
    std::vector<std::size_t> numbers;
    for (const std::string &name : profile.keys(kSection)) {
        if (name.size() <= 6 || lowerAscii(std::string_view(name).substr(0, 6)) != "target")
            continue;
        const std::string_view digits = std::string_view(name).substr(6);
        // Only a number as the program writes it: "Target02" is not Target2.
        if (digits.front() == '0')
            continue;
        if (const std::optional<int> n = wholeNumber(digits, 1, 999'999'999))
            numbers.push_back(std::size_t(*n));
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

ForwardEntry readEntry(const Profile &profile, std::size_t n) {
    const auto value = [&](std::string_view name) {
        return std::string(trimBlanks(profile.value(kSection, key(name, n), {}, 4096)));
    };
    ForwardEntry entry;
    entry.number = n;
    entry.text = value("Target");
    std::optional<ForwardTarget> target = parseTargetUrl(entry.text);
    if (!target) {
        entry.problem =
            key("Target", n) + ": \"" + entry.text + "\" is not udp://, tcp:// or tls://host:port";
        return entry;
    }
    const std::string level = value("Level");
    const std::optional<int> levelNumber = level.empty() ? 0 : wholeNumber(level, 0, 7);
    if (!levelNumber) {
        entry.problem = key("Level", n) + ": \"" + level + "\" is not a level from 0 to 7";
        return entry;
    }
    const std::string facility = value("Facility");
    const std::optional<int> facilityNumber =
        facility.empty() ? kLocal0Facility : parseFacility(facility);
    if (!facilityNumber) {
        entry.problem = key("Facility", n) + ": \"" + facility +
                        "\" is not a syslog facility (0 to 23, local0 ...)";
        return entry;
    }
    target->level = *levelNumber;
    target->facility = *facilityNumber;
    target->caFile = value("CA");
    target->certFile = value("Cert");
    target->keyFile = value("Key");
    entry.target = std::move(target);
    return entry;
}

} // namespace

std::vector<ForwardEntry> forwardEntriesFromProfile(const Profile &profile) {
    std::vector<ForwardEntry> entries;
    for (const std::size_t n : targetNumbers(profile))
        if (!trimBlanks(profile.value(kSection, key("Target", n), {}, 4096)).empty())
            entries.push_back(readEntry(profile, n));
    return entries;
}

ForwardTargets forwardTargetsFromProfile(const Profile &profile) {
    ForwardTargets result;
    for (ForwardEntry &entry : forwardEntriesFromProfile(profile)) {
        if (entry.target) {
            result.targets.push_back(std::move(*entry.target));
            result.numbers.push_back(int(entry.number));
        } else
            result.problems.push_back(std::move(entry.problem));
    }
    return result;
}

std::vector<int> writtenTargetNumbers(const std::vector<ForwardEntry> &entries) {
    std::set<std::size_t> kept;
    for (const ForwardEntry &entry : entries)
        if (!entry.target && entry.number > 0)
            kept.insert(entry.number);
    std::vector<int> numbers;
    std::size_t n = 0;
    for (const ForwardEntry &entry : entries) {
        if (!entry.target)
            continue;
        do
            ++n;
        while (kept.contains(n));
        numbers.push_back(int(n));
    }
    return numbers;
}

void writeForwardEntries(Profile &profile, const std::vector<ForwardEntry> &entries) {
    std::set<std::size_t> used;
    for (const ForwardEntry &entry : entries)
        if (!entry.target && entry.number > 0)
            used.insert(entry.number);
    const std::vector<int> numbers = writtenTargetNumbers(entries);
    std::size_t next = 0;
    for (const ForwardEntry &entry : entries) {
        if (!entry.target)
            continue;
        const auto n = std::size_t(numbers[next++]);
        used.insert(n);
        const ForwardTarget &target = *entry.target;
        const bool tls = target.transport == ForwardTarget::Transport::Tls;
        const auto set = [&](std::string_view name, const std::string &text) {
            if (!text.empty() || profile.contains(kSection, key(name, n)))
                profile.setValue(kSection, key(name, n), text);
        };
        profile.setValue(kSection, key("Target", n), target.url());
        set("Level", target.level != 0 ? std::to_string(target.level) : "");
        set("Facility", target.facility != kLocal0Facility ? facilityName(target.facility) : "");
        set("CA", tls ? target.caFile : "");
        set("Cert", tls ? target.certFile : "");
        set("Key", tls ? target.keyFile : "");
    }
    for (const std::size_t old : targetNumbers(profile)) {
        if (used.contains(old))
            continue;
        for (const std::string_view name : kKeyNames)
            if (name == "Target" || profile.contains(kSection, key(name, old)))
                profile.setValue(kSection, key(name, old), "");
    }
}

void writeForwardTargets(Profile &profile, const std::vector<ForwardTarget> &targets) {
    std::vector<ForwardEntry> entries;
    for (ForwardEntry &entry : forwardEntriesFromProfile(profile))
        if (!entry.target)
            entries.push_back(std::move(entry));
    for (const ForwardTarget &target : targets)
        entries.push_back({0, target, {}, target.url()});
    writeForwardEntries(profile, entries);
}

} // namespace quorvik
