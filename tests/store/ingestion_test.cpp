// The pieces of the ingestion phase that need no server: the conversion of each value into
// the form its column's declared type accepts, the sender configuration text, and the run
// timestamp.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/time.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/failure.hpp"
#include "ingress/errors.hpp"
#include "store/ingestion.hpp"
#include "tests/ingress/rows.hpp"
#include "tests/support/tz_guard.hpp"

namespace tessim {
namespace {

using ::testing::HasSubstr;

// What a ColumnValue carries, in a form that gtest can compare and print.
std::string describe_column_value(const ingress_test::ColumnValue& c) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, ingress_test::Null>) {
                return "null";
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return "int " + std::to_string(v);
            } else if constexpr (std::is_same_v<T, double>) {
                char buf[64];
                std::snprintf(buf, sizeof buf, "double %.17g", v);
                return buf;
            } else if constexpr (std::is_same_v<T, ingress::Decimal>) {
                return "decimal " + std::string(v.bytes);
            } else if constexpr (std::is_same_v<T, ingress::Text>) {
                return "text '" + std::string(v.bytes) + "'";
            } else if constexpr (std::is_same_v<T, ingress::TimestampMicros>) {
                return "micros " + std::to_string(v.as_i64());
            } else {
                return "nanos " + std::to_string(v.as_i64());
            }
        },
        c.get());
}

// Values whose text lives in string literals (static storage), so the views stay valid.
Value text_value(std::string_view s) {
    return Value::of_text(s);
}
Value decimal(std::string_view s) {
    return Value::of_decimal(s);
}

struct Case {
    const char* name;
    Value value;
    std::string type;
    std::optional<std::string> expected;  // nullopt: refused
};

// One value in the form a column declared as `type` takes, through the conversions the rows
// use; texts made by the conversion live in `scratch`.
ingress_test::ColumnValue value_for_column(const Value& value, std::string_view type,
                                           std::string& scratch) {
    if (value.is_null()) return ingress_test::Null{};
    std::optional<ingress_test::ColumnValue> converted;
    auto keep = [&](auto form) {
        if constexpr (std::is_same_v<decltype(form), MadeText>) {
            scratch.assign(form.bytes);
            converted.emplace(ingress::Text{scratch});
        } else if constexpr (std::is_same_v<decltype(form), LocalWallTime>) {
            LocalClock clock;
            converted.emplace(ingress::TimestampMicros(local_micros(form.t, clock)));
        } else {
            converted.emplace(form);
        }
    };
    const IntRange range = int_range(type).value_or(IntRange{0, 0});
    if (!convert_for(value, family_of(type), range, keep)) does_not_fit(value, type);
    return *converted;
}

std::string convert(const Value& v, const std::string& type) {
    std::string scratch;
    const ingress_test::ColumnValue c = value_for_column(v, type, scratch);
    return describe_column_value(c);
}

void check_cases(const std::vector<Case>& cases) {
    for (const Case& test_case : cases) {
        SCOPED_TRACE(std::string(test_case.name) + " -> " + test_case.type);
        if (test_case.expected) {
            EXPECT_EQ(convert(test_case.value, test_case.type), *test_case.expected);
        } else {
            std::string scratch;
            EXPECT_THROW(value_for_column(test_case.value, test_case.type, scratch), ValueRefused);
        }
    }
}

constexpr auto kRefused = std::nullopt;

TEST(ValueForColumn, NullReachesEveryColumnAsNull) {
    for (const char* type : {"INT", "LONG", "SHORT", "BYTE", "DOUBLE", "FLOAT", "STRING", "VARCHAR",
                             "SYMBOL", "TIMESTAMP", "DATE", "UUID", "BOOLEAN"}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(convert(Value::null(), type), "null");
    }
}

TEST(ValueForColumn, IntegerColumnsTakeExactIntegersWithinTheirRange) {
    // The smallest value of INT and LONG is QuestDB's null for those types: it would come
    // back as null, so it is out of range like anything beyond the limits.
    check_cases({
        {"integer", Value::of_integer(42), "INT", "int 42"},
        {"negative", Value::of_integer(-7), "INT", "int -7"},
        {"INT max", Value::of_integer(2147483647), "INT", "int 2147483647"},
        {"INT min + 1", Value::of_integer(-2147483647), "INT", "int -2147483647"},
        {"INT min is null", Value::of_integer(-2147483648LL), "INT", kRefused},
        {"INT max + 1", Value::of_integer(2147483648LL), "INT", kRefused},
        {"LONG big", Value::of_integer(9223372036854775807LL), "LONG", "int 9223372036854775807"},
        {"LONG min is null", Value::of_integer(INT64_MIN), "LONG", kRefused},
        {"LONG min + 1", Value::of_integer(INT64_MIN + 1), "LONG", "int -9223372036854775807"},
        {"SHORT max", Value::of_integer(32767), "SHORT", "int 32767"},
        {"SHORT min", Value::of_integer(-32768), "SHORT", "int -32768"},
        {"SHORT over", Value::of_integer(32768), "SHORT", kRefused},
        {"SHORT under", Value::of_integer(-32769), "SHORT", kRefused},
        {"BYTE max", Value::of_integer(127), "BYTE", "int 127"},
        {"BYTE min", Value::of_integer(-128), "BYTE", "int -128"},
        {"BYTE over", Value::of_integer(128), "BYTE", kRefused},
        {"BYTE under", Value::of_integer(-129), "BYTE", kRefused},
    });
}

TEST(ValueForColumn, IntegerColumnsTakeTextDecimalAndDoubleOnlyWhenExact) {
    check_cases({
        {"text digits", text_value("42"), "INT", "int 42"},
        {"text negative", text_value("-42"), "INT", "int -42"},
        {"text plus", text_value("+42"), "INT", "int 42"},
        {"text zero", text_value("0"), "INT", "int 0"},
        {"text empty", text_value(""), "INT", kRefused},
        {"text word", text_value("ativo"), "INT", kRefused},
        {"text blanks", text_value(" 42"), "INT", kRefused},
        {"text fraction", text_value("4.2"), "INT", kRefused},
        {"text trailing junk", text_value("42x"), "INT", kRefused},
        {"text double sign", text_value("+-42"), "INT", kRefused},
        {"text sign only", text_value("+"), "INT", kRefused},
        {"text over INT", text_value("2147483648"), "INT", kRefused},
        {"text INT min", text_value("-2147483648"), "INT", kRefused},
        {"text beyond LONG", text_value("99999999999999999999"), "LONG", kRefused},
        {"text for BYTE", text_value("100"), "BYTE", "int 100"},
        {"text over BYTE", text_value("300"), "BYTE", kRefused},
        {"decimal whole", decimal("12.00"), "INT", "int 12"},
        {"decimal negative whole", decimal("-12.00"), "INT", "int -12"},
        {"decimal zero", decimal("0.00"), "INT", "int 0"},
        {"decimal negative zero", decimal("-0.00"), "INT", "int 0"},
        {"decimal no point", decimal("7"), "INT", "int 7"},
        {"decimal fraction", decimal("12.50"), "INT", kRefused},
        {"decimal tiny fraction", decimal("12.01"), "INT", kRefused},
        {"decimal over INT", decimal("2147483648.00"), "INT", kRefused},
        {"double whole", Value::of_double(12.0), "INT", "int 12"},
        {"double negative zero", Value::of_double(-0.0), "INT", "int 0"},
        {"double fraction", Value::of_double(12.5), "INT", kRefused},
        {"double NaN", Value::of_double(std::nan("")), "INT", kRefused},
        {"double inf", Value::of_double(INFINITY), "LONG", kRefused},
        {"double 2^63", Value::of_double(9223372036854775808.0), "LONG", kRefused},
        {"double over SHORT", Value::of_double(40000.0), "SHORT", kRefused},
        {"date", Value::of_date(2021, 3, 5), "INT", kRefused},
        {"datetime", Value::of_datetime({2021, 3, 5, 14, 7, 9, 0}), "LONG", kRefused},
    });
}

TEST(ValueForColumn, DoubleColumnsTakeNumbersAndNumericTexts) {
    check_cases({
        {"double", Value::of_double(99.9), "DOUBLE", "double 99.900000000000006"},
        {"double zero", Value::of_double(0.0), "DOUBLE", "double 0"},
        // An exact decimal travels as its digits; the client sends the nearest double.
        {"decimal", decimal("159.80"), "DOUBLE", "decimal 159.80"},
        {"decimal zero", decimal("0"), "DOUBLE", "decimal 0"},
        {"integer", Value::of_integer(250), "DOUBLE", "double 250"},
        {"integer 2^53", Value::of_integer(9007199254740992LL), "DOUBLE",
         "double 9007199254740992"},
        {"integer 2^53 + 1", Value::of_integer(9007199254740993LL), "DOUBLE", kRefused},
        {"integer -2^53 - 1", Value::of_integer(-9007199254740993LL), "DOUBLE", kRefused},
        {"text number", text_value("12.5"), "DOUBLE", "double 12.5"},
        {"text negative", text_value("-3"), "DOUBLE", "double -3"},
        {"text word", text_value("doze"), "DOUBLE", kRefused},
        {"text empty", text_value(""), "DOUBLE", kRefused},
        {"text nan", text_value("nan"), "DOUBLE", kRefused},
        {"text huge", text_value("1e400"), "DOUBLE", kRefused},
        {"double for FLOAT", Value::of_double(1.5), "FLOAT", "double 1.5"},
        {"date", Value::of_date(2021, 3, 5), "DOUBLE", kRefused},
    });
}

TEST(ValueForColumn, TextColumnsTakeTextsAndTheDecimalTextOfNumbers) {
    for (const char* type : {"STRING", "VARCHAR", "SYMBOL"}) {
        SCOPED_TRACE(type);
        check_cases({
            {"text", text_value("João \"Zé\", O'Brien"), type, "text 'João \"Zé\", O'Brien'"},
            {"empty text stays empty", text_value(""), type, "text ''"},
            {"integer 0", Value::of_integer(0), type, "text '0'"},
            {"integer", Value::of_integer(12345678901LL), type, "text '12345678901'"},
            {"negative integer", Value::of_integer(-5), type, "text '-5'"},
            {"decimal keeps its digits", decimal("99.90"), type, "text '99.90'"},
            {"double", Value::of_double(0.1), type, "text '0.1'"},
            {"double NaN", Value::of_double(std::nan("")), type, kRefused},
            {"date", Value::of_date(2021, 3, 5), type, kRefused},
            {"datetime", Value::of_datetime({2021, 3, 5, 14, 7, 9, 0}), type, kRefused},
        });
    }
}

TEST(ValueForColumn, TimestampColumnsTakeOnlyDatesAndDateTimes) {
    // Dates as read go through the local zone; normalised ones are instants already.
    TzGuard tz("UTC");
    check_cases({
        {"date", Value::of_date(2021, 3, 5), "TIMESTAMP", "micros 1614902400000000"},
        {"datetime", Value::of_datetime({1965, 12, 31, 23, 59, 58, 250000}), "TIMESTAMP",
         "micros -126230401750000"},
        {"date for DATE", Value::of_date(2021, 3, 5), "DATE", "micros 1614902400000000"},
        {"instant", Value::of_instant(-5), "TIMESTAMP", "micros -5"},
        {"instant for INT", Value::of_instant(5), "INT", kRefused},
        {"integer", Value::of_integer(1700000000), "TIMESTAMP", kRefused},
        {"text", text_value("2021-03-05"), "TIMESTAMP", kRefused},
        {"double", Value::of_double(1.0), "TIMESTAMP", kRefused},
    });
}

TEST(ValueForColumn, UnknownTypesGetTheValueAsItIs) {
    // Whether the server takes it is the server's business: its refusal is an ingestion
    // failure, not a conversion of ours.
    TzGuard tz("UTC");
    check_cases({
        {"text for UUID", text_value("not-a-uuid"), "UUID", "text 'not-a-uuid'"},
        {"integer for BOOLEAN", Value::of_integer(1), "BOOLEAN", "int 1"},
        {"decimal for GEOHASH", decimal("1.50"), "GEOHASH(8c)", "decimal 1.50"},
        {"double for CHAR", Value::of_double(2.5), "CHAR", "double 2.5"},
        {"date for LONG256", Value::of_date(2020, 1, 2), "LONG256", "micros 1577923200000000"},
        // Type names are QuestDB's upper-case names; another spelling is not recognised.
        {"integer for lower-case int", Value::of_integer(3), "int", "int 3"},
    });
}

TEST(ValueForColumn, MadeTextsLiveInTheScratchUntilItIsReused) {
    std::string scratch;
    const ingress_test::ColumnValue c = value_for_column(Value::of_integer(77), "STRING", scratch);
    EXPECT_EQ(scratch, "77");
    EXPECT_EQ(std::get<ingress::Text>(c.get()).bytes.data(), scratch.data());
}

TEST(ValueForColumn, MessageDescribesTheRefusedValueAndTheColumnType) {
    std::string scratch;
    try {
        value_for_column(text_value("12a"), "INT", scratch);
        FAIL() << "no ValueRefused";
    } catch (const ValueRefused& e) {
        EXPECT_THAT(e.what(), HasSubstr("12a"));
        EXPECT_THAT(e.what(), HasSubstr("INT"));
    }
}

TEST(WriteRow, ADateOutsideTheCalendarIsRefusedNamingContractAndColumn) {
    TzGuard tz("UTC");
    const RowPlan plan = plan_rows({}, 0);
    CustomerRecord record{};
    record[idServico] = Value::of_integer(7);
    record[dataCadastro] = Value::of_datetime({0, 5, 10, 0, 0, 0, 0});
    ingress::RowChecker checker(plan.shape);
    try {
        write_row(plan, record, checker);
        FAIL() << "no ValueRefused";
    } catch (const ValueRefused& e) {
        EXPECT_EQ(e.by(), ValueRefused::By::clock);
        EXPECT_EQ(e.contract(), "7");
        EXPECT_EQ(e.column(), "dataCadastro");
        EXPECT_STREQ(e.what(), "local date-time 0000-05-10 00:00:00.000000 is not a calendar time");
    }
}

TEST(SenderConfText, IpAndPortGoInAsGiven) {
    EXPECT_EQ(sender_conf("127.0.0.1", "9000"),
              "http::addr=127.0.0.1:9000;username=brantevika;password=sentinelQT;");
    EXPECT_EQ(sender_conf("questdb.example", "19009"),
              "http::addr=questdb.example:19009;username=brantevika;password=sentinelQT;");
    // Nothing is checked or normalised here: the client judges the address.
    EXPECT_EQ(sender_conf("", ""), "http::addr=:;username=brantevika;password=sentinelQT;");
}

std::int64_t clock_ns() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return std::int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

// Is `value` what the double computation gives for some microsecond of some second?
bool comes_from_microseconds(std::int64_t value) {
    const std::int64_t whole_seconds = value / 1000000000;
    for (std::int64_t s = whole_seconds - 1; s <= whole_seconds; ++s) {
        const std::int64_t us0 = (value - s * 1000000000) / 1000;
        for (std::int64_t us = us0 - 2; us <= us0 + 2; ++us) {
            if (us < 0 || us >= 1000000) continue;
            const double epoch = static_cast<double>(s) + static_cast<double>(us) / 1000000.0;
            if (static_cast<std::int64_t>(epoch * 1000000000.0) == value) return true;
        }
    }
    return false;
}

TEST(GetTimestamp, IsTheClockInNanosecondsWhateverTheTimeZone) {
    // Zones with and without summer time now (December), a half-hour one and a 30-minute
    // summer shift: a round trip through the wrong offset would be off by half an hour or more.
    for (const char* zone : {"UTC", "America/Sao_Paulo", "Asia/Kolkata", "Australia/Lord_Howe",
                             "Europe/Lisbon", "America/New_York", "Pacific/Chatham"}) {
        SCOPED_TRACE(zone);
        TzGuard tz(zone);
        const std::int64_t before = clock_ns();
        const std::int64_t value = get_timestamp();
        const std::int64_t after = clock_ns();
        // A microsecond's truncation and a double's rounding can put it just below `before`.
        EXPECT_GE(value, before - 2000);
        EXPECT_LE(value, after + 2000);
    }
}

TEST(GetTimestamp, CarriesTheRoundingOfADouble) {
    std::vector<std::int64_t> values;
    for (int i = 0; i < 200; ++i) values.push_back(get_timestamp());
    int multiples_of_1000 = 0;
    for (std::int64_t v : values) {
        SCOPED_TRACE(v);
        // Present-day epoch nanoseconds lie between 2^60 and 2^61, where neighbouring doubles
        // are 2^8 apart: every value is a multiple of 256.
        ASSERT_GE(v, std::int64_t{1} << 60);
        ASSERT_LT(v, std::int64_t{1} << 61);
        EXPECT_EQ(v % 256, 0);
        EXPECT_TRUE(comes_from_microseconds(v));
        if (v % 1000 == 0) ++multiples_of_1000;
    }
    // So the value is not the microseconds followed by three zeros (a multiple of both 256
    // and 1000 is a multiple of 32000: one value in 32 by chance).
    EXPECT_LT(multiples_of_1000, 40);
}

}  // namespace
}  // namespace tessim
