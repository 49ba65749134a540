#pragma once
// Calendar dates and the local time zone, in one place.
//
// A wall time becomes an instant as mktime makes it (tm_isdst = -1). glibc's mktime re-reads
// the zone (a stat of /etc/localtime) on every call, far too slow for millions of dates, so
// LocalClock first asks whether a whole month lies well inside one UTC offset: the offset at
// noon of its first day, checked with localtime_r every six hours from 30 hours before the
// month to 30 hours after it (more than any two of a zone's offsets differ, so no other
// offset can claim a time of the month). In such a month every wall time is the naive time
// minus that offset, which is mktime's answer too. A month with a transition is looked at day
// by day the same way, and only the days next to the transition (gaps, repeated hours) go to
// mktime value by value. Birth dates spread over tens of thousands of days but only about a
// thousand months, which is why the months come first.
//
// The zone is read as it is when a month or day is first seen: a LocalClock must not outlive
// a change of TZ.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessim {

// Calendar fields of a date or date-time, without a time zone. A date has the time at zero.
struct CivilTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int microsecond = 0;
    bool operator==(const CivilTime&) const = default;
};

// How a civil time reads in messages and views: "2021-03-05"; "2021-03-05 14:07:09", with
// ".ffffff" only when it has microseconds; or always with them.
enum class CivilForm : unsigned char { date, date_time, date_time_micros };
std::string civil_text(const CivilTime& t, CivilForm form);

bool is_leap_year(int year);
// Days of `month` (1..12) in `year`.
int days_in_month(int year, int month);
// A time of a day the calendar has, in years 1..9999 (no leap second).
bool is_calendar_time(const CivilTime& t);
// Days since 1970-01-01 of a proleptic Gregorian date (no validation).
std::int64_t days_from_civil(int year, int month, int day) noexcept;

class LocalClock {
  public:
    // Seconds since the epoch of the wall time `t` in the local zone (its microseconds are not
    // added), as mktime gives them with tm_isdst = -1: a time that a transition skips or
    // repeats gets mktime's own answer, and so do fields outside the calendar (mktime carries
    // them over). nullopt when mktime cannot convert `t`.
    std::optional<std::int64_t> epoch_seconds(const CivilTime& t);

  private:
    // One offset over a whole month or a day and well around it, once looked at.
    struct Span {
        std::int32_t offset = 0;  // naive seconds minus epoch seconds when uniform; for a
                                  // month with a transition, its index in split_months_
        std::int8_t state = 0;    // 0 not looked at, 1 uniform, 2 not uniform
    };
    // Every month of years 1..9999, allocated when the first time is converted.
    std::vector<Span> months_;
    // The days of the months with a transition.
    std::vector<std::array<Span, 31>> split_months_;
};

}  // namespace tessim
