// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/local_time.h"

#include "core/date_time.h"

#include <ctime>

namespace quorvik {

namespace {

// Days from the zero date-time (30.12.1899) to 01.01.1970.
constexpr std::int64_t kUnixEpochDay = 25569;

} // namespace

LocalDateTime LocalTimeCache::at(std::int64_t unixSeconds) {
    if (unixSeconds != m_second) {
        // tzset notices a changed zone (TZ or /etc/localtime); localtime_r alone
        // would keep the zone of its first call.
        ::tzset();
        const std::time_t t = std::time_t(unixSeconds);
        std::tm local{};
        if (::localtime_r(&t, &local))
            m_offset = local.tm_gmtoff;
        m_second = unixSeconds;
    }
    return partsOf(DateTime{unixSeconds + m_offset + kUnixEpochDay * 86400});
}

} // namespace quorvik
