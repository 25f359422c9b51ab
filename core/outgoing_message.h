// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvik {

// One event as this program sends it to another console. Texts are bytes in
// the local 8-bit encoding, the same way received texts are read.
struct OutgoingMessage {
    char levelLetter = 'I'; // E, P, C, A, W, I or N
    std::string_view host;  // the sending computer's name
    std::string_view application;
    std::string_view object;
    std::string_view message;
};

// The datagram text: "trapo$LEVL$:", the letter, then the host, application,
// object and message fields, without separators. No date goes out: the
// receiver stamps its own. Nothing is trimmed or escaped.
std::string composeEventMessage(const OutgoingMessage &message);

// The first tag marker ("$MSG$:", "$LEVL$:", ...) that the receiver's parser
// would read inside `field`, which would then change what the receiver
// shows; empty when there is none.
std::string_view tagMarkerIn(std::string_view field);

// The most a UDP datagram over IPv4 can carry.
inline constexpr std::size_t kMaxDatagramBytes = 65507;

} // namespace quorvik
