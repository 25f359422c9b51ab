// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "event.h"

#include <cstdint>
#include <limits>

namespace quorvik {

// Local broken-down time of wall-clock seconds (seconds since 1970, UTC),
// cheap enough for every event: the zone's offset is looked up (which may
// stat the zone file) only when the second changes, so a burst costs one
// look-up and every other event adds the cached offset. Daylight-saving
// changes fall on whole seconds, so a fresh look-up per second keeps every
// date right across them, and a jump of the wall clock lands on another
// second and refreshes too.
class LocalTimeCache {
public:
    LocalDateTime at(std::int64_t unixSeconds);

private:
    std::int64_t m_second = std::numeric_limits<std::int64_t>::min();
    std::int64_t m_offset = 0; // seconds east of UTC
};

} // namespace quorvik
