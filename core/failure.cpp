#include "core/failure.hpp"

#include <cctype>

namespace tessim {
namespace {

std::string one_line(std::string line) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line;
}

}  // namespace

std::string unhandled_report(std::string_view kind, std::string_view what) {
    std::string report = "tessim_clientes: falha não tratada (";
    report.append(kind).append("): ").append(what);
    return report;
}

StoreFailure::StoreFailure(const std::string& reason)
    : Failure(reason, one_line("Erro: " + reason), Stream::err, 1) {}

}  // namespace tessim
