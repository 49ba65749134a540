#include "source/value.hpp"
#include "tests/support/value_equality.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace tessim {
namespace {

TEST(Value, DateTimePackingRoundTripsAtTheExtremes) {
    const std::vector<CivilTime> cases = {
        {1, 1, 1, 0, 0, 0, 0},
        {9999, 12, 31, 23, 59, 59, 999999},
        {1965, 7, 14, 3, 4, 5, 6},
        {-32768, 1, 1, 0, 0, 0, 0},
        {32767, 12, 31, 23, 59, 60, 999999},
        {0, 0, 0, 0, 0, 0, 0},
        {2018, 11, 4, 0, 30, 0, 500000},
    };
    for (const CivilTime& t : cases) {
        Value v = Value::of_datetime(t);
        EXPECT_EQ(v.kind(), Kind::datetime);
        EXPECT_EQ(v.time(), t) << t.year << "-" << t.month << "-" << t.day;
    }
    Value d = Value::of_date(2021, 3, 5);
    EXPECT_EQ(d.kind(), Kind::date);
    EXPECT_EQ(d.time(), (CivilTime{2021, 3, 5, 0, 0, 0, 0}));
    EXPECT_NE(d, Value::of_datetime({2021, 3, 5, 0, 0, 0, 0}));  // kind matters
}

TEST(Value, RejectsCalendarFieldsOutsideTheirRange) {
    EXPECT_THROW(Value::of_datetime({2021, 13, 1, 0, 0, 0, 0}), std::logic_error);
    EXPECT_THROW(Value::of_datetime({2021, 1, 1, 24, 0, 0, 0}), std::logic_error);
    EXPECT_THROW(Value::of_datetime({2021, 1, 1, 0, 0, 0, 1000000}), std::logic_error);
    EXPECT_THROW(Value::of_datetime({40000, 1, 1, 0, 0, 0, 0}), std::logic_error);
    EXPECT_THROW(Value::null().time(), std::logic_error);
}

TEST(Value, ScalarsKeepTheirBits) {
    EXPECT_EQ(Value::of_integer(std::numeric_limits<std::int64_t>::min()).integer(),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(Value::of_integer(std::numeric_limits<std::int64_t>::max()).integer(),
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Value::of_double(99.9).floating(), 99.9);
    EXPECT_TRUE(Value::null().is_null());
    EXPECT_EQ(Value::of_integer(0), Value::of_integer(0));
    EXPECT_NE(Value::of_integer(0), Value::of_double(0.0));
    // An instant is its own kind, though messages name it as the date-time it came from.
    EXPECT_EQ(Value::of_instant(-1).instant(), -1);
    EXPECT_NE(Value::of_instant(5), Value::of_integer(5));
    EXPECT_STREQ(kind_name(Kind::instant), "datetime");
}

TEST(TextStore, ViewsSurviveMovesOfTheStore) {
    TextStore store;
    std::vector<std::string_view> views;
    for (int i = 0; i < 1000; ++i) views.push_back(store.keep("texto " + std::to_string(i)));
    TextStore moved = std::move(store);
    TextStore assigned;
    assigned = std::move(moved);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(views[i], "texto " + std::to_string(i));

    // The moved-from stores are empty and usable; writing to them must not land in the
    // block that now belongs to `assigned`.
    std::string_view fresh = store.keep("novo");
    std::string_view fresh2 = moved.keep("outro");
    EXPECT_EQ(fresh, "novo");
    EXPECT_EQ(fresh2, "outro");
    std::string_view after = assigned.keep("depois");
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(views[i], "texto " + std::to_string(i));
    EXPECT_EQ(after, "depois");
    EXPECT_EQ(fresh, "novo");
}

TEST(TextStore, LargeBlocksAndReserveKeepEarlierViews) {
    TextStore store;
    std::string_view small = store.keep("pequeno");
    std::string big(3 << 20, 'x');  // larger than one ordinary block
    big.back() = 'y';
    std::string_view large = store.keep(big);
    std::string_view after = store.keep("depois do grande");
    store.reserve(5 << 20);
    std::string_view reserved = store.keep("no bloco reservado");
    EXPECT_EQ(small, "pequeno");
    EXPECT_EQ(large.size(), big.size());
    EXPECT_EQ(large, big);
    EXPECT_EQ(after, "depois do grande");
    EXPECT_EQ(reserved, "no bloco reservado");
    EXPECT_GE(store.bytes_held(), (3u << 20) + (5u << 20));
}

TEST(TextStore, OneReserveHoldsAWholeResult) {
    TextStore store;
    store.reserve(10'000);
    std::size_t held = store.bytes_held();
    for (int i = 0; i < 1000; ++i) store.keep("0123456789");
    EXPECT_EQ(store.bytes_held(), held);  // no second block
    EXPECT_TRUE(store.keep("").empty());
}

}  // namespace
}  // namespace tessim
