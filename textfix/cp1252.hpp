#pragma once
// Windows-1252 as mojibake sees it: the byte a character had before it was wrongly decoded,
// and the character a byte turns into when it is decoded that way.

#include <cstdint>

namespace textfix::detail {

// The byte that `cp` stands for in Windows-1252, where the five bytes Windows-1252 leaves
// undefined (and every C1 control) map back to themselves as Latin-1 does; -1 when `cp` has no
// single-byte form.
int cp1252_byte(char32_t cp);

// The character Windows-1252 decodes `byte` to; the five undefined bytes become the C1 control
// of the same number, as in Latin-1.
char32_t cp1252_char(std::uint8_t byte);

// The Windows-1252 punctuation a C1 control stands for, or `cp` itself when it stands for
// nothing (the five undefined positions, or any character outside U+0080..U+009F).
inline char32_t c1_to_cp1252(char32_t cp) {
    return (cp >= 0x80 && cp <= 0x9F) ? cp1252_char(static_cast<std::uint8_t>(cp)) : cp;
}

}  // namespace textfix::detail
