#pragma once
// Starting a run of this program that outlives the one that starts it.
//
// Zabbix reads a check's standard output and error through one pipe until every holder has
// closed it, and kills the check's process group when its own time-out passes. A launched
// run must therefore hold none of the caller's descriptors and live in a session of its own:
// it is started through a double fork (the middle process is reaped at once, so no zombie is
// left and the run is adopted by init), calls setsid, has /dev/null as standard input, output
// and error, and every other inherited descriptor is closed before exec.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavmolibrary::process_library {

// The argument vector of a launched run: the original program name, the text of `mode` that
// follows its first "launch_", then the original arguments after the mode. `command_line`
// is the whole original argv (program name first). std::invalid_argument when `mode` holds
// no "launch_".
std::vector<std::string> launched_arguments(std::string_view mode,
                                            const std::vector<std::string>& command_line);

// Starts `executable` fully detached with the arguments launched_arguments makes of `mode`
// and `command_line` (the whole original argv, program name first), and returns at once,
// writing nothing. Returns only after the new run has passed exec; a failure of fork, setsid
// or exec throws std::system_error with the failing call's errno. The argument at
// `concealed` (a position after the mode) goes to the new run through the hand-over
// (concealed_argument.hpp): the text through a pipe on descriptor HANDOVER_FD,
// HANDOVER_VARIABLE in its environment and PLACEHOLDER in its place on the command line.
// Without it, the variable is kept out of the new run's environment and no descriptor but
// 0..2 is passed.
void launch(std::string_view mode, const std::string& executable,
            const std::vector<std::string>& command_line,
            std::optional<std::size_t> concealed = std::nullopt);

// This same program, as `executable`: a binary replaced on disk meanwhile is not picked up.
inline constexpr const char* kThisProgram = "/proc/self/exe";

}  // namespace tavmolibrary::process_library
