// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_sink.h"
#include "core/rules.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
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
// The rules may be replaced from any thread while the road runs; new rules
// start their counts from nothing.
class RuleWalk : public RulesStep {
public:
    explicit RuleWalk(RuleSet rules = {});

    void setRules(RuleSet rules);
    void apply(std::vector<Event> &events) override;

private:
    // The receipt times of a counted rule's matches since it last alerted,
    // at most count of them.
    struct Window {
        std::deque<std::int64_t> times;
        bool tick(const Rule &rule, std::int64_t now);
    };
    void walk(const RuleSet &rules, Event &event);

    std::mutex m_mutex;
    std::shared_ptr<const RuleSet> m_next; // set by setRules(), taken by apply()
    // The road's own, touched only by apply().
    std::shared_ptr<const RuleSet> m_rules;
    std::vector<Window> m_windows;
};

} // namespace quorvik
