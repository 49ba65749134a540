// Name validation, UTF-8 validation, and the compile-time guards against accidental
// conversions in the value and timestamp types.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <type_traits>

#include "ingress/errors.hpp"
#include "ingress/line_encoder.hpp"
#include "ingress/names.hpp"
#include "ingress/row_writer.hpp"
#include "utf8/utf8.hpp"

namespace {

using namespace ingress;

// A value kind that C++ would otherwise convert silently must not compile.
template <class T>
concept column_takes = requires(RowWriter& r, T v) {
    r.column(0, v);
};
static_assert(!column_takes<bool> && !column_takes<std::uint64_t> &&
              !column_takes<unsigned long long> && !column_takes<long double> &&
              !column_takes<const char*> && !column_takes<std::string> &&
              !column_takes<std::string_view>);
static_assert(column_takes<int> && column_takes<std::int64_t> && column_takes<std::uint32_t> &&
              column_takes<double> && column_takes<Text>);
static_assert(!std::is_constructible_v<Text, std::string&&>);
static_assert(!std::is_constructible_v<Decimal, std::string&&>);
static_assert(!std::is_constructible_v<TimestampNanos, double>);
static_assert(!std::is_constructible_v<TimestampNanos, bool>);
static_assert(!std::is_convertible_v<std::int64_t, TimestampNanos>);
static_assert(!std::is_constructible_v<TimestampMicros, double>);
static_assert(!std::is_constructible_v<TableName, std::nullptr_t>);
static_assert(!std::is_constructible_v<TableName, std::string&&>);
static_assert(!std::is_constructible_v<ColumnName, std::string&&>);
// A bool given as a row time, or a row time given as a value of the wrong unit.
template <class T>
concept row_time = requires(LineEncoder& e, RowWriter& r, T t) {
    e.end_row(r, t);
};
static_assert(row_time<TimestampNanos>);
static_assert(!row_time<bool>);
static_assert(!row_time<double>);
static_assert(!row_time<std::int64_t>);
static_assert(!row_time<TimestampMicros>);

TEST(Utf8, AcceptsWellFormedAndFindsFirstBadByte) {
    struct Case {
        std::string bytes;
        std::size_t bad;  // npos: valid
    };
    const std::size_t ok = std::string_view::npos;
    const Case cases[] = {
        {"", ok},
        {"plain ascii text that is longer than eight bytes", ok},
        {"S\xC3\xA3o Jo\xC3\xA3o", ok},  // São João
        {"\xE2\x82\xAC", ok},            // €
        {"\xF0\x9F\x98\x80", ok},        // emoji
        {"\xF4\x8F\xBF\xBF", ok},        // U+10FFFF
        {"abcdefgh\xC3", 8},             // cut short
        {"\xC0\xAF", 0},                 // overlong '/'
        {"\xE0\x80\xAF", 0},             // overlong
        {"\xED\xA0\x80", 0},             // surrogate
        {"\xF4\x90\x80\x80", 0},         // past U+10FFFF
        {"\xF5\x80\x80\x80", 0},
        {"ab\x80", 2},  // lone continuation
        {"ab\xE2\x82", 2},
        {"ab\xE2\x28\xA1", 2},
        {"caf\xE9", 3},  // Latin-1, not UTF-8
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8::find_invalid(c.bytes), c.bad) << printable(c.bytes);
    }
}

TEST(Names, TableAndColumnRules) {
    struct Case {
        std::string name;
        bool table_ok;
        bool column_ok;
    };
    const Case cases[] = {
        {"tessimClientes", true, true},
        {"ingress_t_1", true, true},
        {"with space", true, true},
        {"c=d", true, true},
        {"nome\xC3\xA7\xC3\xA3o", true, true},
        {"ingress-t", true, false},
        {std::string(127, 'x'), true, true},
        {std::string(128, 'x'), false, false},
        {std::string(63, 'x') + "\xC3\xA7" + std::string(63, 'x'), false, false},  // 128 bytes
        {"", false, false},
        {" lead", false, false},
        {"trail ", false, false},
        {"a.b", false, false},
        {"a\x01", false, false},
        {"a\tb", false, false},
        {"a\nb", false, false},
        {"a\x7f", false, false},
        {"\xEF\xBB\xBFname", false, false},
        {"caf\xE9", false, false},
    };
    for (const auto& c : cases) {
        bool table_ok = true, column_ok = true;
        try {
            TableName t(c.name);
            EXPECT_EQ(t.view(), c.name);
        } catch (const IngressError&) {
            table_ok = false;
        }
        try {
            ColumnName n(c.name);
        } catch (const IngressError&) {
            column_ok = false;
        }
        EXPECT_EQ(table_ok, c.table_ok) << printable(c.name);
        EXPECT_EQ(column_ok, c.column_ok) << printable(c.name);
    }
    for (char c : std::string("?,'\"\\/:()+*%~")) {
        const std::string name = std::string("a") + c + "b";
        EXPECT_THROW(TableName{name}, IngressError) << name;
        EXPECT_THROW(ColumnName{name}, IngressError) << name;
    }
}

TEST(Names, ErrorKindAndMessage) {
    try {
        TableName t("bad/name");
        FAIL() << "accepted";
    } catch (const IngressError& e) {
        EXPECT_EQ(e.code(), ErrorCode::invalid_name);
        EXPECT_NE(std::string(e.what()).find("bad/name"), std::string::npos) << e.what();
    }
    try {
        ColumnName c("caf\xE9\n");
        FAIL() << "accepted";
    } catch (const IngressError& e) {
        EXPECT_EQ(e.code(), ErrorCode::invalid_utf8);
        // The bad bytes are shown escaped, never raw.
        EXPECT_NE(std::string(e.what()).find("caf\\xe9"), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
    }
}

TEST(Timestamps, MicrosFromNanosRoundsDown) {
    EXPECT_EQ(TimestampMicros::from_nanos(TimestampNanos(1'999)).as_i64(), 1);
    EXPECT_EQ(TimestampMicros::from_nanos(TimestampNanos(-1)).as_i64(), -1);
    EXPECT_EQ(TimestampMicros::from_nanos(TimestampNanos(-1'000)).as_i64(), -1);
    EXPECT_EQ(TimestampMicros::from_nanos(TimestampNanos(-1'001)).as_i64(), -2);
    const auto a = TimestampNanos::now().as_i64();
    const auto b = TimestampNanos::now().as_i64();
    EXPECT_LE(a, b);
    EXPECT_GT(a, 1'700'000'000'000'000'000);  // after November 2023
}

}  // namespace
