// One name or value spelled alone, in a buffer of exactly the room its function asks for (so
// that the sanitizer catches a write past it). A text, a decimal or a double is refused by its
// check exactly when its spelling refuses it, with the same message; a text is refused exactly
// when it is ill-formed UTF-8 or holds a NUL, and reads back as given; a decimal is refused
// exactly when it is not plain digits or leaves the range of a double, and a double (or a
// decimal's nearest double) is spelled as the shortest round-trip text with '.' or an exponent.

#include <fuzzer/FuzzedDataProvider.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "ingress/errors.hpp"
#include "ingress/row_shape.hpp"
#include "ingress/wire_spelling.hpp"
#include "tests/fuzz/fuzz_check.hpp"

namespace {

using namespace ingress;

const RowShape shape("t", {"c"});
const wire::Where where{&shape, 0};

const auto refusal = [](auto&& spell) { return fuzz::refusal<IngressError>(spell); };

std::string shortest(double v) {
    char buf[64];
    std::string s(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

// The bytes between the quotes, each backslash dropped before the byte it guards.
std::optional<std::string> unquote(std::string_view s) {
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i + 1 < s.size(); ++i) {
        if (s[i] == '\\')
            ++i;
        else if (s[i] == '"' || s[i] == '\n' || s[i] == '\r')
            return std::nullopt;
        if (i + 1 == s.size()) return std::nullopt;
        out += s[i];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    FuzzedDataProvider fdp(data, size);
    std::vector<char> room(wire::number_room);
    const auto spelled = [&](char* end) { return std::string(room.data(), end); };
    switch (fdp.ConsumeIntegralInRange(0, 4)) {
        case 0: {
            const std::string text = fdp.ConsumeRemainingBytesAsString();
            room.resize(2 * text.size() + 2 + 8);
            std::string out;
            const auto refused =
                refusal([&] { out = spelled(wire::put_text(room.data(), text, where)); });
            FUZZ_CHECK(refused == refusal([&] { wire::check_text(text, where); }), input);
            FUZZ_CHECK(refused.has_value() ==
                           (!fuzz::is_utf8(text) || text.find('\0') != std::string::npos),
                       input);
            if (!refused) FUZZ_CHECK(unquote(out) == text, input);
            break;
        }
        case 1: {
            const std::string digits = fdp.ConsumeRemainingBytesAsString();
            static const std::regex plain("[+-]?[0-9]+(\\.[0-9]+)?");
            std::string out;
            const auto refused =
                refusal([&] { out = spelled(wire::put_decimal(room.data(), digits, where)); });
            FUZZ_CHECK(refused == refusal([&] { wire::check_decimal(digits, where); }), input);
            double v = 0;
            const std::string_view unsigned_digits =
                std::string_view(digits).substr(!digits.empty() && digits.front() == '+');
            const bool in_range =
                std::from_chars(unsigned_digits.data(),
                                unsigned_digits.data() + unsigned_digits.size(), v)
                    .ec == std::errc();
            FUZZ_CHECK(refused.has_value() == !(std::regex_match(digits, plain) && in_range),
                       input);
            if (!refused) FUZZ_CHECK(out == shortest(v), input);
            break;
        }
        case 2: {
            const auto bits = fdp.ConsumeIntegral<std::uint64_t>();
            double v;
            std::memcpy(&v, &bits, sizeof v);
            std::string out;
            const auto refused =
                refusal([&] { out = spelled(wire::put_double(room.data(), v, where)); });
            FUZZ_CHECK(refused == refusal([&] { wire::check_double(v, where); }), input);
            FUZZ_CHECK(refused.has_value() == !std::isfinite(v), input);
            if (!refused) FUZZ_CHECK(out == shortest(v), input);
            break;
        }
        case 3: {
            const auto v = fdp.ConsumeIntegral<std::int64_t>();
            FUZZ_CHECK(spelled(wire::put_int(room.data(), v)) == std::to_string(v), input);
            FUZZ_CHECK(spelled(wire::put_micros(room.data(), TimestampMicros(v))) ==
                           std::to_string(v) + "t",
                       input);
            break;
        }
        default: {
            const std::string name = fdp.ConsumeRemainingBytesAsString();
            const std::string out = wire::spelled_name(name);
            std::string back;
            for (std::size_t i = 0; i < out.size(); ++i) {
                if (out[i] == '\\' && i + 1 < out.size() &&
                    (out[i + 1] == ' ' || out[i + 1] == '='))
                    ++i;
                else
                    FUZZ_CHECK(out[i] != ' ' && out[i] != '=', input);
                back += out[i];
            }
            FUZZ_CHECK(back == name, input);
            break;
        }
    }
    return 0;
}
