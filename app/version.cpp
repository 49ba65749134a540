#include "app/version.hpp"

#include "core/constants.hpp"
#include "process/console.hpp"

namespace tessim {

namespace process = tavmolibrary::process_library;

std::string version_line(std::string_view program_name) {
    std::string line;
    line.reserve(program_name.size() + 2 + VERSION.size());
    for (std::size_t i = 0; i < program_name.size(); ++i) {
        if (program_name.compare(i, 2, "./") == 0) {
            line.push_back(' ');
            ++i;
        } else {
            line.push_back(program_name[i]);
        }
    }
    line.append("  ").append(VERSION);
    return line;
}

void get_version(std::string_view program_name) {
    process::print_line(kRightsNotice);
    process::print_line(version_line(program_name));
}

}  // namespace tessim
