#pragma once
// Blanks around a text the database or an option file gives: spaces, tabs, line breaks,
// vertical tabs and form feeds, as C's isspace knows them in the "C" locale.

#include <string_view>

namespace tessim {

inline std::string_view trim_blanks(std::string_view s) {
    constexpr std::string_view kBlanks = " \t\n\r\f\v";
    const std::size_t first = s.find_first_not_of(kBlanks);
    if (first == s.npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace tessim
