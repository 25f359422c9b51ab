// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Cuts arbitrary streams into frames: however the stream is split into
// reads, the frames are the same, none is empty or over the limit, and each
// cut frame ends in the ellipsis.
#include "check.h"
#include "core/syslog_framer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace quorvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t limit = 8 + data[0] % 64; // small, so that cuts happen
    const std::size_t step = 1 + data[1] % 16;
    const std::string_view stream(reinterpret_cast<const char *>(data + 2), size - 2);

    SyslogFramer whole(limit);
    std::vector<std::string> once;
    whole.feed(stream, once);
    whole.finish(once);

    SyslogFramer pieces(limit);
    std::vector<std::string> split;
    for (std::size_t at = 0; at < stream.size(); at += step)
        pieces.feed(stream.substr(at, step), split);
    pieces.finish(split);

    FUZZ_CHECK(once == split);
    FUZZ_CHECK(whole.cutCount() == pieces.cutCount());
    for (const std::string &frame : once) {
        FUZZ_CHECK(!frame.empty());
        FUZZ_CHECK(frame.size() <= limit);
    }
    return 0;
}
