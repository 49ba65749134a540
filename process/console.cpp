#include "process/console.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#include "process/descriptor.hpp"
#include "process/stop_requests.hpp"

namespace tavmolibrary::process_library {
namespace {

// One write for the text and its line break, so that lines of two threads never interleave.
std::string with_line_break(std::string_view text) {
    std::string line;
    line.reserve(text.size() + 1);
    line.append(text).push_back('\n');
    return line;
}

}  // namespace

void print_line(std::string_view text) {
    const std::string line = with_line_break(text);
    if (std::fwrite(line.data(), 1, line.size(), stdout) == line.size()) return;
    // The reader left (Zabbix closes its end when it gives up on a check): once the table is
    // being loaded, that is no reason to leave it half loaded. The end of the run still sees
    // the stream's error.
    if (errno == EPIPE && committed_to_finish()) return;
    throw std::system_error(errno, std::generic_category(), "falha ao escrever no console");
}

void print_error_line(std::string_view text) noexcept {
    try {
        (void)write_all(STDERR_FILENO, with_line_break(text));
    } catch (...) {
        // No memory for the line: nothing more can be said.
    }
}

}  // namespace tavmolibrary::process_library
