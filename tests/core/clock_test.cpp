// The local clock must give exactly what mktime gives, also on days with a zone transition
// (Sao Paulo moved its clocks at midnight, Lisbon at 01:00/02:00, Lord Howe by half an hour,
// Apia skipped 30 December 2011 entirely).
#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <utility>

#include "core/clock.hpp"
#include "tests/support/civil_tm.hpp"
#include "tests/support/tz_guard.hpp"

namespace tessim {
namespace {

std::int64_t by_mktime(const CivilTime& t) {
    std::tm tm = civil_tm(t);
    return static_cast<std::int64_t>(std::mktime(&tm));
}

// A wall-clock time that a transition skips or repeats: mktime's answer for it depends on
// glibc's earlier calls, so only "one of the readings" can be checked.
bool skipped_or_repeated(const CivilTime& t) {
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

TEST(Calendar, DaysLeapYearsAndCalendarTimes) {
    EXPECT_EQ(days_from_civil(1970, 1, 1), 0);
    EXPECT_EQ(days_from_civil(2000, 3, 1), 11017);
    EXPECT_EQ(days_from_civil(1969, 12, 31), -1);
    EXPECT_EQ(days_from_civil(1, 1, 1), -719162);
    EXPECT_TRUE(is_leap_year(2000));
    EXPECT_TRUE(is_leap_year(2024));
    EXPECT_FALSE(is_leap_year(1900));
    EXPECT_FALSE(is_leap_year(2023));
    EXPECT_EQ(days_in_month(2024, 2), 29);
    EXPECT_EQ(days_in_month(2100, 2), 28);
    EXPECT_TRUE(is_calendar_time({2024, 2, 29, 23, 59, 59, 999999}));
    for (const CivilTime& t :
         {CivilTime{2023, 2, 29}, CivilTime{2021, 4, 31}, CivilTime{0, 1, 1},
          CivilTime{10000, 1, 1}, CivilTime{2021, 13, 1}, CivilTime{2021, 1, 1, 24},
          CivilTime{2021, 1, 1, 0, 0, 60}, CivilTime{2021, 1, 1, 0, 0, 0, 1000000}})
        EXPECT_FALSE(is_calendar_time(t)) << t.year << "-" << t.month << "-" << t.day;
}

TEST(LocalClock, KnownInstants) {
    {
        TzGuard tz("UTC");
        LocalClock clock;
        EXPECT_EQ(clock.epoch_seconds({2024, 2, 29, 13, 45, 30, 123456}), 1709214330);
        EXPECT_EQ(clock.epoch_seconds({1969, 12, 31, 23, 59, 59}), -1);
        EXPECT_EQ(clock.epoch_seconds({1900, 1, 1}), -2208988800);
    }
    TzGuard tz("America/Sao_Paulo");  // UTC-3, no daylight saving since 2019
    LocalClock clock;
    EXPECT_EQ(clock.epoch_seconds({2024, 2, 29, 13, 45, 30}), 1709225130);
}

TEST(LocalClock, AgreesWithMktimeAcrossTransitions) {
    for (const char* zone : {"America/Sao_Paulo", "Europe/Berlin", "Europe/Lisbon",
                             "Australia/Lord_Howe", "Pacific/Apia", "UTC"}) {
        TzGuard tz(zone);
        LocalClock clock;
        std::mt19937 rng(42);
        int checked = 0;
        auto agrees = [&](const CivilTime& t) {
            if (skipped_or_repeated(t)) {
                const auto got = clock.epoch_seconds(t);
                ASSERT_TRUE(got.has_value());
                EXPECT_NEAR(static_cast<double>(*got), static_cast<double>(by_mktime(t)), 3600);
                return;
            }
            ++checked;
            ASSERT_EQ(clock.epoch_seconds(t), by_mktime(t))
                << zone << " " << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":"
                << t.minute;
        };
        // Every quarter hour of the transition days of 2018 in Sao Paulo and Berlin, and of
        // Apia's skipped day.
        const CivilTime days[] = {{2018, 11, 4}, {2018, 2, 17}, {2018, 3, 25}, {2018, 10, 28},
                                  {2018, 4, 1},  {2018, 10, 7}, {2011, 12, 30}};
        for (const auto& d : days) {
            for (int m = 0; m < 24 * 60; m += 15) {
                CivilTime t = d;
                t.hour = m / 60;
                t.minute = m % 60;
                t.second = 17;
                agrees(t);
            }
        }
        // Every day of months with a transition: the days before and after it take the
        // month's two offsets, the days right around it the slow path.
        for (const auto& [year, month] :
             {std::pair{2018, 11}, std::pair{2019, 2}, std::pair{2018, 3}, std::pair{2018, 10},
              std::pair{2018, 4}, std::pair{2011, 12}}) {
            for (int day = 1; day <= days_in_month(year, month); ++day)
                for (int hour = 1; hour < 24; hour += 3) agrees({year, month, day, hour, 40, 0, 0});
        }
        // Random times over 1960..2040, and fields outside the calendar, which mktime carries
        // over.
        for (int i = 0; i < 20000; ++i) {
            agrees({1960 + static_cast<int>(rng() % 80), 1 + static_cast<int>(rng() % 12),
                    1 + static_cast<int>(rng() % 28), static_cast<int>(rng() % 24),
                    static_cast<int>(rng() % 60), static_cast<int>(rng() % 60)});
        }
        for (const CivilTime& t :
             {CivilTime{2021, 4, 31, 10}, CivilTime{0, 5, 10}, CivilTime{2019, 2, 29, 12}})
            agrees(t);
        EXPECT_GT(checked, 20000) << zone;
    }
}

}  // namespace
}  // namespace tessim
