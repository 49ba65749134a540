#include "process/console.hpp"

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

namespace tavmolibrary::process_library {
namespace {

void write_line(std::FILE* stream, std::string_view text) {
    std::string line;
    line.reserve(text.size() + 1);
    line.append(text).push_back('\n');
    if (std::fwrite(line.data(), 1, line.size(), stream) != line.size())
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
