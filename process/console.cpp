#include "process/console.hpp"

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#include "process/stop_requests.hpp"

namespace tavmolibrary::process_library {
namespace {

void write_line(std::FILE* stream, std::string_view text) {
    std::string line;
    line.reserve(text.size() + 1);
    line.append(text).push_back('\n');
    if (std::fwrite(line.data(), 1, line.size(), stream) == line.size()) return;
    // The reader left (Zabbix closes its end when it gives up on a check): once the table is
    // being loaded, that is no reason to leave it half loaded. The end of the run still sees
    // the stream's error.
    if (errno == EPIPE && committed_to_finish()) return;
    throw std::system_error(errno, std::generic_category(), "falha ao escrever no console");
}

}  // namespace

void print_line(std::string_view text) {
    write_line(stdout, text);
}
void print_error_line(std::string_view text) {
    write_line(stderr, text);
}

}  // namespace tavmolibrary::process_library
