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

// Records the process's command line, once at start-up, for launch.
void set_arguments(int argc, const char* const* argv);
// The command line recorded by set_arguments (empty before it).
const std::vector<std::string>& arguments();
// Puts `text` in place of recorded argument `index`; used by conceal_argument, whose
// argument may arrive through a hand-over instead of the command line.
void replace_recorded_argument(std::size_t index, std::string text);

// The argument vector of a launched run: the original program name, the text of `mode` that
// follows its first "launch_", then the original arguments after the mode. `command_line`
// is the whole original argv (program name first). std::invalid_argument when `mode` holds
// no "launch_".
std::vector<std::string> launched_arguments(std::string_view mode,
                                            const std::vector<std::string>& command_line);

// Starts `executable` fully detached with `argv` and returns at once, writing nothing.
// Returns only after the new run has passed exec; a failure of fork, setsid or exec throws
// std::system_error with the failing call's errno. With `handed_over`, the new run gets that
// text through a pipe on descriptor HANDOVER_FD and HANDOVER_VARIABLE in its environment
// (concealed_argument.hpp); without it, the variable is kept out of the new run's
// environment and no descriptor but 0..2 is passed.
void spawn_detached(const std::string& executable, const std::vector<std::string>& argv,
                    const std::optional<std::string>& handed_over = std::nullopt);

// launch(mode) for a chosen executable and command line; the seam used by tests. The
// argument at `concealed` (a position of the original command line, after the mode) goes
// to the new run through the hand-over, PLACEHOLDER standing in its place.
void launch(std::string_view mode, const std::string& executable,
            const std::vector<std::string>& command_line,
            std::optional<std::size_t> concealed = std::nullopt);

// Starts this same program (/proc/self/exe, so a binary replaced on disk meanwhile is not
// picked up) with the mode that follows "launch_" and the recorded remaining arguments,
// handing over the concealed argument (conceal_argument) without showing it.
void launch(std::string_view mode);

}  // namespace tavmolibrary::process_library
