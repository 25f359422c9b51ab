#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvik {

// Reads binary SNMP datagrams for the intake. Both calls may come from any
// thread, also at the same time.
class TrapDecoder {
public:
    virtual ~TrapDecoder() = default;

    // One line that names what the datagram is: a trap or inform with its
    // bindings, or the kind of another SNMP message. Empty when the datagram
    // is no SNMP message that parses.
    virtual std::string describe(std::string_view datagram) = 0;

    // The Response that acknowledges a well-formed SNMPv2c InformRequest;
    // nothing for every other datagram.
    virtual std::optional<std::string> informResponse(std::string_view datagram) = 0;
};

} // namespace quorvik
