// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/outgoing_message.h"

#include "core/event.h"

namespace quorvik {

std::string composeEventMessage(const OutgoingMessage &message) {
    std::string text = "trapo";
    text.append(kLevelTag).append(1, message.levelLetter);
    text.append(kFieldTags[1]).append(message.host);
    text.append(kFieldTags[2]).append(message.application);
    text.append(kFieldTags[3]).append(message.object);
    text.append(kFieldTags[4]).append(message.message);
    return text;
}

std::string_view tagMarkerIn(std::string_view field) {
    std::string_view first;
    std::size_t firstAt = std::string_view::npos;
    const auto note = [&](std::string_view tag) {
        const std::size_t at = field.find(tag);
        if (at < firstAt) {
            firstAt = at;
            first = tag;
        }
    };
    note(kLevelTag);
    for (const std::string_view tag : kFieldTags)
        note(tag);
    return first;
}

} // namespace quorvik
