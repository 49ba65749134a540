#include "core/clock.hpp"

#include <cstdio>
#include <ctime>

namespace tessim {
namespace {

constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 24 * kHour;

std::optional<std::int64_t> by_mktime(const CivilTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    // mktime returns -1 both for failure and for 1969-12-31 23:59:59 UTC; only a successful
    // call fills in the weekday.
    tm.tm_wday = -1;
    const std::time_t seconds = std::mktime(&tm);
    if (seconds == static_cast<std::time_t>(-1) && tm.tm_wday == -1) return std::nullopt;
    return static_cast<std::int64_t>(seconds);
}

// The offset (naive minus epoch seconds) that holds from 30 hours before day `first` (days
// since 1970-01-01) to 30 hours after the `days`th day from it, sampled every six hours;
// nullopt when it changes in between. A whole month passes exactly when each of its days
// would: their samples are among the month's, in the same six-hour step.
std::optional<std::int32_t> one_offset(std::int64_t first, std::int64_t days) {
    // The offset near the first day: naive noon read as UTC is at most a day from local noon.
    const auto noon = static_cast<std::time_t>(first * kDay + 12 * kHour);
    std::tm tm{};
    if (localtime_r(&noon, &tm) == nullptr) return std::nullopt;
    const std::int64_t offset = tm.tm_gmtoff;
    const std::int64_t last = (first + days) * kDay - offset + 30 * kHour;
    for (std::int64_t s = first * kDay - offset - 30 * kHour; s <= last; s += 6 * kHour) {
        const auto instant = static_cast<std::time_t>(s);
        if (localtime_r(&instant, &tm) == nullptr || tm.tm_gmtoff != offset) return std::nullopt;
    }
    return static_cast<std::int32_t>(offset);
}

}  // namespace

std::string civil_text(const CivilTime& t, CivilForm form) {
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
    if (form != CivilForm::date)
        n += std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), " %02d:%02d:%02d",
                           t.hour, t.minute, t.second);
    if (form == CivilForm::date_time_micros || (form == CivilForm::date_time && t.microsecond))
        std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), ".%06d", t.microsecond);
    return buf;
}

bool is_leap_year(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

bool is_calendar_time(const CivilTime& t) {
    return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= days_in_month(t.year, t.month) && t.hour >= 0 && t.hour <= 23 &&
           t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59 &&
           t.microsecond >= 0 && t.microsecond <= 999999;
}

std::int64_t days_from_civil(int year, int month, int day) noexcept {
    // Counting years from March puts the leap day at the end of the year.
    const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::optional<std::int64_t> LocalClock::epoch_seconds(const CivilTime& t) {
    if (!is_calendar_time(t)) return by_mktime(t);
    const std::int64_t day = days_from_civil(t.year, t.month, t.day);
    const std::int64_t naive = day * kDay + t.hour * kHour + t.minute * 60 + t.second;

    if (months_.empty()) months_.resize(9999 * 12);
    Span& month = months_[static_cast<std::size_t>(t.year - 1) * 12 + (t.month - 1)];
    if (month.state == 0) {
        if (const auto offset = one_offset(day - (t.day - 1), days_in_month(t.year, t.month))) {
            month = Span{*offset, 1};
        } else {
            month = Span{static_cast<std::int32_t>(split_months_.size()), 2};
            split_months_.emplace_back();
        }
    }
    if (month.state == 1) return naive - month.offset;

    Span& one_day = split_months_[static_cast<std::size_t>(month.offset)][t.day - 1];
    if (one_day.state == 0) {
        const auto offset = one_offset(day, 1);
        one_day = offset ? Span{*offset, 1} : Span{0, 2};
    }
    if (one_day.state == 1) return naive - one_day.offset;
    return by_mktime(t);
}

}  // namespace tessim
