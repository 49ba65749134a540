#include "source/sql_values.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/failure.hpp"
#include "tests/support/value_equality.hpp"

namespace tessim {
namespace {

MYSQL_FIELD field(enum_field_types type, unsigned flags = 0, unsigned charsetnr = 45) {
    MYSQL_FIELD f{};
    f.type = type;
    f.flags = flags;
    f.charsetnr = charsetnr;
    return f;
}

TEST(ColumnKind, FollowsTypeAndUnsignedFlag) {
    struct Case {
        enum_field_types type;
        unsigned flags;
        ColumnKind kind;
    };
    const Case cases[] = {
        {MYSQL_TYPE_DECIMAL, 0, ColumnKind::decimal},
        {MYSQL_TYPE_NEWDECIMAL, 0, ColumnKind::decimal},
        {MYSQL_TYPE_DATE, 0, ColumnKind::date},
        {MYSQL_TYPE_DATETIME, 0, ColumnKind::datetime},
        {MYSQL_TYPE_TIMESTAMP, 0, ColumnKind::datetime},
        {MYSQL_TYPE_TINY, 0, ColumnKind::integer},
        {MYSQL_TYPE_LONG, UNSIGNED_FLAG, ColumnKind::unsigned_integer},
        {MYSQL_TYPE_LONGLONG, UNSIGNED_FLAG, ColumnKind::unsigned_integer},
        {MYSQL_TYPE_YEAR, UNSIGNED_FLAG, ColumnKind::integer},
        {MYSQL_TYPE_BIT, UNSIGNED_FLAG, ColumnKind::bit},
        {MYSQL_TYPE_FLOAT, 0, ColumnKind::floating},
        {MYSQL_TYPE_DOUBLE, 0, ColumnKind::floating},
        {MYSQL_TYPE_VAR_STRING, 0, ColumnKind::text},
        {MYSQL_TYPE_BLOB, BINARY_FLAG, ColumnKind::text},
        {MYSQL_TYPE_ENUM, 0, ColumnKind::text},
        {MYSQL_TYPE_JSON, 0, ColumnKind::text},
        {MYSQL_TYPE_TIME, 0, ColumnKind::text},
    };
    for (const Case& c : cases)
        EXPECT_EQ(column_kind(field(c.type, c.flags)), c.kind) << "type " << c.type;
}

Value read(ColumnKind kind, std::string_view bytes, TextStore& texts) {
    return column_value(kind, bytes.data(), bytes.size(), texts, "col");
}

TEST(ColumnValue, ParsesEachKind) {
    TextStore texts;
    EXPECT_TRUE(column_value(ColumnKind::text, nullptr, 0, texts, "col").is_null());
    EXPECT_EQ(read(ColumnKind::integer, "-9223372036854775808", texts),
              Value::of_integer(INT64_MIN));
    EXPECT_EQ(read(ColumnKind::unsigned_integer, "9223372036854775807", texts),
              Value::of_integer(INT64_MAX));
    EXPECT_EQ(read(ColumnKind::floating, "1.5e-3", texts), Value::of_double(0.0015));
    Value dec = read(ColumnKind::decimal, "12345678901234567890.123456789", texts);
    EXPECT_EQ(dec.kind(), Kind::decimal);
    EXPECT_EQ(dec.text(), "12345678901234567890.123456789");
    EXPECT_EQ(read(ColumnKind::bit, std::string_view("\x01\x02", 2), texts),
              Value::of_integer(258));
    std::string text = "Jo\xC3\xA3o";
    Value t = read(ColumnKind::text, text, texts);
    EXPECT_EQ(t.text(), text);
    EXPECT_NE(t.text().data(), text.data());  // copied into the store
}

TEST(ColumnValue, DatesKeepMicrosecondsAndZeroDatesBecomeNull) {
    TextStore texts;
    EXPECT_EQ(read(ColumnKind::date, "2021-03-05", texts), Value::of_date(2021, 3, 5));
    EXPECT_EQ(read(ColumnKind::datetime, "2021-03-05 14:07:09", texts),
              Value::of_datetime({2021, 3, 5, 14, 7, 9, 0}));
    EXPECT_EQ(read(ColumnKind::datetime, "2021-03-05 14:07:09.25", texts),
              Value::of_datetime({2021, 3, 5, 14, 7, 9, 250000}));
    EXPECT_EQ(read(ColumnKind::datetime, "2021-03-05 14:07:09.000001", texts),
              Value::of_datetime({2021, 3, 5, 14, 7, 9, 1}));
    for (std::string_view zero :
         {"0000-00-00", "2020-00-00", "2020-05-00", "2021-02-29", "0000-01-01"})
        EXPECT_TRUE(read(ColumnKind::date, zero, texts).is_null()) << zero;
    EXPECT_TRUE(read(ColumnKind::datetime, "0000-00-00 00:00:00", texts).is_null());
    EXPECT_EQ(read(ColumnKind::date, "2020-02-29", texts), Value::of_date(2020, 2, 29));
}

TEST(ColumnValue, RefusesWhatItCannotHoldFaithfully) {
    TextStore texts;
    const std::pair<ColumnKind, std::string_view> bad[] = {
        {ColumnKind::unsigned_integer, "9223372036854775808"},
        {ColumnKind::unsigned_integer, "18446744073709551615"},
        {ColumnKind::integer, "12a"},
        {ColumnKind::integer, ""},
        {ColumnKind::bit, std::string_view("\x80\0\0\0\0\0\0\0", 8)},
        {ColumnKind::decimal, "1E+3"},
        {ColumnKind::floating, "abc"},
        {ColumnKind::date, "05/03/2021"},
        {ColumnKind::datetime, "2021-03-05T14:07:09"},
        {ColumnKind::datetime, "2021-03-05 14:07:09."},
    };
    for (const auto& [kind, bytes] : bad) {
        try {
            read(kind, bytes, texts);
            ADD_FAILURE() << "accepted '" << bytes << "'";
        } catch (const DatabaseFailure& e) {
            EXPECT_NE(std::string(e.what()).find("'col'"), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace tessim
