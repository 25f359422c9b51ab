// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "rules/rule_walk.h"

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

void RuleWalk::apply(std::vector<Event> &events) {
    {
        std::lock_guard lock(m_mutex);
        if (m_next) {
            m_rules = std::move(m_next);
            m_windows.assign(m_rules->size(), {});
        }
    }
    if (!m_rules || m_rules->empty())
        return;
    for (Event &event : events)
        walk(*m_rules, event);
}

void RuleWalk::walk(const RuleSet &rules, Event &event) {
    EventActions &actions = event.actions;
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
        if (rule.stop)
            break;
    }
}

} // namespace quorvik
