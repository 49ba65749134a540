#include "store/printed_form.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "store/answer_parse.hpp"

namespace tessim {
namespace {

struct PrintedCase {
    const char* json;
    const char* printed;
};

// Reply body -> printed form of its decoded answer. The expectations were taken from the
// reference printer once (Unicode 14 character data, so no character assigned later is
// used here) and are kept as literals.
const PrintedCase printed_cases[] = {
    {"null", "None"},
    {"true", "True"},
    {"false", "False"},
    {"0", "0"},
    {"-0", "0"},
    {"1", "1"},
    {"-1", "-1"},
    {"42", "42"},
    {"9223372036854775807", "9223372036854775807"},
    {"-9223372036854775808", "-9223372036854775808"},
    {"18446744073709551615", "18446744073709551615"},
    {"1.0", "1.0"},
    {"2e3", "2000.0"},
    {"-0.0", "-0.0"},
    {"0.0", "0.0"},
    {"1E2", "100.0"},
    {"1e16", "1e+16"},
    {"1e15", "1000000000000000.0"},
    {"9999999999999998.0", "9999999999999998.0"},
    {"0.0001", "0.0001"},
    {"0.00001", "1e-05"},
    {"1.5e-05", "1.5e-05"},
    {"-2.5e20", "-2.5e+20"},
    {"123456789012345.67", "123456789012345.67"},
    {"0.1", "0.1"},
    {"1e22", "1e+22"},
    {"1e-7", "1e-07"},
    {"5e-324", "5e-324"},
    {"1.7976931348623157e308", "1.7976931348623157e+308"},
    {"3.14", "3.14"},
    {"100.0", "100.0"},
    {"-0.00012345", "-0.00012345"},
    {"12345678901234567890.0", "1.2345678901234567e+19"},
    {"0.30000000000000004", "0.30000000000000004"},
    {"1e-4", "0.0001"},
    {"9.999999999999999e15", "1e+16"},
    {"\"abc\"", "'abc'"},
    {"\"\"", "''"},
    {"\"it's\"", "\"it's\""},
    {"\"say \\\"hi\\\"\"", "'say \"hi\"'"},
    {"\"both ' and \\\"\"", "'both \\' and \"'"},
    {"\"back\\\\slash\"", "'back\\\\slash'"},
    {"\"tab\\tnl\\nCR\\r\"", "'tab\\tnl\\nCR\\r'"},
    {"\"\\u0000\\u001f\\u007f\"", "'\\x00\\x1f\\x7f'"},
    {"\"\\u0080\\u009f\\u00a0\\u00ad\"", "'\\x80\\x9f\\xa0\\xad'"},
    {"\"\u00e7\u00e3o \u00e9 \u00f1\"", "'ção é ñ'"},
    {"\"\\u2028\\u2029\"", "'\\u2028\\u2029'"},
    {"\"\\u200b\\u3000\\u00a0\"", "'\\u200b\\u3000\\xa0'"},
    {"\"\\ue000\"", "'\\ue000'"},
    {"\"\\ufffe\\uffff\"", "'\\ufffe\\uffff'"},
    {"\"\\ud83d\\ude00\"", "'😀'"},
    {"\"\\udb40\\udc01\"", "'\\U000e0001'"},
    {"\"\\udbff\\udfff\"", "'\\U0010ffff'"},
    {"\"\\u0378\"", "'\\u0378'"},
    {"\"\\udb80\\udc00\"", "'\\U000f0000'"},
    {"\"\\u4e2d\\u6587\"", "'中文'"},
    {"\"\\u1680\\u2000\\u202f\"", "'\\u1680\\u2000\\u202f'"},
    {"\"\\u0600\\u061c\"", "'\\u0600\\u061c'"},
    {"\"\\u00e9\\u0301\"", "'é́'"},
    {"{}", "{}"},
    {"[]", "[]"},
    {"[[]]", "[[]]"},
    {"{\"a\":1,\"b\":[1,2.5,null]}", "{'a': 1, 'b': [1, 2.5, None]}"},
    {"{\"a\":1,\"b\":2,\"a\":3}", "{'a': 3, 'b': 2}"},
    {"{\"it's\":\"x\"}", "{\"it's\": 'x'}"},
    {"[true,false,null,\"x\",1.0,-3]", "[True, False, None, 'x', 1.0, -3]"},
    {"{\"query\":\"TRUNCATE TABLE tessimClientes;\",\"error\":\"table does not exist "
     "[table=tessimClientes]\",\"position\":15}",
     "{'query': 'TRUNCATE TABLE tessimClientes;', 'error': 'table does not exist "
     "[table=tessimClientes]', 'position': 15}"},
    {"{\"ddl\":\"OK\"}", "{'ddl': 'OK'}"},
    {"{\"x\":{\"y\":{\"z\":[{}]}}}", "{'x': {'y': {'z': [{}]}}}"},
    {"{\"dataset\":[[\"idServico\",\"INT\",false,0,false,0,0,false,false]],\"count\":1}",
     "{'dataset': [['idServico', 'INT', False, 0, False, 0, 0, False, False]], 'count': 1}"},
};

TEST(PrintedForm, MatchesTheTable) {
    for (const auto& c : printed_cases)
        EXPECT_EQ(printed_form(parse_answer(c.json)), c.printed) << "body: " << c.json;
}

TEST(PrintedForm, AbsentAnswerIsNone) {
    EXPECT_EQ(printed_form(std::optional<nlohmann::ordered_json>{}), "None");
    EXPECT_EQ(printed_form(std::optional<nlohmann::ordered_json>{nlohmann::ordered_json()}),
              "None");
}

// Integers beyond 64 bits decode to the nearest double and therefore print as one.
TEST(PrintedForm, IntegersBeyond64BitsPrintAsFloats) {
    EXPECT_EQ(printed_form(parse_answer("18446744073709551616")), "1.8446744073709552e+19");
    EXPECT_EQ(printed_form(parse_answer("-9223372036854775809")), "-9.223372036854776e+18");
    EXPECT_EQ(printed_form(parse_answer("[100000000000000000000000]")), "[1e+23]");
}

TEST(PrintedForm, FloatsNotReachableFromJson) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(printed_float(inf), "inf");
    EXPECT_EQ(printed_float(-inf), "-inf");
    EXPECT_EQ(printed_float(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(printed_float(std::numeric_limits<double>::denorm_min()), "5e-324");
    EXPECT_EQ(printed_float(-1e-5), "-1e-05");
    EXPECT_EQ(printed_float(1e100), "1e+100");
    EXPECT_EQ(printed_float(1.25e-100), "1.25e-100");
}

// A database text may hold bytes that are not UTF-8; the debug view and the messages about
// refused values still show it.
TEST(PrintedForm, BytesThatAreNotUtf8ShowAsThemselves) {
    EXPECT_EQ(printed_text("\xC3("), "'\\xc3('");
    EXPECT_EQ(printed_text("caf\xE9 \xC3\xA9"), "'caf\\xe9 \xC3\xA9'");
}

// Answers come from the network; nesting far beyond any stack depth must still print.
TEST(PrintedForm, DeepNestingPrintsWithoutRecursion) {
    constexpr int depth = 200000;
    const std::string body = std::string(depth, '[') + std::string(depth, ']');
    const std::string printed = printed_form(parse_answer(body));
    EXPECT_EQ(printed, body);
    const std::string objects = "{\"a\":" + std::string("{\"a\":").append("[1]}").append("}");
    EXPECT_EQ(printed_form(parse_answer(objects)), "{'a': {'a': [1]}}");
}

}  // namespace
}  // namespace tessim
