#pragma once
// A wall-clock time (any struct with year, month, day, hour, minute and second fields) as the
// C library's broken-down time, for tests that check our own conversions against mktime.
#include <ctime>

template <class Civil>
std::tm civil_tm(const Civil& t, int isdst = -1) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = isdst;
    return tm;
}
