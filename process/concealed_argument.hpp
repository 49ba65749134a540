#pragma once
// One command-line argument kept out of sight: the MySQL password (argument 5 of the
// nine-argument layout).
//
// Anyone on the host can read another process's command line (ps, /proc/PID/cmdline), for
// the whole life of the process. So, as the mysql command-line client does, the argument's
// bytes are overwritten in place in the process's own argument area (the memory the kernel
// reads for /proc/PID/cmdline) as soon as it has been recorded.
//
// A run started by `launch` must not get the text back on a visible command line either.
// The hand-over: launch writes the text into a pipe, closes the write end, and gives the
// new run the read end as descriptor HANDOVER_FD (3), which survives its close-everything
// step; the new run's argument in that position is PLACEHOLDER, and HANDOVER_VARIABLE=3 in
// its environment (set for that child only; /proc/PID/environ is readable by the same user
// alone, and holds only the descriptor number anyway) says where to read. The new run
// reads the text to end of file, closes the descriptor, removes the variable and from then
// on behaves exactly as if the text had been on its command line.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tavmolibrary::process_library {

inline constexpr const char* HANDOVER_VARIABLE = "TESSIM_DB_PASSWORD_FD";
inline constexpr int HANDOVER_FD = 3;
inline constexpr std::string_view PLACEHOLDER = "********";

// A hand-over that cannot be trusted: never a silent fall-back to some other text. The
// message never holds the handed-over text.
class HandOverError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Call once at start-up, before any thread starts; returns the real text. When this run was
// started with HANDOVER_VARIABLE, the text is read from that descriptor (the variable is
// removed, the descriptor closed) and argv[index] must hold PLACEHOLDER; otherwise the text
// is argv[index] itself. Either way argv[index]'s bytes are overwritten with 'x'; the caller
// keeps the text in its own copy of the command line, and launch hands it on instead of
// putting it on the new run's command line. Throws HandOverError for a variable
// that does not lead to a launch hand-over (not a number, a descriptor that is not open or
// not a pipe, a pipe still open for writing, no PLACEHOLDER in argv[index]), and
// std::out_of_range when argv has no argument `index`.
std::string conceal_argument(int argc, char** argv, std::size_t index);

// Reads the text from the descriptor named by `variable_value` and closes it (both on
// success and on failure, as long as it is a number of an open descriptor from 3 up).
std::string receive_handed_over(std::string_view variable_value);

}  // namespace tavmolibrary::process_library
