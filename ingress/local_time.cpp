#include "ingress/local_time.hpp"

#include <cerrno>
#include <ctime>
#include <string>

#include "ingress/errors.hpp"

namespace ingress {

std::int64_t days_from_civil(int year, int month, int day) noexcept {
    // Counting years from March puts the leap day at the end of the year.
    const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

namespace {

bool is_leap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int days_in_month(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap(y) ? 29 : days[m - 1];
}

std::string describe(const LocalDateTime& t) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%06d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.microsecond);
    return buf;
}

// Epoch seconds of a local wall-clock time, exactly as mktime answers with tm_isdst = -1.
std::int64_t local_seconds(const LocalDateTime& t, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    errno = 0;
    const std::time_t s = std::mktime(&tm);
    // -1 is also a real instant (one second before the epoch in UTC); errno tells them apart.
    if (s == static_cast<std::time_t>(-1) && errno != 0) {
        throw IngressError(ErrorCode::invalid_value,
                           "local date-time " + describe(t) + " cannot be converted by mktime");
    }
    return static_cast<std::int64_t>(s);
}

// The offset at noon of t's day, and whether it holds from 30 hours before that day to 30
// hours after the `days`th day from it.
LocalTimeConverter::DayOffset day_offset(const LocalDateTime& t, std::int64_t day, int days = 1) {
    constexpr std::int64_t hour = 3600;
    const std::int64_t noon = day * 86400 + 12 * hour;
    const std::int64_t offset = noon - local_seconds(t, 12, 0, 0);
    const std::int64_t first = day * 86400 - offset - 30 * hour;
    const std::int64_t last = (day + days) * 86400 - offset + 30 * hour;
    for (std::int64_t s = first; s <= last; s += 6 * hour) {
        const auto instant = static_cast<std::time_t>(s);
        std::tm tm{};
        if (localtime_r(&instant, &tm) == nullptr || tm.tm_gmtoff != offset) {
            return {false, offset};
        }
    }
    return {true, offset};
}

}  // namespace

LocalTimeConverter::Month LocalTimeConverter::month_of(int year, int month) {
    // First the whole month in one pass: when the offset at noon of the first day holds
    // from 30 hours before the month to 30 hours after it, every day passes the test below
    // with that offset (their samples are among these, six hours apart in the same step),
    // at a third of the calls. Otherwise day by day.
    {
        const LocalDateTime noon{year, month, 1, 12, 0, 0, 0};
        const std::int64_t day1 = days_from_civil(year, month, 1);
        const DayOffset o = day_offset(noon, day1, days_in_month(year, month));
        if (o.uniform && o.offset_s >= INT32_MIN && o.offset_s <= INT32_MAX)
            return Month{static_cast<std::int32_t>(o.offset_s), 1};
    }
    Month m{0, 1};
    for (int d = 1; d <= days_in_month(year, month); ++d) {
        const LocalDateTime noon{year, month, d, 12, 0, 0, 0};
        const DayOffset o = day_offset(noon, days_from_civil(year, month, d));
        if (!o.uniform || (d > 1 && o.offset_s != m.offset_s) || o.offset_s < INT32_MIN ||
            o.offset_s > INT32_MAX)
            return Month{0, 2};
        m.offset_s = static_cast<std::int32_t>(o.offset_s);
    }
    return m;
}

std::int64_t LocalTimeConverter::to_micros(const LocalDateTime& t) {
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > days_in_month(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
        t.minute > 59 || t.second < 0 || t.second > 59 || t.microsecond < 0 ||
        t.microsecond > 999999) {
        throw IngressError(ErrorCode::invalid_value,
                           "local date-time " + describe(t) + " is not a calendar time");
    }
    const std::int64_t day = days_from_civil(t.year, t.month, t.day);
    const std::int64_t naive = day * 86400 + t.hour * 3600 + t.minute * 60 + t.second;

    Month& month = months_[static_cast<std::size_t>(t.year - 1) * 12 + (t.month - 1)];
    if (month.state == 0) month = month_of(t.year, t.month);
    if (month.state == 1) return (naive - month.offset_s) * 1000000 + t.microsecond;

    Slot& slot = recent_[static_cast<std::uint64_t>(day) % recent_.size()];
    if (slot.day != day) {
        auto found = days_.find(day);
        if (found == days_.end()) {
            if (days_.size() >= 100000) days_.clear();  // bound the memory of odd inputs
            found = days_.emplace(day, day_offset(t, day)).first;
        }
        slot = Slot{day, found->second};
    }
    const DayOffset& d = slot.offset;
    const std::int64_t seconds =
        d.uniform ? naive - d.offset_s : local_seconds(t, t.hour, t.minute, t.second);
    return seconds * 1000000 + t.microsecond;
}

}  // namespace ingress
