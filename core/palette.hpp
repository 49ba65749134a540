#pragma once
// The console palette: ECMA-48 select-graphic-rendition sequences, written whatever the
// output is connected to. BOLD and REVERSE keep their empty first parameter and RESET its
// two zeros on purpose: the bytes are part of the output that callers compare.

#include <string_view>

namespace tessim {

inline constexpr std::string_view RED = "\x1b[1;31m";
inline constexpr std::string_view BLUE = "\x1b[1;34m";
inline constexpr std::string_view CYAN = "\x1b[1;36m";
inline constexpr std::string_view GREEN = "\x1b[0;32m";
inline constexpr std::string_view RESET = "\x1b[0;0m";
inline constexpr std::string_view BOLD = "\x1b[;1m";
inline constexpr std::string_view REVERSE = "\x1b[;7m";
inline constexpr std::string_view YELLOW = "\x1b[0;93m";

}  // namespace tessim
