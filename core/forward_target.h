// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "level.h"
#include "profile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvik {

inline constexpr int kLocal0Facility = 16;

// One collector that events are forwarded to: section [Forward], keys
// numbered from 1 (Target1, Level1, Facility1, CA1, Cert1, Key1).
struct ForwardTarget {
    enum class Transport { Udp, Tcp, Tls };

    Transport transport = Transport::Udp;
    std::string host;
    std::uint16_t port = 514;
    // The popup level's scale: events whose level index is below it go;
    // 0 sends every event, traps included.
    int level = 0;
    int facility = kLocal0Facility;
    std::string caFile;   // TLS: the CA bundle; empty: the system's store
    std::string certFile; // TLS: a client certificate, with its key
    std::string keyFile;

    bool admits(const Level &eventLevel) const { return level == 0 || eventLevel.index < level; }
    // "tcp://host:port", as the configuration writes it.
    std::string url() const;

    bool operator==(const ForwardTarget &) const = default;
};

// Reads "udp://host:port", "tcp://host:port" or "tls://host:port" (an IPv6
// address in brackets, "[::1]"); nullopt for anything else.
std::optional<ForwardTarget> parseTargetUrl(std::string_view url);

// A facility by number (0..23) or name ("local0", "daemon", ...).
std::optional<int> parseFacility(std::string_view text);
// "local0" for 16 and so on.
std::string facilityName(int facility);

// One numbered target of the file: its target, or why its keys can't be
// read. A line that can't be read belongs to the person who wrote it: it
// is shown as it is and never written over.
struct ForwardEntry {
    std::size_t number = 0;              // the N of its keys; 0 for a new one
    std::optional<ForwardTarget> target; // nullopt while its keys can't be read
    std::string problem;                 // then why, naming the key: "Level2: ..."
    std::string text;                    // the TargetN value as written

    bool operator==(const ForwardEntry &) const = default;
};

// Every TargetN of [Forward], in the order of N, gaps in the numbering
// included; an empty one is no target.
std::vector<ForwardEntry> forwardEntriesFromProfile(const Profile &profile);

struct ForwardTargets {
    std::vector<ForwardTarget> targets;
    std::vector<int> numbers; // each target's N, by which rules name it
    // One text per target skipped, naming its key: "Target2: ..." .
    std::vector<std::string> problems;
};

// The targets of the file; one whose keys can't be read is skipped and
// named among the problems.
ForwardTargets forwardTargetsFromProfile(const Profile &profile);

// Writes the readable entries as Target1, Target2, ... in their order,
// around the numbers of the unreadable ones, whose lines stay as they are;
// the keys of the numbers no longer used are emptied.
void writeForwardEntries(Profile &profile, const std::vector<ForwardEntry> &entries);
// The N under which writeForwardEntries() writes each readable entry.
std::vector<int> writtenTargetNumbers(const std::vector<ForwardEntry> &entries);
// Writes `targets` so; the targets of the file that can't be read stay.
void writeForwardTargets(Profile &profile, const std::vector<ForwardTarget> &targets);

} // namespace quorvik
