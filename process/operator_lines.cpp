#include "process/operator_lines.hpp"

#include <stdexcept>

#include "process/console.hpp"

namespace tavmolibrary::process_library {

Report report(Line which, std::initializer_list<std::string_view> parts) {
    const OperatorLine& kind = kOperatorLines[static_cast<std::size_t>(which)];
    std::string line;
    std::string_view text = kind.text;
    const std::string_view* part = parts.begin();
    for (std::size_t open; (open = text.find('<')) != std::string_view::npos;) {
        if (part == parts.end()) throw std::logic_error("linha sem a parte " + std::string(text));
        line.append(text.substr(0, open)).append(*part++);
        text.remove_prefix(text.find('>', open) + 1);
    }
    if (part != parts.end()) throw std::logic_error("parte a mais para a linha " + line);
    line.append(text);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    line.erase(line.find_last_not_of(" \t\v\f") + 1);
    return {std::move(line), kind.stream, kind.status};
}

void write_report(const Report& report) {
    if (report.stream == Stream::out)
        print_line(report.line);
    else
        print_error_line(report.line);
}

}  // namespace tavmolibrary::process_library
