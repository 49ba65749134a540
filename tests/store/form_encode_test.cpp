#include "store/form_encode.hpp"

#include <gtest/gtest.h>

namespace tessim {
namespace {

// Expected texts are what application/x-www-form-urlencoded gives with only letters,
// digits and "_.-~" left as they are.
TEST(FormEncode, EncodesEachByteByTheFormRules) {
    const struct {
        std::string text;
        std::string encoded;
    } cases[] = {
        {"", ""},
        {"SHOW COLUMNS FROM tessimClientes", "SHOW+COLUMNS+FROM+tessimClientes"},
        {"TRUNCATE TABLE tessimClientes;", "TRUNCATE+TABLE+tessimClientes%3B"},
        {"a+b=c&d", "a%2Bb%3Dc%26d"},
        {"\xC3\xA7~*_.-/\xC3\xA9'\"\t", "%C3%A7~%2A_.-%2F%C3%A9%27%22%09"},
        {std::string("\0\n\r%", 4), "%00%0A%0D%25"},
        {"!#$()[]{}|\\^`@:,<>?", "%21%23%24%28%29%5B%5D%7B%7D%7C%5C%5E%60%40%3A%2C%3C%3E%3F"},
    };
    for (const auto& c : cases) EXPECT_EQ(form_encode(c.text), c.encoded) << c.text;
}

TEST(FormEncode, EveryByteValue) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string encoded = form_encode(all);
    // 66 bytes stay (62 alphanumerics, "_.-~"), the space becomes "+", 189 become %XX.
    EXPECT_EQ(encoded.size(), 66u + 1u + 189u * 3u);
    EXPECT_NE(encoded.find("+%21%22%23"), std::string::npos);
    EXPECT_NE(encoded.find("%2C-.%2F0123456789%3A"), std::string::npos);
    EXPECT_NE(encoded.find("%7D~%7F%80"), std::string::npos);
    EXPECT_EQ(encoded.substr(encoded.size() - 6), "%FE%FF");
}

}  // namespace
}  // namespace tessim
