// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/clear_match.h"
#include "core/event_filter.h"
#include "core/level.h"
#include "core/profile.h"

#include <optional>
#include <string>
#include <vector>

namespace quorvik {

// One rule of [Rules] as written: the values of its keys NameN, MatchN,
// LevelN, ShowN, PopupN, NotifyN, SoundN, ForwardN, CountN, StopN and RunN,
// and of the alarm keys below, blanks around them dropped. The options tab
// edits these texts.
struct RuleText {
    int number = 0; // the N of its keys; 0 for a new one
    std::string name, match, level, show, popup, notify, sound, forward, count, stop, run;
    std::string fold, clears; // FoldN, ClearsN
    std::string silent;       // SilentN

    bool operator==(const RuleText &) const = default;
};

// One rule, read: every event its match holds for takes its actions, in
// the order of the rules; a later rule's action overrides an earlier one's.
struct Rule {
    int number = 0;
    std::string name;
    std::string match;  // as written
    EventFilter filter; // the match, read
    // LevelN: the event's level from this rule on; nullptr keeps it.
    const Level *level = nullptr;
    std::optional<bool> show;   // ShowN
    std::optional<bool> popup;  // PopupN
    std::optional<bool> notify; // NotifyN
    // SoundN: a wave file, or empty for "none".
    std::optional<std::string> sound;
    // ForwardN: only these [Forward] targets (their N); empty for "none".
    std::optional<std::vector<int>> forward;
    // CountN=count/seconds: the alerting actions (popup, notification,
    // sound, program) only on each count-th match within the seconds;
    // count 0: on every match.
    int count = 0;
    int countSeconds = 0;
    bool stop = false; // StopN=1: no rule after this one is looked at
    std::string run;   // RunN as written: a program and its arguments; empty: none
    // FoldN: a repeat (the same level, host, application, object and
    // message) within this many seconds of the newest before it folds into
    // its row and alerts in no way; 0: no folding.
    int fold = 0;
    // ClearsN: the shown rows of the event's host that match are cleared.
    std::optional<ClearMatch> clears;
    // SilentN: a host that sent a matching event and then none for this many
    // seconds is reported silent; 0: hosts are not watched.
    int silentSeconds = 0;

    // "Rule 2 (Core links)", or "Rule 2" without a name: how messages name it.
    std::string label() const;
    // Whether the rule alerts at all (popup, notification, sound or program).
    bool alerts() const { return popup || notify || sound || !run.empty(); }
};

// What makes two events repeats of one another for folding: the level,
// host, application, object and message, in `key` (overwritten).
void foldKey(const Event &event, std::string &key);

using RuleSet = std::vector<Rule>;

// The rules of [Rules], in the order of N (gaps in the numbering allowed; a
// number whose keys are all empty is no rule).
std::vector<RuleText> ruleTextsFromProfile(const Profile &profile);

// Reads one rule. `targets` are the numbers of the [Forward] targets that
// exist. nullopt when any of its values can't be read; then each is named
// in `problems`, in words: "Rule 2 (Core links): Level2=Z: ...".
std::optional<Rule> readRule(const RuleText &text, const std::vector<int> &targets,
                             std::vector<std::string> &problems);

// The rules of the configuration that can be read; each that can't is left
// out and its values named in `problems`.
RuleSet readRules(const Profile &profile, std::vector<std::string> &problems);

// The numbers of the [Forward] targets the configuration names.
std::vector<int> forwardTargetNumbers(const Profile &profile);

// Writes `rules` as rules 1, 2, ... in their order; the keys of numbers no
// longer used are taken out.
void writeRuleTexts(Profile &profile, const std::vector<RuleText> &rules);

} // namespace quorvik
