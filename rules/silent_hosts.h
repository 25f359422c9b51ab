// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/local_time.h"
#include "core/rules.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvik {

// The hosts the rules with SilentN watch. Every host that sent an event
// matching such a rule and then none matching it for the rule's seconds
// raises one event of quorvik's own, "core-router-1 silent for 10 minutes
// (last event 09.12.2026 14:02:11)", at the rule's level (Warning when it
// sets none); when the host speaks again, one Information event says so.
//
// The hosts are kept by the rule's match, so that rules moved, added or
// edited elsewhere keep theirs; a match no rule watches any more forgets
// its hosts. At most maxHosts are watched over all rules: a new host then
// takes the place of the host silent the longest, or, while none is silent,
// is not watched (said once in a Note).
//
// The hosts are remembered in a state file: a host silent before a restart
// is still silent after it, and a host heard before it gets the whole time
// again from the start (the copy could not hear it while it was down).
//
// Not thread-safe: the rules step calls it on the road's thread only.
class SilentHosts {
public:
    struct Options {
        std::string statePath; // empty: nothing is remembered
        std::size_t maxHosts = 10'000;
        // Times of the last events are written at most this often; hosts
        // added, gone silent or back at the next check.
        std::int64_t saveEveryS = 30;
    };
    // Gets quorvik's own events: the silences, the returns, and what went
    // wrong with the state file.
    using Raise = std::function<void(Event)>;

    SilentHosts(Raise raise, Options options);

    // Reads the state file; `now` is the start. Says a problem with it
    // through `raise`.
    void load(std::int64_t now);
    // The rules from now on (rule r of `rules` is heard() as r).
    void setRules(const RuleSet &rules);
    // Rule `rule` (the index given to setRules) matched `event`.
    void heard(std::size_t rule, const Event &event);
    // Raises the silences due at `now` (seconds since 1970) and writes the
    // state file when due.
    void check(std::int64_t now);
    // Writes the state file now, if anything changed; false when that failed
    // (said through `raise`).
    bool save();

    std::size_t watched() const { return m_watched; }

private:
    struct Host {
        std::int64_t lastHeard = 0; // receipt time of its last matching event
        std::int64_t since = 0;     // silence is counted from here
        bool silent = false;
    };
    struct Group {
        int seconds = 0;
        const Level *level = nullptr;
        std::unordered_map<std::string, Host> hosts;
    };

    Event ownEvent(const Level &level, const std::string &host, std::string message,
                   std::int64_t when);
    bool makeRoom(const std::string &host, std::int64_t now);
    std::string stateText() const;

    Raise m_raise;
    Options m_options;
    std::map<std::string, Group> m_groups; // by match
    std::vector<Group *> m_byRule;
    std::size_t m_watched = 0;
    std::size_t m_silentCount = 0;
    bool m_fullSaid = false;
    bool m_changed = false; // hosts added, removed, gone silent or back
    bool m_touched = false; // last-heard times changed
    bool m_saveFailing = false;
    std::int64_t m_lastSave = 0;
    LocalTimeCache m_localTime;
};

// "10 minutes", "90 seconds", "1 hour", "2 days": how long, in the largest
// unit that divides it.
std::string spokenDuration(std::int64_t seconds);

} // namespace quorvik
