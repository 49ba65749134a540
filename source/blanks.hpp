#pragma once
// Blanks around a text the database or an option file gives: spaces, tabs, line breaks,
// vertical tabs and form feeds, as C's isspace knows them in the "C" locale; and names
// compared as option files compare them.

#include <algorithm>
#include <string_view>

namespace tessim {

inline std::string_view trim_blanks(std::string_view s) {
    constexpr std::string_view kBlanks = " \t\n\r\f\v";
    const std::size_t first = s.find_first_not_of(kBlanks);
    if (first == s.npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

inline char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Equal but for the case of ASCII letters.
inline bool same_ignoring_case(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return ascii_lower(x) == ascii_lower(y); });
}

}  // namespace tessim
