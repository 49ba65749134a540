// The line-protocol text of every value kind, escapes, and the refusals that keep bad
// values off the wire (and leave the buffer as it was).
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ingress/errors.hpp"
#include "ingress/line_encoder.hpp"
#include "ingress/row_writer.hpp"
#include "tests/ingress/rows.hpp"

namespace {

using namespace ingress;
using namespace ingress_test;

constexpr TimestampNanos at{1'700'000'000'123'456'789};

std::string encode_one(const ColumnValue& v) {
    LineEncoder enc;
    add_row(enc, "t", {{Column{"c", v}}}, at);
    return std::string(enc.data());
}

// The text between "c=" and the row time.
std::string field_text(const ColumnValue& v) {
    const std::string line = encode_one(v);
    const std::string head = "t c=";
    const std::string tail = " 1700000000123456789\n";
    EXPECT_EQ(line.substr(0, head.size()), head) << line;
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
    return line.substr(head.size(), line.size() - head.size() - tail.size());
}

ErrorCode refused_code(const ColumnValue& v, std::string* message = nullptr) {
    LineEncoder enc;
    add_row(enc, "t", {{Column{"ok", 1}}}, at);
    const std::string before(enc.data());
    try {
        add_row(enc, "t", {{Column{"first", 7}, Column{"bad_col", v}}}, at);
    } catch (const IngressError& e) {
        EXPECT_EQ(enc.data(), before) << "a refused row left bytes behind";
        EXPECT_EQ(enc.rows(), 1u);
        EXPECT_NE(std::string(e.what()).find("bad_col"), std::string::npos) << e.what();
        if (message) *message = e.what();
        return e.code();
    }
    ADD_FAILURE() << "accepted: " << enc.data();
    return ErrorCode::invalid_api_call;
}

TEST(Encoder, IntegersAndTimestamps) {
    EXPECT_EQ(field_text(0), "0i");
    EXPECT_EQ(field_text(-42), "-42i");
    EXPECT_EQ(field_text(std::numeric_limits<std::int64_t>::max()), "9223372036854775807i");
    EXPECT_EQ(field_text(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808i");
    EXPECT_EQ(field_text(std::uint32_t{4000000000u}), "4000000000i");
    EXPECT_EQ(field_text(TimestampMicros(1'700'000'000'123'456)), "1700000000123456t");
    EXPECT_EQ(field_text(TimestampNanos(1'700'000'000'123'456'789)), "1700000000123456t");
    EXPECT_EQ(field_text(TimestampNanos(-1)), "-1t");
}

TEST(Encoder, DoublesAreShortestAndAlwaysFloats) {
    const std::pair<double, std::string> cases[] = {
        {1.0, "1.0"},
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {0.1, "0.1"},
        {-123.456, "-123.456"},
        {100.0, "100.0"},
        {1e22, "1e+22"},
        {1e-7, "1e-07"},
        {5e-324, "5e-324"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {0.1 + 0.2, "0.30000000000000004"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(field_text(v), text) << v;
    // Round trip for arbitrary doubles.
    std::mt19937_64 rng(7);
    for (int i = 0; i < 2000; ++i) {
        const std::uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (!std::isfinite(d)) continue;
        EXPECT_EQ(std::strtod(field_text(d).c_str(), nullptr), d);
    }
}

// Doubles of up to two decimals (prices) take a shorter path than other doubles; the text
// must be what the general shortest form gives, sign of zero and exponents included.
TEST(Encoder, DoublesOfFewDecimalsMatchTheGeneralForm) {
    auto general = [](double d) {
        char buf[64];
        char* end = std::to_chars(buf, buf + sizeof buf, d).ptr;
        std::string s(buf, end);
        if (s.find_first_of(".e") == std::string::npos) s += ".0";
        return s;
    };
    std::vector<double> cases = {0.0,
                                 -0.0,
                                 0.01,
                                 -0.01,
                                 0.1,
                                 0.5,
                                 1.0,
                                 10.0,
                                 100.0,
                                 1000.0,
                                 1e6,
                                 1e12,
                                 9999999999999.99,
                                 1e13,
                                 2e13,
                                 99.9,
                                 129.9,
                                 0.07,
                                 1234567.89,
                                 -5e5};
    std::mt19937_64 rng(11);
    for (int k = 0; k < 20000; ++k) {
        const auto cents = static_cast<std::int64_t>(rng() % 2000000000001) - 1000000000000;
        const double scale = std::pow(10.0, static_cast<int>(rng() % 5));
        cases.push_back(static_cast<double>(cents) / 100.0 * scale);
        cases.push_back(static_cast<double>(cents) / 100.0 + 1e-9);
    }
    for (double d : cases) EXPECT_EQ(field_text(d), general(d)) << general(d);
}

TEST(Encoder, NonFiniteDoublesAreRefused) {
    std::string msg;
    EXPECT_EQ(refused_code(std::nan(""), &msg), ErrorCode::invalid_value);
    EXPECT_NE(msg.find("NaN"), std::string::npos) << msg;
    EXPECT_EQ(refused_code(std::numeric_limits<double>::infinity()), ErrorCode::invalid_value);
    EXPECT_EQ(refused_code(-std::numeric_limits<double>::infinity()), ErrorCode::invalid_value);
}

TEST(Encoder, DecimalsBecomeNearestDouble) {
    const std::pair<const char*, std::string> cases[] = {
        {"12.50", "12.5"},
        {"-0.50", "-0.5"},
        {"+3", "3.0"},
        {"0", "0.0"},
        {"0.00", "0.0"},
        {"-0.00", "-0.0"},
        {"99.90", "99.9"},
        {"12345678901234567890.123", "12345678901234567168.0"},
        {"0.1000000000000000055511151231257827", "0.1"},
    };
    for (const auto& [digits, text] : cases) EXPECT_EQ(field_text(Decimal{digits}), text) << digits;
    for (const char* bad : {"", "-", "1.", ".5", "1e3", "1E+3", "1,5", " 1", "1 ", "--1", "1.2.3",
                            "abc", "0x10", "nan", "inf"}) {
        EXPECT_EQ(refused_code(Decimal{bad}), ErrorCode::invalid_value) << bad;
    }
    const std::string huge = "1" + std::string(400, '0');
    EXPECT_EQ(refused_code(Decimal{huge}), ErrorCode::invalid_value);
}

TEST(Encoder, TextEscapesKeepTheLineWhole) {
    const std::pair<std::string, std::string> cases[] = {
        {"", R"("")"},
        {"plain", R"("plain")"},
        {R"(say "hi")", R"("say \"hi\"")"},
        {R"(C:\dir\)", R"("C:\\dir\\")"},
        {"a\nb", "\"a\\\nb\""},
        {"a\rb", "\"a\\\rb\""},
        {"a,b=c d\te", "\"a,b=c d\te\""},
        {"x\" 1\nt c=\"y", "\"x\\\" 1\\\nt c=\\\"y\""},
        {"S\xC3\xA3o \xF0\x9F\x98\x80", "\"S\xC3\xA3o \xF0\x9F\x98\x80\""},
    };
    for (const auto& [text, wire] : cases) {
        EXPECT_EQ(field_text(Text{text}), wire) << printable(text);
        // Whatever the text, exactly one unescaped line feed: the end of the line.
        const std::string line = encode_one(Text{text});
        std::size_t bare_lf = 0;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\n' && (i == 0 || line[i - 1] != '\\')) ++bare_lf;
        }
        EXPECT_EQ(bare_lf, 1u) << printable(line);
    }
}

// Integers are written in groups of eight digits: the edges of each group, both signs.
TEST(Encoder, IntegersAcrossDigitGroups) {
    std::int64_t v = 1;
    for (int digits = 1; digits <= 18; ++digits, v *= 10) {
        for (const std::int64_t n : {v - 1, v, v + 1, 10 * v - 1}) {
            EXPECT_EQ(field_text(n), std::to_string(n) + "i");
            EXPECT_EQ(field_text(-n), std::to_string(-n) + "i");
        }
    }
    EXPECT_EQ(field_text(100000000), "100000000i");
    EXPECT_EQ(field_text(1000000000000000), "1000000000000000i");
    EXPECT_EQ(field_text(TimestampMicros(1'000'000'000'000'007)), "1000000000000007t");
}

// Texts are scanned a word at a time: an escape, a multi-byte character or a bad byte at
// every offset of the first, second and last word, in texts of every short length.
// Decimals in their shortest form skip the trip through a double: whatever the path, the
// text must be the one the nearest double gives.
TEST(Encoder, DecimalsMatchTheirNearestDouble) {
    std::vector<std::string> cases = {"0.5",
                                      "0.05",
                                      "0.005",
                                      "0.0005",
                                      "10",
                                      "100",
                                      "1000000",
                                      "1000000.5",
                                      "123456789012345",
                                      "1234567890123456",
                                      "99999999999999.9",
                                      "0.123456789012345",
                                      "0.1234567890123456",
                                      "-7",
                                      "-0.10",
                                      "00.5",
                                      "007",
                                      "1.10",
                                      "9007199254740993",
                                      "20.00",
                                      "-0",
                                      "0.0"};
    std::mt19937_64 rng(7);
    for (int k = 0; k < 5000; ++k) {
        std::string d = rng() % 4 ? "" : "-";
        const int whole = static_cast<int>(rng() % 17), fraction = static_cast<int>(rng() % 17);
        for (int i = 0; i < std::max(whole, 1); ++i) d += static_cast<char>('0' + rng() % 10);
        if (fraction > 0) d += '.';
        for (int i = 0; i < fraction; ++i)
            d += static_cast<char>('0' + (rng() % 3 ? rng() % 10 : 0));
        cases.push_back(d);
    }
    for (const std::string& d : cases) {
        const std::string digits = d.front() == '+' ? d.substr(1) : d;
        EXPECT_EQ(field_text(Decimal{d}), field_text(std::stod(digits))) << d;
    }
}

TEST(Encoder, TextScanFindsSpecialsAtEveryOffset) {
    for (std::size_t len = 1; len <= 20; ++len) {
        for (std::size_t at_ = 0; at_ < len; ++at_) {
            std::string plain(len, 'x');
            std::string text = plain, wire = plain;
            text[at_] = '"';
            wire.replace(at_, 1, "\\\"");
            EXPECT_EQ(field_text(Text{text}), "\"" + wire + "\"") << len << " " << at_;
            text = plain;
            text.replace(at_, 1, "\xC3\xA7");
            EXPECT_EQ(field_text(Text{text}), "\"" + text + "\"") << len << " " << at_;
            text = plain;
            text[at_] = '\xC3';  // a lead byte with no continuation
            EXPECT_EQ(refused_code(Text{text}), ErrorCode::invalid_utf8) << len << " " << at_;
            text[at_] = '\0';
            EXPECT_EQ(refused_code(Text{text}), ErrorCode::invalid_value) << len << " " << at_;
        }
    }
}

TEST(Encoder, BadTextIsRefusedNamingTheColumn) {
    EXPECT_EQ(refused_code(Text{"caf\xE9"}), ErrorCode::invalid_utf8);
    EXPECT_EQ(refused_code(Text{"\xED\xA0\x80"}), ErrorCode::invalid_utf8);
    EXPECT_EQ(refused_code(Text{std::string_view("a\0b", 3)}), ErrorCode::invalid_value);
}

TEST(Encoder, RowLayoutNullsAndNames) {
    LineEncoder enc;
    add_row(enc, "my table", {{"a b", 1}, {"c=d", Null{}}, {"e", Text{"x"}}, {"f", ColumnValue{}}},
            TimestampNanos(5));
    add_row(enc, "t", {{"only", 2.5}}, TimestampNanos(-5));
    EXPECT_EQ(enc.data(), "my\\ table a\\ b=1i,e=\"x\" 5\nt only=2.5 -5\n");
    EXPECT_EQ(enc.rows(), 2u);

    // A first column that is null must not leave a ',' where the ' ' belongs.
    LineEncoder enc2;
    add_row(enc2, "t", {{"n", Null{}}, {"v", 1}}, TimestampNanos(1));
    EXPECT_EQ(enc2.data(), "t v=1i 1\n");
}

TEST(Encoder, RowsQuestDbWouldMisreadAreRefused) {
    LineEncoder enc;
    EXPECT_THROW(add_row(enc, "t", {{"a", Null{}}}, at), IngressError);
    EXPECT_THROW(add_row(enc, "t", Columns{}, at), IngressError);
    try {
        add_row(enc, "t", {{"a", 1}, {"b", 2}, {"a", 3}}, at);
        ADD_FAILURE() << "a column given twice was accepted";
    } catch (const IngressError& e) {
        EXPECT_EQ(e.code(), ErrorCode::invalid_name);
    }
    EXPECT_EQ(enc.data(), "");
    EXPECT_EQ(enc.rows(), 0u);

    // Names whose storage the caller reuses for the next row: same addresses, new names.
    char first[2] = "a", second[2] = "b";
    add_row(enc, "t", {{std::string_view(first), 1}, {std::string_view(second), 2}}, at);
    second[0] = 'a';
    EXPECT_THROW(
        add_row(enc, "t", {{std::string_view(first), 1}, {std::string_view(second), 2}}, at),
        IngressError);
    EXPECT_EQ(enc.rows(), 1u);
}

}  // namespace
