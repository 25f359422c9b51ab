// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/forward_target.h"

#include "core/text_rules.h"

#include <array>
#include <charconv>

namespace quorvik {

namespace {

constexpr std::string_view kSection = "Forward";

constexpr std::array<std::string_view, 24> kFacilities = {
    "kern",   "user",   "mail",     "daemon", "auth",   "syslog", "lpr",    "news",
    "uucp",   "cron",   "authpriv", "ftp",    "ntp",    "audit",  "alert",  "clock",
    "local0", "local1", "local2",   "local3", "local4", "local5", "local6", "local7"};

std::optional<int> wholeNumber(std::string_view text, int low, int high) {
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc{} || result.ptr != text.data() + text.size() ||
        value < low || value > high)
        return std::nullopt;
    return value;
}

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

ForwardTargets forwardTargetsFromProfile(const Profile &profile) {
    ForwardTargets result;
    for (std::size_t n = 1; profile.contains(kSection, key("Target", n)); ++n) {
        const auto value = [&](std::string_view name) {
            return std::string(trimBlanks(profile.value(kSection, key(name, n), {}, 4096)));
        };
        const std::string url = value("Target");
        if (url.empty())
            continue;
        std::optional<ForwardTarget> target = parseTargetUrl(url);
        if (!target) {
            result.problems.push_back(key("Target", n) + ": \"" + url +
                                      "\" is not udp://, tcp:// or tls://host:port");
            continue;
        }
        const std::string level = value("Level");
        const std::optional<int> levelNumber = level.empty() ? 0 : wholeNumber(level, 0, 7);
        if (!levelNumber) {
            result.problems.push_back(key("Level", n) + ": \"" + level +
                                      "\" is not a level from 0 to 7");
            continue;
        }
        const std::string facility = value("Facility");
        const std::optional<int> facilityNumber =
            facility.empty() ? kLocal0Facility : parseFacility(facility);
        if (!facilityNumber) {
            result.problems.push_back(key("Facility", n) + ": \"" + facility +
                                      "\" is not a syslog facility (0 to 23, local0 ...)");
            continue;
        }
        target->level = *levelNumber;
        target->facility = *facilityNumber;
        target->caFile = value("CA");
        target->certFile = value("Cert");
        target->keyFile = value("Key");
        result.targets.push_back(std::move(*target));
    }
    return result;
}

void writeForwardTargets(Profile &profile, const std::vector<ForwardTarget> &targets) {
    std::size_t slots = 0;
    while (profile.contains(kSection, key("Target", slots + 1)))
        ++slots;
    for (std::size_t n = 1; n <= std::max(slots, targets.size()); ++n) {
        const ForwardTarget *target = n <= targets.size() ? &targets[n - 1] : nullptr;
        const bool tls = target && target->transport == ForwardTarget::Transport::Tls;
        const auto set = [&](std::string_view name, const std::string &text) {
            if (!text.empty() || profile.contains(kSection, key(name, n)))
                profile.setValue(kSection, key(name, n), text);
        };
        profile.setValue(kSection, key("Target", n), target ? target->url() : std::string());
        set("Level", target && target->level != 0 ? std::to_string(target->level) : "");
        set("Facility",
            target && target->facility != kLocal0Facility ? facilityName(target->facility) : "");
        set("CA", tls ? target->caFile : "");
        set("Cert", tls ? target->certFile : "");
        set("Key", tls ? target->keyFile : "");
    }
}

} // namespace quorvik
