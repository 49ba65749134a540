// Any reply body that parses must print as one line of well-formed UTF-8, without throwing.
// The same holds for printed_text over any well-formed text, and printed_float must give
// back the very double it was handed.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "store/answer_parse.hpp"
#include "store/printed_form.hpp"
#include "tests/fuzz/fuzz_check.hpp"

namespace {

// No control character (C0, DEL, C1 such as NEL) and no U+2028/U+2029: a console line
// must not be split or garbled by the printed text.
bool is_one_line(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) return false;
        if (c == 0xC2 && i + 1 < s.size()) {
            const auto d = static_cast<unsigned char>(s[i + 1]);
            if (d >= 0x80 && d <= 0x9F) return false;
        }
    }
    return s.find("\xE2\x80\xA8") == std::string_view::npos &&
           s.find("\xE2\x80\xA9") == std::string_view::npos;
}

void check_printed(std::string_view printed, std::string_view input) {
    FUZZ_CHECK(!printed.empty(), input);
    FUZZ_CHECK(fuzz::is_utf8(printed), input);
    FUZZ_CHECK(is_one_line(printed), input);
}

void check_float(std::string_view input) {
    if (input.size() < sizeof(double)) return;
    double v;
    std::memcpy(&v, input.data(), sizeof v);
    const std::string printed = tessim::printed_float(v);
    check_printed(printed, input);
    if (std::isnan(v)) {
        FUZZ_CHECK(printed == "nan", input);
        return;
    }
    double back = 0;
    const auto r = std::from_chars(printed.data(), printed.data() + printed.size(), back);
    FUZZ_CHECK(r.ec == std::errc() && r.ptr == printed.data() + printed.size(), input);
    FUZZ_CHECK(std::memcmp(&back, &v, sizeof v) == 0, input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    check_float(input);

    if (fuzz::is_utf8(input)) {
        const std::string text(input);
        const std::string printed = tessim::printed_text(text);
        check_printed(printed, input);
        FUZZ_CHECK(printed.size() >= 2 && printed.front() == printed.back(), input);
        FUZZ_CHECK(printed.front() == '\'' || printed.front() == '"', input);
    }

    std::optional<nlohmann::ordered_json> answer;
    try {
        answer = tessim::parse_answer(input);
    } catch (const nlohmann::json::exception&) {
        return 0;
    }
    check_printed(tessim::printed_form(answer), input);
    check_printed(tessim::printed_form(*answer), input);
    FUZZ_CHECK(tessim::printed_form(answer) == tessim::printed_form(*answer), input);
    return 0;
}
