// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_sink.h"
#include "core/rules.h"
#include "rules/silent_hosts.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvik {

// The rules step: every event of a batch walks the rules in order. Each
// rule whose match holds for the event as the rules before it left it
// (a level set by rule 1 is the level rule 2's "level:" sees) applies its
// actions to the event and its actions; a later rule's action overrides an
// earlier one's; a rule with Stop ends the walk.
//
// A rule with a count (CountN=10/60) sets the level and the showing on
// every match, but alerts (popup, notification, sound, program) only on the
// 10th match within 60 seconds of the event's receipt, then on the 10th
// after that, and so on. The matches in between are quiet: they also lose
// the popup, notification and sound their level would give them (a later
// rule may give them back), as "alert only when ten failed logins arrive
// within a minute" means. Programs that earlier rules chose for the event
// stay. The clock is the events' receipt time.
//
// Alarms. A rule with a fold (FoldN) makes the event foldable; the last
// such rule that matches decides the seconds. An event whose level, host,
// application, object and message (as the rules left them) came within those
// seconds of the newest one before it is a repeat: it keeps no popup,
// notification, sound or program, whatever a rule gave it, and the views
// fold it into that one's row. Up to kFoldKeys events are remembered; past
// that the ones older than their fold go, then the oldest half. A rule with
// ClearsN gives the event its match, the event's values filled in; the
// remembered repeats of its host that it keeps are forgotten, so that the
// next one (a link down after the up) alerts again.
// A rule with SilentN has the hosts of its matching events watched (see
// SilentHosts); quorvik's own events are not watched.
//
// The rules may be replaced from any thread while the road runs; new rules
// start their counts and folds from nothing.
class RuleWalk : public RulesStep {
public:
    static constexpr std::size_t kFoldKeys = 10'000;

    explicit RuleWalk(RuleSet rules = {});

    void setRules(RuleSet rules);
    void apply(std::vector<Event> &events) override;
    // The watch of silent hosts, before the road runs; none: no host is watched.
    void setSilentHosts(SilentHosts *silent) { m_silent = silent; }
    // The silences due at `now` (seconds since 1970), on the road's thread.
    void tick(std::int64_t now);

private:
    // The receipt times of a counted rule's matches since it last alerted,
    // at most count of them.
    struct Window {
        std::deque<std::int64_t> times;
        bool tick(const Rule &rule, std::int64_t now);
    };
    void takeNewRules();
    void walk(const RuleSet &rules, Event &event);
    void foldOrNot(Event &event);
    void forgetCleared(const Event &event);
    void boundFolds(std::int64_t now);

    std::mutex m_mutex;
    std::shared_ptr<const RuleSet> m_next; // set by setRules(), taken by apply()
    // The road's own, touched only by apply().
    std::shared_ptr<const RuleSet> m_rules;
    std::vector<Window> m_windows;
    // Foldable events by foldKey(): the newest one's receipt time and fold.
    struct Newest {
        std::int64_t at;
        int seconds;
    };
    std::unordered_map<std::string, Newest> m_folds;
    std::string m_key; // foldKey()'s buffer
    SilentHosts *m_silent = nullptr;
};

} // namespace quorvik
