#include "store/answer_parse.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tessim {
namespace {

TEST(ParseAnswer, MembersKeepDocumentOrder) {
    const auto answer = parse_answer(R"({"z":1,"a":2,"m":{"y":1,"b":2}})");
    std::string keys;
    for (const auto& [key, value] : answer.items()) keys += key;
    EXPECT_EQ(keys, "zam");
    EXPECT_EQ(answer.dump(), R"({"z":1,"a":2,"m":{"y":1,"b":2}})");
}

TEST(ParseAnswer, DuplicatedMemberKeepsFirstPositionAndLastValue) {
    EXPECT_EQ(parse_answer(R"({"a":1,"b":2,"a":3})").dump(), R"({"a":3,"b":2})");
    EXPECT_EQ(parse_answer(R"({"a":[1],"b":2,"a":{"c":4},"a":null})").dump(),
              R"({"a":null,"b":2})");
    EXPECT_EQ(parse_answer(R"([{"k":1,"k":2,"j":0,"k":3}])").dump(), R"([{"k":3,"j":0}])");
}

TEST(ParseAnswer, IntegersExactOverThe64BitRange) {
    const auto max_u = parse_answer("18446744073709551615");
    ASSERT_TRUE(max_u.is_number_unsigned());
    EXPECT_EQ(max_u.get<std::uint64_t>(), std::numeric_limits<std::uint64_t>::max());
    const auto min_i = parse_answer("-9223372036854775808");
    ASSERT_TRUE(min_i.is_number_integer());
    EXPECT_EQ(min_i.get<std::int64_t>(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(parse_answer("9007199254740993").get<std::int64_t>(), 9007199254740993);
    EXPECT_TRUE(parse_answer("1.0").is_number_float());
    EXPECT_TRUE(parse_answer("2e3").is_number_float());
    EXPECT_TRUE(parse_answer("18446744073709551616").is_number_float());
}

TEST(ParseAnswer, BodiesThatAreNotOneJsonDocumentFail) {
    const char* bodies[] = {
        "",
        "   ",
        "<html><body>502 Bad Gateway</body></html>",
        "{\"a\":1",
        "{\"a\":1} {\"b\":2}",
        "[1,]",
        "\"\\ud800\"",  // lone surrogate escape
        "1e400",        // overflows a double
        "NaN",
        "\"tab\there\"",  // raw control character inside a text
        "\"\xC3\x28\"",   // invalid UTF-8
    };
    for (const char* body : bodies)
        EXPECT_THROW((void)parse_answer(body), nlohmann::json::exception) << body;
}

TEST(ParseAnswer, ScalarsAndListsAreAnswersToo) {
    EXPECT_EQ(parse_answer(" [1, \"a\"] \n").dump(), R"([1,"a"])");
    EXPECT_EQ(parse_answer("\xEF\xBB\xBF{\"ddl\":\"OK\"}").dump(), R"({"ddl":"OK"})");
    EXPECT_TRUE(parse_answer("null").is_null());
}

}  // namespace
}  // namespace tessim
