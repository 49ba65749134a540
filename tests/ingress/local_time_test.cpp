// The day cache of the local-time converter must give exactly what mktime gives, also on
// days with a zone transition (Sao Paulo moved its clocks at midnight; Lord Howe by half
// an hour).
#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <utility>

#include "ingress/errors.hpp"
#include "ingress/local_time.hpp"
#include "tests/support/civil_tm.hpp"
#include "tests/support/tz_guard.hpp"

namespace {

using namespace ingress;

std::int64_t by_mktime(const LocalDateTime& t) {
    std::tm tm = civil_tm(t);
    return static_cast<std::int64_t>(std::mktime(&tm)) * 1000000 + t.microsecond;
}

// A wall-clock time that a transition skips or repeats: mktime's answer for it depends on
// glibc's earlier calls, so only "one of the readings" can be checked.
bool skipped_or_repeated(const LocalDateTime& t) {
    int readings = 0;
    for (int isdst : {0, 1}) {
        std::tm tm = civil_tm(t, isdst);
        const std::time_t s = std::mktime(&tm);
        std::tm back{};
        localtime_r(&s, &back);
        if (back.tm_hour == t.hour && back.tm_min == t.minute && back.tm_mday == t.day &&
            back.tm_isdst == isdst) {
            ++readings;
        }
    }
    return readings != 1;
}

TEST(LocalTime, DaysFromCivil) {
    EXPECT_EQ(days_from_civil(1970, 1, 1), 0);
    EXPECT_EQ(days_from_civil(2000, 3, 1), 11017);
    EXPECT_EQ(days_from_civil(1969, 12, 31), -1);
    EXPECT_EQ(days_from_civil(1, 1, 1), -719162);
}

TEST(LocalTime, AgreesWithMktimeAcrossTransitions) {
    for (const char* zone : {"America/Sao_Paulo", "Europe/Berlin", "Australia/Lord_Howe", "UTC"}) {
        TzGuard tz(zone);
        LocalTimeConverter conv;
        std::mt19937 rng(42);
        // Every half hour of the transition days of 2018 in Sao Paulo and Berlin, plus random
        // instants spread over 1960..2040.
        const LocalDateTime days[] = {{2018, 11, 4},  {2018, 2, 17}, {2018, 3, 25},
                                      {2018, 10, 28}, {2018, 4, 1},  {2018, 10, 7}};
        for (const auto& d : days) {
            for (int m = 0; m < 24 * 60; m += 15) {
                LocalDateTime t = d;
                t.hour = m / 60;
                t.minute = m % 60;
                t.second = 17;
                t.microsecond = 5;
                if (skipped_or_repeated(t)) {
                    EXPECT_NEAR(static_cast<double>(conv.to_micros(t)),
                                static_cast<double>(by_mktime(t)), 3600e6);
                    continue;
                }
                EXPECT_EQ(conv.to_micros(t), by_mktime(t))
                    << zone << " " << t.year << "-" << t.month << "-" << t.day << " " << t.hour
                    << ":" << t.minute;
            }
        }
        // Every day of months with a transition: the days before and after it take the
        // month's two offsets, the days right around it the slow path.
        for (const auto& [year, month] :
             {std::pair{2018, 11}, std::pair{2019, 2}, std::pair{2018, 3}, std::pair{2018, 10},
              std::pair{2018, 4}}) {
            for (int day = 1; day <= 30; ++day) {
                for (int hour = 1; hour < 24; hour += 3) {
                    const LocalDateTime t{year, month, day, hour, 40, 0, 0};
                    if (skipped_or_repeated(t)) continue;
                    ASSERT_EQ(conv.to_micros(t), by_mktime(t))
                        << zone << " " << year << "-" << month << "-" << day << " " << hour;
                }
            }
        }
        for (int i = 0; i < 20000; ++i) {
            LocalDateTime t{1960 + static_cast<int>(rng() % 80), 1 + static_cast<int>(rng() % 12),
                            1 + static_cast<int>(rng() % 28),    static_cast<int>(rng() % 24),
                            static_cast<int>(rng() % 60),        static_cast<int>(rng() % 60),
                            static_cast<int>(rng() % 1000000)};
            if (skipped_or_repeated(t)) continue;
            ASSERT_EQ(conv.to_micros(t), by_mktime(t))
                << zone << " " << t.year << "-" << t.month << "-" << t.day << " " << t.hour;
        }
    }
}

}  // namespace
