// The day cache of the normalisation must give what the mktime/localtime_r round trip gives,
// in zones with gaps, repeated hours, half-hour shifts and none at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "source/local_days.hpp"
#include "source/normalization.hpp"
#include "tests/support/civil_tm.hpp"
#include "tests/support/tz_guard.hpp"

namespace tessim {
namespace {

// The round trip itself, as the normalisation did it for every value before the cache.
CivilTime round_trip(const CivilTime& c) {
    std::tm tm = civil_tm(c);
    const std::time_t s = std::mktime(&tm);
    std::tm local{};
    localtime_r(&s, &local);
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            0};
}

TEST(LocalDays, CachedConversionMatchesMktimeRoundTripEveryHalfHourOverTransitionYears) {
    // Sao Paulo had DST until 2019 (midnight gaps); Lisbon shifts at 01:00/02:00; Lord Howe
    // shifts by half an hour; Apia skipped 30 December 2011 entirely.
    for (const char* zone :
         {"UTC", "America/Sao_Paulo", "Europe/Lisbon", "Australia/Lord_Howe", "Pacific/Apia"}) {
        TzGuard scope(zone);
        LocalDays dias;
        int differences = 0;
        for (int year : {2011, 2018, 2019}) {
            for (int month = 1; month <= 12; ++month) {
                for (int day = 1; day <= 31; ++day) {
                    if (day > 28 && month == 2) continue;
                    if (day == 31 && (month == 4 || month == 6 || month == 9 || month == 11))
                        continue;
                    for (int minutes = 0; minutes < 24 * 60; minutes += 30) {
                        const CivilTime c{year, month, day, minutes / 60, minutes % 60, 7, 123};
                        const Value got = local_datetime(Value::of_datetime(c), dias);
                        if (got.time() != round_trip(c) && ++differences <= 5)
                            ADD_FAILURE() << zone << " " << year << "-" << month << "-" << day
                                          << " minute " << minutes;
                    }
                }
            }
        }
        EXPECT_EQ(differences, 0) << zone;
    }
}

TEST(LocalDays, DaysAroundATransitionAreNotUniform) {
    TzGuard scope("America/Sao_Paulo");
    LocalDays dias;
    // 2018-11-04 00:00 did not exist in Sao Paulo; 2019-02-16 23:00 happened twice.
    EXPECT_FALSE(dia_uniforme(dias, 2018, 11, 4));
    EXPECT_FALSE(dia_uniforme(dias, 2019, 2, 16));
    EXPECT_TRUE(dia_uniforme(dias, 2018, 7, 15));
    // Not calendar dates, or outside the years the cache covers: always the slow path.
    EXPECT_FALSE(dia_uniforme(dias, 2019, 2, 29));
    EXPECT_FALSE(dia_uniforme(dias, 2019, 13, 1));
    EXPECT_FALSE(dia_uniforme(dias, 0, 1, 1));
    EXPECT_FALSE(dia_uniforme(dias, 10000, 1, 1));
}

}  // namespace
}  // namespace tessim
