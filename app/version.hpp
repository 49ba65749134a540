#pragma once
// The version report of the mode "version".

#include <string>
#include <string_view>

namespace tessim {

inline constexpr std::string_view kRightsNotice =
    "Copyright (c) 2024 Brantevika Tecnologia. Todos os direitos reservados.";

// The program name with every "./" (left to right, non-overlapping) replaced by one space,
// two spaces, then VERSION.
std::string version_line(std::string_view program_name);

// Writes the rights notice and the version line for the program name as invoked.
void get_version(std::string_view program_name);

}  // namespace tessim
