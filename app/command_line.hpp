#pragma once
// The command line: the program name, then one argument (the mode) or nine. Argument bytes
// are kept exactly as the operating system hands them over; nothing is trimmed, decoded,
// validated or defaulted here.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/run_config.hpp"

namespace tessim {

// The Run configuration for a count of 2 (mode only; every other field stays unset) or 10
// (all nine fields), counting the program name; nullopt for any other count. `command_line`
// is kept in the configuration as it is.
std::optional<RunConfig> read_command_line(std::vector<std::string> command_line);

// Position of the MySQL password in the nine-argument layout: the one argument that is
// concealed (process/concealed_argument.hpp).
inline constexpr std::size_t kDbPasswordArgument = 5;

}  // namespace tessim
