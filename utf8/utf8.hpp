#pragma once
// UTF-8 primitives shared by the text repair, the ingestion client and the program: reading
// one sequence strictly, finding the first ill-formed byte, counting code points, and looking
// at text eight bytes at a time.
//
// Ill-formed means what RFC 3629 excludes: overlong forms, UTF-16 surrogates, code points past
// U+10FFFF, truncated sequences and stray continuation bytes.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace utf8 {

// The word-at-a-time scans read the first byte of a text in the lowest bits.
static_assert(std::endian::native == std::endian::little);

inline constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// The last n - i (1 to 7) bytes of s in the low bytes of a word, the rest plain 'a' (an ASCII
// byte no scan looks for). The bytes are read straight into a register: a partial copy into
// memory followed by a whole-word read stalls the processor on every text.
inline std::uint64_t tail_word(const unsigned char* s, std::size_t i, std::size_t n) {
    const std::size_t take = n - i;
    std::uint64_t w = 0;
    if (n >= 8) {
        // The eight bytes ending at the text's end, of which the first few were seen already.
        std::memcpy(&w, s + n - 8, 8);
        w >>= 8 * (8 - take);
    } else {
        for (std::size_t k = n; k-- > i;) w = (w << 8) | s[k];
    }
    const std::uint64_t mine = ~std::uint64_t{0} >> (8 * (8 - take));
    constexpr std::uint64_t kPlain = 0x0101010101010101ull * 'a';
    return (w & mine) | (kPlain & ~mine);
}

// How many bytes at the start of `s` are ASCII. Inlined: the text repair runs it once per
// stretch between accented letters.
[[gnu::always_inline]] inline std::size_t ascii_prefix(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (const std::uint64_t high = word & kHighBits)
            return i + static_cast<std::size_t>(std::countr_zero(high)) / 8;
    }
    if (i == n) return n;
    const std::uint64_t high = tail_word(p, i, n) & kHighBits;
    return high ? i + static_cast<std::size_t>(std::countr_zero(high)) / 8 : n;
}

// Length of the well-formed sequence at the start of `s` (1..4), its code point stored in
// `cp`; 0 when the bytes there are ill-formed or `s` is empty.
inline std::size_t read(std::string_view s, char32_t& cp) {
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

// Offset of the first byte that breaks well-formedness, or npos when all of `bytes` is valid.
std::size_t find_invalid(std::string_view bytes) noexcept;

// Code points of well-formed `bytes` (bytes that are not continuation bytes).
std::size_t code_points(std::string_view bytes) noexcept;

}  // namespace utf8
