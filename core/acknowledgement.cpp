// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/acknowledgement.h"

#include <cstdlib>
#include <memory>

#include <pwd.h>
#include <unistd.h>

namespace quorvik {

Event acknowledgementEvent(const Event &event, const std::string &user, const std::string &note,
                           std::int64_t now, const std::string &ownHost) {
    auto acknowledgement = std::make_shared<Acknowledgement>();
    acknowledgement->user = user;
    acknowledgement->note = note;
    acknowledgement->level = std::string(event.level->name);
    acknowledgement->date = event.date;
    acknowledgement->host = event.host;
    acknowledgement->application = event.application;
    acknowledgement->object = event.object;
    acknowledgement->message = event.message;
    Event own;
    own.level = &levelByIndex(6); // Note
    own.source = Source::Quorvik;
    own.host = ownHost;
    own.application = "quorvik";
    own.object = "acknowledged";
    own.message = acknowledgementText(*acknowledgement);
    own.receivedAt = now;
    own.acknowledges = std::move(acknowledgement);
    return own;
}

std::string acknowledgementText(const Acknowledgement &a) {
    std::string text = a.user + " acknowledged " + a.level;
    if (!a.date.empty())
        text += ' ' + a.date;
    for (const auto &[label, value] :
         {std::pair{", host ", &a.host}, std::pair{", application ", &a.application},
          std::pair{", object ", &a.object}})
        if (!value->empty())
            text += label + *value;
    text += ": " + a.message;
    if (!a.note.empty())
        text += ". Note: " + a.note;
    return text;
}

Event acknowledgedEvent(const Acknowledgement &a) {
    Event event;
    event.level = levelByName(a.level);
    event.date = a.date;
    event.host = a.host;
    event.application = a.application;
    event.object = a.object;
    event.message = a.message;
    return event;
}

std::string loginName() {
    if (const passwd *entry = ::getpwuid(::getuid()); entry && entry->pw_name && *entry->pw_name)
        return entry->pw_name;
    for (const char *variable : {"LOGNAME", "USER"})
        if (const char *value = std::getenv(variable); value && *value)
            return value;
    return "unknown";
}

} // namespace quorvik
