// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "rules/rule_walk.h"

#include "core/event_filter.h"

#include <algorithm>

namespace quorvik {

RuleWalk::RuleWalk(RuleSet rules) {
    setRules(std::move(rules));
}

void RuleWalk::setRules(RuleSet rules) {
    auto shared = std::make_shared<const RuleSet>(std::move(rules));
    std::lock_guard lock(m_mutex);
    m_next = std::move(shared);
}

bool RuleWalk::Window::tick(const Rule &rule, std::int64_t now) {
    // Within the window: received less than countSeconds before this one.
    while (!times.empty() && now - times.front() >= rule.countSeconds)
        times.pop_front();
    times.push_back(now);
    if (times.size() < std::size_t(rule.count))
        return false;
    times.clear();
    return true;
}

void RuleWalk::takeNewRules() {
    std::shared_ptr<const RuleSet> next;
    {
        std::lock_guard lock(m_mutex);
        next = std::move(m_next);
    }
    if (!next)
        return;
    m_rules = std::move(next);
    m_windows.assign(m_rules->size(), {});
    m_folds.clear();
    if (m_silent)
        m_silent->setRules(*m_rules);
}

void RuleWalk::tick(std::int64_t now) {
    takeNewRules();
    if (m_silent)
        m_silent->check(now);
}

void RuleWalk::apply(std::vector<Event> &events) {
    takeNewRules();
    if (!m_rules || m_rules->empty())
        return;
    for (Event &event : events)
        walk(*m_rules, event);
}

void RuleWalk::walk(const RuleSet &rules, Event &event) {
    EventActions &actions = event.actions;
    const ClearMatch *clears = nullptr;
    FilterFields fields = {event.level->name, event.date,   event.host,
                           event.application, event.object, event.message};
    for (std::size_t r = 0; r < rules.size(); ++r) {
        const Rule &rule = rules[r];
        if (!rule.filter.matches(*event.level, fields, true, event.source))
            continue;
        if (rule.level) {
            event.level = rule.level;
            fields[EventFilter::kLevelField] = event.level->name;
        }
        if (rule.show)
            actions.shown = *rule.show;
        if (rule.forward)
            actions.forwardTo = *rule.forward;
        if (rule.fold > 0)
            actions.foldSeconds = rule.fold;
        if (rule.clears)
            clears = &*rule.clears;
        if (rule.count > 0 && !m_windows[r].tick(rule, event.receivedAt)) {
            actions.popup = false;
            actions.notify = false;
            actions.sound = std::string();
        } else {
            if (rule.popup)
                actions.popup = *rule.popup;
            if (rule.notify)
                actions.notify = *rule.notify;
            if (rule.sound)
                actions.sound = *rule.sound;
            if (!rule.run.empty() &&
                std::find(actions.run.begin(), actions.run.end(), rule.number) == actions.run.end())
                actions.run.push_back(rule.number);
        }
        if (rule.silentSeconds > 0 && m_silent && event.source != Source::Quorvik)
            m_silent->heard(r, event);
        if (rule.stop)
            break;
    }
    if (clears)
        if (std::optional<std::string> match = clears->textFor(event)) {
            actions.clears = std::make_shared<const EventFilter>(*match);
            forgetCleared(event);
        }
    if (actions.foldSeconds > 0)
        foldOrNot(event);
}

void RuleWalk::foldOrNot(Event &event) {
    EventActions &actions = event.actions;
    foldKey(event, m_key);
    const auto found = m_folds.find(m_key);
    if (found == m_folds.end()) {
        boundFolds(event.receivedAt);
        m_folds.emplace(m_key, Newest{event.receivedAt, actions.foldSeconds});
        return;
    }
    actions.repeat = event.receivedAt - found->second.at <= actions.foldSeconds;
    found->second = {event.receivedAt, actions.foldSeconds};
    if (!actions.repeat)
        return;
    actions.popup = false;
    actions.notify = false;
    actions.sound = std::string();
    actions.run.clear();
}

// A clearing event: the repeats it clears alert again when they come back.
void RuleWalk::forgetCleared(const Event &event) {
    const EventFilter &filter = *event.actions.clears;
    std::erase_if(m_folds, [&](const auto &entry) {
        // level letter, host, application, object, message, NUL between
        const std::string &key = entry.first;
        std::array<std::string_view, 5> parts;
        std::size_t begin = 0;
        for (std::size_t p = 0; p < parts.size(); ++p) {
            const std::size_t end = p + 1 < parts.size() ? key.find('\0', begin) : key.size();
            parts[p] = std::string_view(key).substr(begin, end - begin);
            begin = end + 1;
        }
        if (parts[1] != event.host)
            return false;
        const Level &level =
            parts[0].empty() || parts[0][0] == '\0' ? unknownLevel() : levelForLetter(parts[0]);
        return filter.matches(level, {level.name, {}, parts[1], parts[2], parts[3], parts[4]});
    });
}

// At most kFoldKeys remembered: the folds that ran out go first, then the
// older half.
void RuleWalk::boundFolds(std::int64_t now) {
    if (m_folds.size() < kFoldKeys)
        return;
    std::erase_if(
        m_folds, [now](const auto &entry) { return now - entry.second.at > entry.second.seconds; });
    if (m_folds.size() < kFoldKeys)
        return;
    std::vector<std::int64_t> times;
    times.reserve(m_folds.size());
    for (const auto &entry : m_folds)
        times.push_back(entry.second.at);
    const auto middle = times.begin() + std::ptrdiff_t(times.size() / 2);
    std::nth_element(times.begin(), middle, times.end());
    const std::int64_t cut = *middle;
    std::erase_if(m_folds, [cut](const auto &entry) { return entry.second.at <= cut; });
}

} // namespace quorvik
