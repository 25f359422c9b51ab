// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds whole datagrams to the net-snmp decoder: it must neither crash nor
// leak, its description stays one bounded line, and an inform's answer is
// the inform itself turned into a Response.
#include "check.h"
#include "snmp/net_snmp_decoder.h"

#include <cstddef>
#include <cstdint>

using namespace quorvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static NetSnmpDecoder decoder(QUORVIK_MIB_DIR);
    const std::string_view datagram(reinterpret_cast<const char *>(data), size);

    const std::string text = decoder.describe(datagram);
    FUZZ_CHECK(text.size() <= NetSnmpDecoder::kMaxDescription);
    for (char c : text)
        FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);

    const std::optional<std::string> answer = decoder.informResponse(datagram);
    if (answer) {
        FUZZ_CHECK(!text.empty() && answer->size() <= size);
        std::size_t differences = 0;
        for (std::size_t i = 0; i < answer->size(); ++i)
            differences += (*answer)[i] != datagram[i];
        FUZZ_CHECK(differences == 1);
        FUZZ_CHECK(!decoder.informResponse(*answer));
        FUZZ_CHECK(decoder.describe(*answer).starts_with("SNMP Response"));
    }
    return 0;
}
