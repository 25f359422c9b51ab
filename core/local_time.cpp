#include "core/local_time.h"

#include <ctime>

namespace quorvik {

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// The civil date and time of seconds since 1970 at offset zero.
LocalDateTime civilTime(std::int64_t seconds) {
    // Days to year, month and day in the proleptic Gregorian calendar, by
    // 400-year eras starting on 1 March (H. Hinnant's days-to-civil).
    const std::int64_t days = floorDiv(seconds, 86400);
    const std::int64_t inDay = seconds - days * 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = floorDiv(z, 146097);
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = int(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    const int year = int(yearOfEra + era * 400 + (month <= 2));
    return {year, month, day, int(inDay / 3600), int(inDay / 60 % 60), int(inDay % 60)};
}

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
    return civilTime(unixSeconds + m_offset);
}

} // namespace quorvik
