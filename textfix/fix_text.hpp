#pragma once
// Text repair: mends UTF-8 that was decoded as Windows-1252 or Latin-1 and stored again
// (once or twice over), stray C1 controls that stand for Windows-1252 punctuation, and
// returns NFC. Correct text passes through byte for byte.

#include <string>
#include <string_view>

namespace textfix {

std::string fix_text(std::string_view text);

// Allocation-free form for hot loops: when the text needs no change, returns false and
// leaves `out` untouched; otherwise writes the repaired text to `out` and returns true.
bool fix_text_into(std::string_view text, std::string& out);

}  // namespace textfix
