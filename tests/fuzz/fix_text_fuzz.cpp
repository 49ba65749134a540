// fix_text over any bytes: never throws or crashes, always gives well-formed UTF-8, leaves
// its own output alone, and agrees with fix_text_into.

#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_check.hpp"
#include "textfix/fix_text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string fixed = textfix::fix_text(input);
    FUZZ_CHECK(fuzz::is_utf8(fixed), input);
    FUZZ_CHECK(textfix::fix_text(fixed) == fixed, input);

    std::string into = "untouched";
    if (textfix::fix_text_into(input, into)) {
        FUZZ_CHECK(into == fixed, input);
    } else {
        FUZZ_CHECK(into == "untouched" && fixed == input, input);
    }
    return 0;
}
