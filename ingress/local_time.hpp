#pragma once
// Local wall-clock fields to microseconds since the epoch, with the answer mktime gives.
//
// glibc's mktime re-reads the zone (a stat of /etc/localtime) on every call, far too slow
// for millions of values. The converter works out once per calendar day whether the day
// lies well inside one UTC offset: the offset at noon is checked with localtime_r every six
// hours from 30 hours before the day to 30 hours after it (more than any zone's offsets
// differ, so no other offset can claim a time of the day). On such a day every time is the
// naive time minus that offset, which is what mktime answers too; days near a transition
// (gaps, repeated hours) go to mktime value by value.
//
// The zone is read as it is when a day is first seen: a converter must not outlive a
// change of TZ.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "ingress/column_value.hpp"

namespace ingress {

class LocalTimeConverter {
  public:
    // Throws IngressError(invalid_value) for fields outside the calendar (month 13,
    // 31 April, hour 24, second 60, microsecond 1000000, year outside 1..9999) and for a
    // time that mktime cannot convert.
    std::int64_t to_micros(const LocalDateTime& t);

    struct DayOffset {
        bool uniform = false;       // one offset over the whole day and well around it
        std::int64_t offset_s = 0;  // naive seconds minus epoch seconds
    };

  private:
    // Whole months first: birth dates spread values over tens of thousands of days, whose
    // slots below miss the processor's cache on almost every value, while they fall in only
    // about a thousand months. A month whose every day is uniform with one offset is
    // answered from here.
    struct Month {
        std::int32_t offset_s = 0;
        std::int8_t state = 0;  // 0 not looked at, 1 uniform with offset_s, 2 not uniform
    };
    Month month_of(int year, int month);
    std::vector<Month> months_ = std::vector<Month>(9999 * 12);

    struct Slot {
        std::int64_t day = INT64_MIN;
        DayOffset offset;
    };
    // A direct-mapped front for the map: most runs touch a few thousand days.
    std::vector<Slot> recent_ = std::vector<Slot>(8192);
    std::unordered_map<std::int64_t, DayOffset> days_;  // key: days since 1970-01-01
};

// Days since 1970-01-01 of a proleptic Gregorian date (no validation).
std::int64_t days_from_civil(int year, int month, int day) noexcept;

}  // namespace ingress
