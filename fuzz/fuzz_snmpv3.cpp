// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds whole SNMPv3 datagrams to the decoder with users configured (one
// without an engine ID, one with, one without authentication) and this
// receiver's own engine set, so that digests, decryption, the time window,
// the users learned per engine and the answers of an authoritative engine
// are reached. Nothing may crash or leak; a description stays one bounded
// line; a refused message has a reason.
#include "check.h"
#include "snmp/net_snmp_decoder.h"

#include <cstddef>
#include <cstdint>

using namespace quorvik;

namespace {

NetSnmpDecoder &decoder() {
    static NetSnmpDecoder instance(QUORVIK_MIB_DIR);
    return instance;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    NetSnmpDecoder &d = decoder();
    d.setUsers({{"fuzz", "SHA-256", "fuzz-auth-pass", "AES", "fuzz-priv-pass", {}},
                {"fixed", "MD5", "fuzz-auth-pass", "DES", "fuzz-priv-pass",
                 std::string("\x80\x00\x1F\x88\x80\x01\x02\x03\x04", 9)},
                {"plain", "none", {}, "none", {}, {}}});
    d.setEngine(std::string("\x80\x00\x1F\x88\x05\x01\x02\x03\x04\x05\x06\x07", 12), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view datagram(reinterpret_cast<const char *>(data), size);
    const Decoded decoded = decoder().decode(datagram);
    FUZZ_CHECK(decoded.text.size() <= NetSnmpDecoder::kMaxDescription);
    for (char c : decoded.text + decoded.rejection)
        FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    FUZZ_CHECK(decoded.text.empty() || decoded.rejection.empty());
    if (const std::optional<std::string> answer = decoder().informResponse(datagram)) {
        // An answer is a message that expects none.
        FUZZ_CHECK(!answer->empty());
        FUZZ_CHECK(!decoder().informResponse(*answer));
    }
    return 0;
}
