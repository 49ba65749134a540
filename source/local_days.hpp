#pragma once
// Which calendar days lie well inside one UTC offset of the local time zone.
//
// The normalisation sends every date through mktime and back through localtime_r. glibc's
// mktime re-reads the zone (a stat of /etc/localtime) on every call, which made that round
// trip the largest CPU cost of a run. On a day with one offset from 30 hours before it to
// 30 hours after it, the round trip gives back the very fields it was given (no gap, no
// repeated hour), so only the days near a transition need the two calls. The answer for a
// day is worked out once and remembered; the zone is read as it is when a day is first
// seen, so a LocalDays must not outlive a change of TZ.

#include <cstdint>
#include <vector>

namespace tessim {

struct LocalDays {
    // One word per month of years 1-9999: bit 63 says the month has been looked at, bit
    // d-1 that day d is uniform. Birth dates span decades, so a run touches tens of
    // thousands of days but only about a thousand months: the words that matter stay in
    // the processor's cache, which a table per day did not.
    std::vector<std::uint64_t> months = std::vector<std::uint64_t>(9999 * 12);
};

// True when year-month-day is a calendar date of years 1-9999 whose local offset holds
// from 30 hours before the day to 30 hours after it.
bool dia_uniforme(LocalDays& dias, int year, int month, int day);

}  // namespace tessim
