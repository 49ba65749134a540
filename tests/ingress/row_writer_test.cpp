// Rows written column by column for a shape made in advance: each value spelled as in a row
// of its own, and the misuses and refusals that must leave the buffer as it was.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ingress/errors.hpp"
#include "ingress/line_encoder.hpp"
#include "ingress/row_shape.hpp"
#include "ingress/row_writer.hpp"
#include "tests/ingress/rows.hpp"

namespace {

using namespace ingress;
using namespace ingress_test;

ErrorCode code_of(auto&& call) {
    try {
        call();
    } catch (const IngressError& e) {
        return e.code();
    }
    ADD_FAILURE() << "no IngressError";
    return ErrorCode::config_error;
}

// The wire text of one value, as a row of its own gives it.
std::string alone(const ColumnValue& v) {
    LineEncoder enc;
    add_row(enc, "t", {{"c", v}}, TimestampNanos(0));
    const std::string_view line = enc.data();
    return std::string(line.substr(4, line.size() - 4 - 3));  // between "t c=" and " 0\n"
}

// Random rows of every value kind, some columns null, in one growing buffer: the state
// carried from column to column and row to row must not change how any value is spelled.
TEST(RowWriter, ManyRowsSpellEachValueAsARowOfItsOwn) {
    const std::vector<ColumnName> names = {"i",   "a b",  "x=y", "d", "dec",
                                           "txt", "when", "us",  "ns"};
    const std::vector<std::string> spelled = {"i",   "a\\ b", "x\\=y", "d", "dec",
                                              "txt", "when",  "us",    "ns"};
    const RowShape shape("my table", names);
    std::mt19937_64 rng(7);
    const std::vector<std::string> texts = {"",
                                            "plain",
                                            "quo\"te",
                                            "back\\slash",
                                            "line\nbreak\r",
                                            "Concei\xC3\xA7\xC3\xA3o",
                                            "exactly8",
                                            "a longer text with \xE2\x82\xAC in it"};
    const std::vector<std::string> decimals = {"0.00", "-12.50", "99.90", "+3",
                                               "1234567890.123456789"};
    LineEncoder by_columns;
    std::string expected;
    for (int row = 0; row < 2000; ++row) {
        std::vector<ColumnValue> values = {
            static_cast<std::int64_t>(rng()),
            static_cast<double>(static_cast<std::int64_t>(rng() % 2000001) - 1000000) / 64.0,
            Text{texts[rng() % texts.size()]},
            Decimal{decimals[rng() % decimals.size()]},
            Decimal{decimals[rng() % decimals.size()]},
            Text{texts[rng() % texts.size()]},
            TimestampMicros(static_cast<std::int64_t>(rng() % 4000000000000000) - 2000000000000000),
            TimestampMicros(static_cast<std::int64_t>(rng() % 4000000000000000)),
            TimestampNanos(static_cast<std::int64_t>(rng() % 4000000000000000000)),
        };
        // Some columns null, at least one not.
        for (std::size_t k = 0; k < values.size(); ++k)
            if (rng() % 4 == 0 && k != row % values.size()) values[k] = Null{};
        const TimestampNanos at(static_cast<std::int64_t>(rng() >> 2));
        expected += "my\\ table";
        char separator = ' ';
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (values[k].is_null()) continue;
            expected += separator + spelled[k] + "=" + alone(values[k]);
            separator = ',';
        }
        expected += " " + std::to_string(at.as_i64()) + "\n";

        RowWriter w = by_columns.begin_row(shape);
        for (std::size_t k = 0; k < values.size(); ++k) put(w, k, values[k]);
        by_columns.end_row(w, at);
    }
    EXPECT_EQ(by_columns.data(), expected);
    EXPECT_EQ(by_columns.rows(), 2000u);
}

TEST(RowWriter, TypedColumnsAndOrderOfCalls) {
    const RowShape shape("t", {"a", "b", "c", "d", "e"});
    LineEncoder enc;
    RowWriter w = enc.begin_row(shape);
    w.column(3, Text{"x"});
    w.column(0, 5);
    w.column(4, TimestampNanos(1'700'000'000'123'456'789));
    w.column(1, 0.5);
    enc.end_row(w, TimestampNanos(9));
    EXPECT_EQ(enc.data(), "t d=\"x\",a=5i,e=1700000000123456t,b=0.5 9\n");
}

TEST(RowWriter, ARefusedValueDropsOnlyItsRow) {
    const RowShape shape("t", {"a", "b"});
    LineEncoder enc;
    {
        RowWriter w = enc.begin_row(shape);
        w.column(0, 1);
        enc.end_row(w, TimestampNanos(1));
    }
    const std::string before(enc.data());
    {
        RowWriter w = enc.begin_row(shape);
        w.column(0, 2);
        EXPECT_EQ(code_of([&] { w.column(1, Text{"caf\xE9"}); }), ErrorCode::invalid_utf8);
        // The row is spoilt: nothing more goes into it and it cannot be ended.
        EXPECT_EQ(code_of([&] { w.column(1, 3); }), ErrorCode::invalid_api_call);
        EXPECT_EQ(code_of([&] { enc.end_row(w, TimestampNanos(2)); }), ErrorCode::invalid_api_call);
    }
    EXPECT_EQ(enc.data(), before);
    EXPECT_EQ(enc.rows(), 1u);
    // The encoder takes rows again once the spoilt writer is gone.
    RowWriter w = enc.begin_row(shape);
    w.column(1, Text{"ok"});
    enc.end_row(w, TimestampNanos(3));
    EXPECT_EQ(enc.data(), before + "t b=\"ok\" 3\n");
}

TEST(RowWriter, MisusesAreRefused) {
    const RowShape shape("t", {"a", "b"});
    LineEncoder enc;
    {
        RowWriter w = enc.begin_row(shape);
        w.column(0, 1);
        EXPECT_EQ(code_of([&] { w.column(0, 2); }), ErrorCode::invalid_api_call);
        EXPECT_EQ(code_of([&] { w.column(2, 1); }), ErrorCode::invalid_api_call);
        // One row at a time.
        EXPECT_EQ(code_of([&] { enc.begin_row(shape); }), ErrorCode::invalid_api_call);
        enc.end_row(w, TimestampNanos(1));
        EXPECT_EQ(code_of([&] { enc.end_row(w, TimestampNanos(1)); }), ErrorCode::invalid_api_call);
        EXPECT_EQ(code_of([&] { w.column(1, 1); }), ErrorCode::invalid_api_call);
    }
    EXPECT_EQ(enc.data(), "t a=1i 1\n");
    {
        // No column written: QuestDB refuses a line without fields.
        RowWriter w = enc.begin_row(shape);
        EXPECT_EQ(code_of([&] { enc.end_row(w, TimestampNanos(2)); }), ErrorCode::invalid_value);
    }
    {
        // A writer dropped unended leaves nothing, and clear() retires an open writer.
        RowWriter w = enc.begin_row(shape);
        w.column(0, 3);
    }
    EXPECT_EQ(enc.data(), "t a=1i 1\n");
    RowWriter w = enc.begin_row(shape);
    w.column(0, 4);
    enc.clear();
    EXPECT_EQ(code_of([&] { w.column(1, 5); }), ErrorCode::invalid_api_call);
    EXPECT_EQ(code_of([&] { enc.end_row(w, TimestampNanos(3)); }), ErrorCode::invalid_api_call);
    RowWriter again = enc.begin_row(shape);
    again.column(1, 6);
    enc.end_row(again, TimestampNanos(4));
    EXPECT_EQ(enc.data(), "t b=6i 4\n");
}

TEST(RowShape, NamesAreCheckedOnceAndKept) {
    EXPECT_EQ(code_of([] { RowShape("t", {"a", "b", "a"}); }), ErrorCode::invalid_name);
    EXPECT_EQ(code_of([] { RowShape("t", std::vector<ColumnName>{}); }), ErrorCode::invalid_name);
    EXPECT_EQ(code_of([] { RowShape("t", {"a", "b-c"}); }), ErrorCode::invalid_name);
    EXPECT_EQ(code_of([] { RowShape("t", {"a", "b"}, "c"); }), ErrorCode::invalid_name);
    // The shape keeps copies: the names may come from storage that is reused afterwards.
    std::string name = "first";
    const RowShape shape("t", {ColumnName(name)});
    name = "other";
    LineEncoder enc;
    RowWriter w = enc.begin_row(shape);
    w.column(0, 1);
    enc.end_row(w, TimestampNanos(1));
    EXPECT_EQ(enc.data(), "t first=1i 1\n");
}

}  // namespace
