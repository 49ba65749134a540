#pragma once
// Undoing one layer of "UTF-8 bytes decoded as Windows-1252 (or Latin-1)".

#include <string>

namespace textfix::detail {

// A character whose Windows-1252 byte could open a multi-byte UTF-8 sequence (Â..ô).
constexpr bool is_lead_char(char32_t cp) {
    return cp >= 0xC2 && cp <= 0xF4;
}

// A character whose Windows-1252 byte is a UTF-8 continuation byte (0x80..0xBF).
bool is_continuation_char(char32_t cp);

// Replaces, in one pass, every run of characters whose Windows-1252 bytes form one well-formed
// multi-byte UTF-8 sequence by the character that sequence encodes, when the text gives
// enough evidence that it is mojibake (see the .cpp). Returns whether anything changed.
bool undo_mojibake_once(std::u32string& cps);

}  // namespace textfix::detail
