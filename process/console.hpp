#pragma once
// Whole-line console output. Each line goes out in one stdio call, so that a line written
// by the run-time limiter when the limit passes can never land inside another line.

#include <string_view>

namespace tavmolibrary::process_library {

// Writes `text` and a line feed to standard output in one call. Throws std::system_error
// when the stream reports a write error, except a closed reader (EPIPE) once the run has
// committed to finishing its load (stop_requests.hpp).
void print_line(std::string_view text);
// The same on standard error.
void print_error_line(std::string_view text);

}  // namespace tavmolibrary::process_library
