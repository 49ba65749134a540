#include "app/failure_report.hpp"

#include <cxxabi.h>

#include <cctype>
#include <cstdlib>
#include <exception>
#include <memory>
#include <typeinfo>

#include "app/command_line.hpp"
#include "core/constants.hpp"
#include "process/concealed_argument.hpp"

namespace tessim {
namespace {

// A server's reason may span several lines; a caller reading the last line of standard
// error must see all of it.
std::string one_line(std::string line) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line;
}

FailureReport store_error(const std::string& reason) {
    return {one_line("Erro: " + reason), Stream::err, 1};
}

FailureReport value_refused(const ValueRefused& refused) {
    const std::string contract = "contrato idServico=" + refused.contract();
    switch (refused.by()) {
        case ValueRefused::By::column_type:
            return store_error(contract + ", coluna " + refused.column() + ": " + refused.what());
        case ValueRefused::By::client:
            return store_error(contract + ": " + refused.what());
        case ValueRefused::By::clock:
            return store_error(contract + ": table \"" + std::string(kTable) + "\", column \"" +
                               refused.column() + "\": " + refused.what());
    }
    return store_error(refused.what());
}

// The kinds are shown under the names operators have always read, whatever the classes
// are called now; in the order of each branch's Cause.
constexpr std::string_view kDatabaseKinds[] = {"tessim::ConnectionError", "tessim::QueryError",
                                               "tessim::ValueError", "tessim::NormalizationError"};
constexpr std::string_view kQueryEndpointKinds[] = {"tessim::QueryEndpointFailure",
                                                    "std::runtime_error", "std::invalid_argument"};

// The type of the exception being handled, readable ("std::logic_error").
std::string current_exception_type() {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type == nullptr) return "desconhecida";
    int result = 0;
    std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(type->name(), nullptr, nullptr, &result), &std::free);
    return result == 0 && name ? name.get() : type->name();
}

}  // namespace

FailureReport unhandled(std::string_view kind, std::string_view what) {
    std::string line = "tessim_clientes: falha não tratada (";
    line.append(kind).append("): ").append(what);
    return {std::move(line), Stream::err, 1};
}

FailureReport report_of(const Failure& failure) {
    switch (failure.branch()) {
        case Failure::Branch::command_line:
            return {std::string(kCriticalErrorLine), Stream::out, 1};
        case Failure::Branch::value_refused:
            return value_refused(static_cast<const ValueRefused&>(failure));
        case Failure::Branch::rows_refused:
            return store_error(failure.what());
        case Failure::Branch::database: {
            const auto& database = static_cast<const DatabaseFailure&>(failure);
            const std::string_view kind =
                kDatabaseKinds[static_cast<std::size_t>(database.cause())];
            if (database.cause() != DatabaseFailure::Cause::record)
                return unhandled(kind, failure.what());
            return unhandled(kind, "campo " + database.field() + " do contrato idServico=" +
                                       database.contract() + ": " + failure.what());
        }
        case Failure::Branch::query_endpoint:
            return unhandled(kQueryEndpointKinds[static_cast<std::size_t>(
                                 static_cast<const QueryEndpointFailure&>(failure).cause())],
                             failure.what());
        case Failure::Branch::hand_over:
            return unhandled("tavmolibrary::process_library::HandOverError", failure.what());
    }
    return unhandled("tessim::Failure", failure.what());
}

FailureReport report_of_current_exception() {
    try {
        throw;
    } catch (const Failure& failure) {
        return report_of(failure);
    } catch (const tavmolibrary::process_library::HandOverError& e) {
        return report_of(HandOverFailure(e.what()));
    } catch (const std::exception& e) {
        // The message only, never the Run configuration (it holds the MySQL password).
        return unhandled(current_exception_type(), e.what());
    } catch (...) {
        return unhandled(current_exception_type(), "exceção sem descrição");
    }
}

}  // namespace tessim
