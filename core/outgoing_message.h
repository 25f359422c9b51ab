#pragma once

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

} // namespace quorvik
