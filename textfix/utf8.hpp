#pragma once
// UTF-8 reading and writing for the repair: strict where it checks, lenient where it must
// always produce text.

#include <cstddef>
#include <string>
#include <string_view>

namespace textfix::detail {

// Length of the well-formed UTF-8 sequence at the start of `s` (1..4), storing its code point
// in `cp`; 0 when the bytes there are not well-formed (overlong, surrogate, beyond U+10FFFF,
// truncated, stray continuation byte).
inline std::size_t read_utf8(std::string_view s, char32_t& cp) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    if (n == 0) return 0;
    const unsigned b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    auto cont = [&](std::size_t i) { return i < n && (p[i] & 0xC0) == 0x80; };
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (!cont(1)) return 0;
        cp = ((b0 & 0x1F) << 6) | (p[1] & 0x3F);
        return 2;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (!cont(1) || !cont(2)) return 0;
        if (b0 == 0xE0 && p[1] < 0xA0) return 0;   // overlong
        if (b0 == 0xED && p[1] >= 0xA0) return 0;  // surrogate
        cp = ((b0 & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3)) return 0;
        if (b0 == 0xF0 && p[1] < 0x90) return 0;   // overlong
        if (b0 == 0xF4 && p[1] >= 0x90) return 0;  // beyond U+10FFFF
        cp = ((b0 & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
        return 4;
    }
    return 0;
}

// Decodes `s` into code points. A byte that does not start a well-formed sequence is taken as
// one Windows-1252 character: such bytes are in practice Latin-1/Windows-1252 text that
// slipped into a UTF-8 column, and this choice keeps every byte visible instead of dropping it.
std::u32string decode_lenient(std::string_view s);

void append_utf8(std::string& out, char32_t cp);

std::string encode_utf8(std::u32string_view cps);

}  // namespace textfix::detail
