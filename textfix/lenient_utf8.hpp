#pragma once
// UTF-8 decoding and encoding for the repair: lenient where it must always produce text.

#include <string>
#include <string_view>

namespace textfix::detail {

// Decodes `s` into code points. A byte that does not start a well-formed sequence is taken as
// one Windows-1252 character: such bytes are in practice Latin-1/Windows-1252 text that
// slipped into a UTF-8 column, and this choice keeps every byte visible instead of dropping it.
std::u32string decode_lenient(std::string_view s);

void append_utf8(std::string& out, char32_t cp);

std::string encode_utf8(std::u32string_view cps);

}  // namespace textfix::detail
