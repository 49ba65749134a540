#pragma once
// Whole-line console output. Each line goes out in one call, so that a line written by the
// run-time limiter when the limit passes can never land inside another line.

#include <string_view>

namespace tavmolibrary::process_library {

// Writes `text` and a line feed to standard output in one stdio call. Throws
// std::system_error when the stream reports a write error, except a closed reader (EPIPE)
// once the run has committed to finishing its load (stop_requests.hpp).
void print_line(std::string_view text);
// The same on standard error, straight to the descriptor: another thread may hold the
// stream's lock. A failed write changes nothing; nobody is left to tell.
void print_error_line(std::string_view text) noexcept;

}  // namespace tavmolibrary::process_library
