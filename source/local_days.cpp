#include "source/local_days.hpp"

#include <chrono>
#include <ctime>

namespace tessim {
namespace {

// Whether the offset at noon of the first of `days` days (days since 1970-01-01) holds from
// 30 hours before them to 30 hours after them, sampled every six hours. A single day is the
// test the cache keeps per day; a whole month at once passes exactly when each of its days
// would (their samples are among the month's, in the same six-hour step), at about 130
// localtime_r calls instead of 341 for a month without a transition, which is nearly every
// month a run sees.
bool one_offset(std::int64_t day1, unsigned days) {
    constexpr std::int64_t hour = 3600;
    const auto noon_naive = static_cast<std::time_t>(day1 * 86400 + 12 * hour);
    std::tm tm{};
    if (localtime_r(&noon_naive, &tm) == nullptr) return false;
    // The offset near noon: naive noon read as UTC is at most a day away from local noon.
    const std::int64_t offset = tm.tm_gmtoff;
    const std::int64_t first = day1 * 86400 - offset - 30 * hour;
    const std::int64_t last = (day1 + days) * 86400 - offset + 30 * hour;
    for (std::int64_t s = first; s <= last; s += 6 * hour) {
        const auto instant = static_cast<std::time_t>(s);
        if (localtime_r(&instant, &tm) == nullptr || tm.tm_gmtoff != offset) return false;
    }
    return true;
}

}  // namespace

bool dia_uniforme(LocalDays& dias, int year, int month, int day) {
    if (year < 1 || year > 9999) return false;
    const std::chrono::year_month_day ymd{std::chrono::year(year),
                                          std::chrono::month(static_cast<unsigned>(month)),
                                          std::chrono::day(static_cast<unsigned>(day))};
    if (month < 1 || month > 12 || day < 1 || day > 31 || !ymd.ok()) return false;
    std::uint64_t& word = dias.months[static_cast<std::size_t>(year - 1) * 12 + (month - 1)];
    if (word == 0) {
        word = std::uint64_t{1} << 63;
        const std::chrono::year_month_day first{ymd.year(), ymd.month(), std::chrono::day(1)};
        const std::int64_t day1 = std::chrono::sys_days(first).time_since_epoch().count();
        const unsigned last = static_cast<unsigned>(
            std::chrono::year_month_day_last(ymd.year(), std::chrono::month_day_last(ymd.month()))
                .day());
        if (one_offset(day1, last)) {
            word |= (std::uint64_t{1} << last) - 1;
        } else {
            for (unsigned d = 0; d < last; ++d)
                if (one_offset(day1 + d, 1)) word |= std::uint64_t{1} << d;
        }
    }
    return (word >> (day - 1)) & 1;
}

}  // namespace tessim
