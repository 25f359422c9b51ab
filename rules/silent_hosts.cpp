// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "rules/silent_hosts.h"

#include "core/text_file.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

namespace quorvik {

namespace {

constexpr std::string_view kStateHeader =
    "# quorvik: the hosts the rules with SilentN watch. Each line: the rule's match, the\n"
    "# time of the host's last event (seconds since 1970), 1 when silent, the host.\n";

// Tab, line ends and '%' as %XX, so that every value stays one field.
std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\t' || c == '\n' || c == '\r' || c == '%') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexDigit(text[i + 1]), low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

std::string counted(std::int64_t n, const char *unit) {
    return std::to_string(n) + ' ' + unit + (n == 1 ? "" : "s");
}

// "25 minutes": a time gone by, in the largest unit it holds twice (or once,
// for the largest).
std::string roughDuration(std::int64_t seconds) {
    if (seconds >= 2 * 86400)
        return counted(seconds / 86400, "day");
    if (seconds >= 2 * 3600)
        return counted(seconds / 3600, "hour");
    if (seconds >= 2 * 60)
        return counted(seconds / 60, "minute");
    return counted(std::max<std::int64_t>(seconds, 0), "second");
}

} // namespace

std::string spokenDuration(std::int64_t seconds) {
    if (seconds > 0 && seconds % 86400 == 0)
        return counted(seconds / 86400, "day");
    if (seconds > 0 && seconds % 3600 == 0)
        return counted(seconds / 3600, "hour");
    if (seconds > 0 && seconds % 60 == 0)
        return counted(seconds / 60, "minute");
    return counted(seconds, "second");
}

SilentHosts::SilentHosts(Raise raise, Options options)
    : m_raise(std::move(raise)), m_options(std::move(options)) {}

Event SilentHosts::ownEvent(const Level &level, const std::string &host, std::string message,
                            std::int64_t when) {
    Event event;
    event.level = &level;
    event.source = Source::Quorvik;
    event.host = host;
    event.application = "quorvik";
    event.object = "silent";
    event.message = std::move(message);
    event.receivedAt = when;
    return event;
}

void SilentHosts::load(std::int64_t now) {
    m_lastSave = now;
    if (m_options.statePath.empty())
        return;
    std::string error;
    const std::optional<std::string> content = readTextFile(m_options.statePath, &error);
    if (!content) {
        std::error_code unused;
        if (std::filesystem::exists(m_options.statePath, unused))
            m_raise(ownEvent(levelByIndex(6), {},
                             "Cannot read the silent hosts from " + m_options.statePath + ": " +
                                 error + "; every host is watched anew",
                             now));
        return;
    }
    std::size_t unread = 0;
    std::string_view rest = *content;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string_view> fields = splitTabs(line);
        std::int64_t lastHeard = 0;
        const std::optional<std::string> match =
            fields.size() == 4 ? unescaped(fields[0]) : std::nullopt;
        const std::optional<std::string> host =
            fields.size() == 4 ? unescaped(fields[3]) : std::nullopt;
        const bool timeRead =
            fields.size() == 4 &&
            std::from_chars(fields[1].data(), fields[1].data() + fields[1].size(), lastHeard).ptr ==
                fields[1].data() + fields[1].size();
        if (!match || !host || !timeRead || (fields[2] != "0" && fields[2] != "1") ||
            m_watched >= m_options.maxHosts) {
            ++unread;
            continue;
        }
        Host &entry = m_groups[*match].hosts[*host];
        entry = {lastHeard, std::max(lastHeard, now), fields[2] == "1"};
        m_silentCount += entry.silent;
        ++m_watched;
    }
    if (unread > 0)
        m_raise(ownEvent(levelByIndex(6), {},
                         std::to_string(unread) + " line" + (unread == 1 ? "" : "s") + " of " +
                             m_options.statePath +
                             " could not be read; those hosts are watched anew",
                         now));
}

void SilentHosts::setRules(const RuleSet &rules) {
    m_byRule.assign(rules.size(), nullptr);
    std::map<std::string, Group> kept;
    for (std::size_t r = 0; r < rules.size(); ++r) {
        const Rule &rule = rules[r];
        if (rule.silentSeconds <= 0)
            continue;
        auto found = kept.find(rule.match);
        if (found == kept.end()) {
            auto old = m_groups.find(rule.match);
            found =
                kept.emplace(rule.match, old != m_groups.end() ? std::move(old->second) : Group{})
                    .first;
        }
        found->second.seconds = rule.silentSeconds;
        found->second.level = rule.level ? rule.level : &levelByIndex(4);
        m_byRule[r] = &found->second;
    }
    if (kept.size() != m_groups.size())
        m_changed = true;
    m_groups = std::move(kept);
    m_watched = m_silentCount = 0;
    for (const auto &[match, group] : m_groups)
        for (const auto &[name, host] : group.hosts) {
            ++m_watched;
            m_silentCount += host.silent;
        }
}

// Room for one more host: the place of the host silent the longest, if any.
bool SilentHosts::makeRoom(const std::string &host, std::int64_t now) {
    if (m_watched < m_options.maxHosts)
        return true;
    Group *oldestGroup = nullptr;
    std::unordered_map<std::string, Host>::iterator oldest;
    if (m_silentCount > 0)
        for (auto &[match, group] : m_groups)
            for (auto it = group.hosts.begin(); it != group.hosts.end(); ++it)
                if (it->second.silent &&
                    (!oldestGroup || it->second.lastHeard < oldest->second.lastHeard)) {
                    oldestGroup = &group;
                    oldest = it;
                }
    if (!oldestGroup) {
        if (!std::exchange(m_fullSaid, true))
            m_raise(ownEvent(levelByIndex(6), host,
                             "Silent hosts: " + std::to_string(m_options.maxHosts) +
                                 " hosts are watched, as many as can be; " + host +
                                 " and other new hosts are not watched",
                             now));
        return false;
    }
    oldestGroup->hosts.erase(oldest);
    --m_watched;
    --m_silentCount;
    return true;
}

void SilentHosts::heard(std::size_t rule, const Event &event) {
    Group *group = rule < m_byRule.size() ? m_byRule[rule] : nullptr;
    if (!group)
        return;
    const std::int64_t now = event.receivedAt;
    auto found = group->hosts.find(event.host);
    if (found == group->hosts.end()) {
        if (!makeRoom(event.host, now))
            return;
        group->hosts.emplace(event.host, Host{now, now, false});
        ++m_watched;
        m_changed = true;
        return;
    }
    Host &host = found->second;
    if (host.silent) {
        host.silent = false;
        --m_silentCount;
        m_changed = true;
        m_raise(ownEvent(levelByIndex(5), event.host,
                         event.host + " speaks again after " + roughDuration(now - host.lastHeard) +
                             " (last event " + formatGeneratedDate(m_localTime.at(host.lastHeard)) +
                             ')',
                         now));
    }
    host.lastHeard = std::max(host.lastHeard, now);
    host.since = std::max(host.since, now);
    m_touched = true;
}

void SilentHosts::check(std::int64_t now) {
    for (auto &[match, group] : m_groups)
        for (auto &[name, host] : group.hosts) {
            if (host.silent || now - host.since < group.seconds)
                continue;
            host.silent = true;
            ++m_silentCount;
            m_changed = true;
            m_raise(ownEvent(*group.level, name,
                             name + " silent for " + spokenDuration(group.seconds) +
                                 " (last event " +
                                 formatGeneratedDate(m_localTime.at(host.lastHeard)) + ')',
                             now));
        }
    if (m_changed || (m_touched && now - m_lastSave >= m_options.saveEveryS)) {
        m_lastSave = now;
        save();
    }
}

std::string SilentHosts::stateText() const {
    std::string text(kStateHeader);
    for (const auto &[match, group] : m_groups) {
        const std::string field = escaped(match);
        for (const auto &[name, host] : group.hosts) {
            text += field;
            text += '\t';
            text += std::to_string(host.lastHeard);
            text += host.silent ? "\t1\t" : "\t0\t";
            text += escaped(name);
            text += '\n';
        }
    }
    return text;
}

bool SilentHosts::save() {
    if (m_options.statePath.empty() || !(m_changed || m_touched))
        return true;
    const FileResult written = writeFileAtomically(m_options.statePath, stateText());
    if (!written.ok()) {
        // Said once until a write succeeds again.
        if (!std::exchange(m_saveFailing, true))
            m_raise(ownEvent(levelByIndex(6), {},
                             "Cannot save the silent hosts in " + m_options.statePath + ": " +
                                 written.error + "; a restart will not remember them",
                             m_lastSave));
        return false;
    }
    m_saveFailing = false;
    m_changed = m_touched = false;
    return true;
}

} // namespace quorvik
