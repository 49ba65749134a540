#pragma once
// Local wall-clock fields to microseconds since the epoch, with the answer mktime gives.
//
// glibc's mktime re-reads the zone (a stat of /etc/localtime) on every call, far too slow
// for millions of values. The converter asks mktime once per calendar day: when the UTC
// offset at the first and at the last second of the day agree, the day has no zone
// transition and every time in it is the naive time minus that offset; days with a
// transition go to mktime value by value.

#include <array>
#include <cstdint>

#include "ingress/column_value.hpp"

namespace ingress {

class LocalTimeConverter {
  public:
    // Throws IngressError(invalid_value) for fields outside the calendar (month 13,
    // 31 April, hour 24, second 60, microsecond 1000000, year outside 1..9999) and for a
    // time that mktime cannot convert.
    std::int64_t to_micros(const LocalDateTime& t);

  private:
    struct DayOffset {
        std::int64_t day = INT64_MIN;  // days since 1970-01-01 of the cached day
        bool uniform = false;          // no transition inside the day
        std::int64_t offset_s = 0;     // naive seconds minus epoch seconds
    };
    std::array<DayOffset, 64> cache_{};
};

// Days since 1970-01-01 of a proleptic Gregorian date (no validation).
std::int64_t days_from_civil(int year, int month, int day) noexcept;

}  // namespace ingress
