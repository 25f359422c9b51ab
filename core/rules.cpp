// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/rules.h"

#include "core/forward_target.h"
#include "core/text_rules.h"

#include <algorithm>
#include <array>
#include <map>

namespace quorvik {

namespace {

constexpr std::string_view kSection = "Rules";
constexpr std::size_t kValueSize = 4096;

// The keys of one rule, in the order they are written.
constexpr std::array<std::string_view, 14> kKeys = {
    "Name",   "Match",   "Level", "Show", "Popup", "Notify",
    "Sound",  "Forward", "Count", "Stop", "Run",
    "Fold",   // alarms: folding repeats
    "Clears", // alarms: clearing
    "Silent", // alarms: silent hosts
};

std::array<std::string RuleText::*, kKeys.size()> fieldsOfKeys() {
    return {
        &RuleText::name,   &RuleText::match,  &RuleText::level, &RuleText::show,
        &RuleText::popup,  &RuleText::notify, &RuleText::sound, &RuleText::forward,
        &RuleText::count,  &RuleText::stop,   &RuleText::run,
        &RuleText::fold,   // alarms: folding repeats
        &RuleText::clears, // alarms: clearing
        &RuleText::silent, // alarms: silent hosts
    };
}

// The longest silence a rule may wait for: 30 days.
constexpr int kSilentSecondsMax = 30 * 24 * 3600;

// "Level12" as the key Level of rule 12; nullopt for a name that is no key
// of a rule.
std::optional<std::pair<std::size_t, int>> splitKey(std::string_view name) {
    const std::string lower = lowerAscii(name);
    for (std::size_t k = 0; k < kKeys.size(); ++k) {
        const std::string key = lowerAscii(kKeys[k]);
        if (!lower.starts_with(key))
            continue;
        const std::string_view digits = std::string_view(name).substr(key.size());
        if (digits.empty() || digits.front() == '0')
            continue; // "Level02" is not Level2: numbers as the program writes them
        if (const std::optional<int> n = wholeNumber(digits, 1, 999'999))
            return std::pair{k, *n};
    }
    return std::nullopt;
}

std::string keyOf(std::string_view name, int number) {
    return std::string(name) + std::to_string(number);
}

// "1" or "0"; anything else is no switch.
std::optional<bool> readSwitch(std::string_view text) {
    if (text == "1")
        return true;
    if (text == "0")
        return false;
    return std::nullopt;
}

} // namespace

std::string Rule::label() const {
    std::string text = "Rule " + std::to_string(number);
    if (!name.empty())
        text += " (" + name + ')';
    return text;
}

std::vector<RuleText> ruleTextsFromProfile(const Profile &profile) {
    std::map<int, RuleText> byNumber;
    const auto fields = fieldsOfKeys();
    for (const std::string &name : profile.keys(kSection)) {
        const auto key = splitKey(name);
        if (!key)
            continue;
        const std::string value(trimBlanks(profile.value(kSection, name, {}, kValueSize)));
        if (value.empty())
            continue;
        RuleText &rule = byNumber[key->second];
        rule.number = key->second;
        rule.*fields[key->first] = value;
    }
    std::vector<RuleText> rules;
    for (auto &[number, rule] : byNumber)
        rules.push_back(std::move(rule));
    return rules;
}

std::vector<int> forwardTargetNumbers(const Profile &profile) {
    std::vector<int> numbers;
    for (const ForwardEntry &entry : forwardEntriesFromProfile(profile))
        numbers.push_back(int(entry.number));
    return numbers;
}

std::optional<Rule> readRule(const RuleText &text, const std::vector<int> &targets,
                             std::vector<std::string> &problems) {
    Rule rule;
    rule.number = text.number;
    rule.name = text.name;
    rule.match = text.match;
    rule.run = text.run;
    const std::size_t before = problems.size();
    const auto bad = [&](std::string_view key, const std::string &value, const std::string &why) {
        problems.push_back(rule.label() + ": " + keyOf(key, text.number) + '=' + value + ": " +
                           why);
    };

    if (text.match.empty()) {
        problems.push_back(rule.label() + ": " + keyOf("Match", text.number) +
                           " is empty: a rule needs a match");
    } else {
        rule.filter = EventFilter(text.match);
        for (const std::string &problem : rule.filter.problems())
            bad("Match", text.match, problem);
        if (rule.filter.isEmpty() && rule.filter.problems().empty())
            bad("Match", text.match, "holds no word to match");
    }
    if (!text.level.empty()) {
        const Level &level = levelForLetter(text.level);
        if (&level == &unknownLevel() || &level == &trapLevel())
            bad("Level", text.level, "the level is one of E, P, C, A, W, I, N");
        else
            rule.level = &level;
    }
    const auto readSwitchKey = [&](std::string_view key, const std::string &value,
                                   std::optional<bool> &into) {
        if (value.empty())
            return;
        into = readSwitch(value);
        if (!into)
            bad(key, value, "1 or 0");
    };
    readSwitchKey("Show", text.show, rule.show);
    readSwitchKey("Popup", text.popup, rule.popup);
    readSwitchKey("Notify", text.notify, rule.notify);
    std::optional<bool> stop;
    readSwitchKey("Stop", text.stop, stop);
    rule.stop = stop.value_or(false);
    if (!text.sound.empty())
        rule.sound = lowerAscii(text.sound) == "none" ? std::string() : text.sound;
    if (!text.forward.empty()) {
        std::vector<int> numbers;
        if (lowerAscii(text.forward) != "none") {
            std::string_view rest = text.forward;
            while (true) {
                const std::size_t comma = rest.find(',');
                const std::string_view item = trimBlanks(rest.substr(0, comma));
                const std::optional<int> n = wholeNumber(item, 1, 999'999'999);
                if (!n) {
                    bad("Forward", text.forward,
                        "target numbers separated by commas (1,3), or none");
                    break;
                }
                if (std::find(targets.begin(), targets.end(), *n) == targets.end()) {
                    bad("Forward", text.forward, "[Forward] has no Target" + std::to_string(*n));
                    break;
                }
                numbers.push_back(*n);
                if (comma == std::string_view::npos)
                    break;
                rest.remove_prefix(comma + 1);
            }
        }
        rule.forward = std::move(numbers);
    }
    if (!text.count.empty()) {
        const std::string_view count = text.count;
        const std::size_t slash = count.find('/');
        const std::optional<int> n = wholeNumber(trimBlanks(count.substr(0, slash)), 1, 1'000'000);
        const std::optional<int> seconds =
            slash == std::string_view::npos
                ? std::nullopt
                : wholeNumber(trimBlanks(count.substr(slash + 1)), 1, 7 * 24 * 3600);
        if (!n || !seconds) {
            bad("Count", text.count,
                "events/seconds, e.g. 10/60: the 10th matching event within 60 seconds");
        } else {
            rule.count = *n;
            rule.countSeconds = *seconds;
        }
    }
    if (!text.fold.empty()) {
        const std::optional<int> seconds = wholeNumber(text.fold, 1, 7 * 24 * 3600);
        if (!seconds)
            bad("Fold", text.fold,
                "seconds from 1 to 604800: repeats within them fold into one row");
        else
            rule.fold = *seconds;
    }
    if (!text.clears.empty()) {
        std::string problem;
        rule.clears = ClearMatch::read(text.clears, problem);
        if (!rule.clears)
            bad("Clears", text.clears, problem);
    }
    if (!text.silent.empty()) {
        if (const std::optional<int> seconds = wholeNumber(text.silent, 1, kSilentSecondsMax))
            rule.silentSeconds = *seconds;
        else
            bad("Silent", text.silent,
                "seconds from 1 to 2592000 (30 days), e.g. 600: silent after 10 minutes");
    }
    if (problems.size() != before)
        return std::nullopt;
    return rule;
}

void foldKey(const Event &event, std::string &key) {
    key.assign(1, event.level ? event.level->letter : '?');
    for (const std::string *field :
         {&event.host, &event.application, &event.object, &event.message}) {
        key += '\0';
        key += *field;
    }
}

RuleSet readRules(const Profile &profile, std::vector<std::string> &problems) {
    for (const std::string &name : profile.keys(kSection))
        if (!splitKey(name))
            problems.push_back("[Rules] " + name +
                               ": not a key of a rule (NameN, MatchN, "
                               "LevelN, ShowN, PopupN, NotifyN, SoundN, "
                               "ForwardN, CountN, StopN, RunN, FoldN, ClearsN, "
                               "SilentN)");
    const std::vector<int> targets = forwardTargetNumbers(profile);
    RuleSet rules;
    for (const RuleText &text : ruleTextsFromProfile(profile))
        if (std::optional<Rule> rule = readRule(text, targets, problems))
            rules.push_back(std::move(*rule));
    return rules;
}

void writeRuleTexts(Profile &profile, const std::vector<RuleText> &rules) {
    const auto fields = fieldsOfKeys();
    int n = 0;
    for (const RuleText &rule : rules) {
        ++n;
        for (std::size_t k = 0; k < kKeys.size(); ++k) {
            const std::string &value = rule.*fields[k];
            const std::string key = keyOf(kKeys[k], n);
            if (!value.empty())
                profile.setValue(kSection, key, value);
            else
                profile.removeKey(kSection, key);
        }
    }
    for (const std::string &name : profile.keys(kSection))
        if (const auto key = splitKey(name); key && key->second > n)
            profile.removeKey(kSection, name);
}

} // namespace quorvik
