#include "app/entry.hpp"

#include <cxxabi.h>
#include <mysql.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <stdexcept>
#include <typeinfo>

#include "app/command_line.hpp"
#include "ingress/http_transport.hpp"
#include "process/concealed_argument.hpp"
#include "process/console.hpp"
#include "process/end_run.hpp"
#include "process/launch.hpp"
#include "process/runtime_limiter.hpp"

namespace tessim {
namespace {

namespace process = tavmolibrary::process_library;

// Both libraries want their global set-up done once, before any thread exists.
void bind_facilities() {
    // A closed reader must surface as a write error (EPIPE), not kill the run silently.
    std::signal(SIGPIPE, SIG_IGN);
    if (!ingress::init_curl())
        throw std::runtime_error("libcurl não pôde ser iniciada (curl_global_init)");
    if (mysql_library_init(0, nullptr, nullptr) != 0)
        throw std::runtime_error("MariaDB Connector/C não pôde ser iniciado (mysql_library_init)");
}

// The dispatch thread is still running, possibly about to write: holding the stdout lock
// across the write, the flush and _exit keeps every line of it before ours or nowhere.
[[noreturn]] void end_after_timeout(const process::TimeoutException& timeout) {
    flockfile(stdout);
    int status = 0;
    try {
        process::print_line(timeout.what());
    } catch (const std::exception&) {
        status = 2;
    }
    if (std::fflush(stdout) != 0) status = 2;
    ::_exit(status);
}

int end_of_run(int status) {
    const bool flushed = std::fflush(stdout) == 0 && !std::ferror(stdout);
    return !flushed && status == 0 ? 2 : status;
}

// The type of the exception being handled, readable ("std::logic_error").
std::string current_failure_type() {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type == nullptr) return "desconhecida";
    int result = 0;
    std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(type->name(), nullptr, nullptr, &result), &std::free);
    return result == 0 && name ? name.get() : type->name();
}

// Names the failure and nothing else: the Run configuration (with the MySQL password) is
// never part of the diagnostic.
void report_failure(const std::string& what) {
    try {
        process::print_error_line("tessim_clientes: falha não tratada (" + current_failure_type() +
                                  "): " + what);
    } catch (...) {
        // Standard error itself is gone; the status still tells.
    }
}

}  // namespace

int run_entry(int argc, char** argv, const EntrySettings& settings) {
    try {
        process::set_arguments(argc, argv);
        // First thing, so that ps shows the password for as short a time as possible; in a
        // run started by launch, the password arrives here through the hand-over.
        if (argc == 10) process::conceal_argument(argc, argv, kDbPasswordArgument);
        bind_facilities();

        auto config = read_command_line(process::arguments());
        if (!config) {
            process::print_line(kCriticalErrorLine);
            return end_of_run(1);
        }
        install_run_config(std::move(*config));

        try {
            const process::runtime_limiter limiter(settings.runtime_limit);
            limiter.run([dispatch = settings.dispatch] { dispatch(run_config().mode.get()); });
        } catch (const process::TimeoutException& timeout) {
            end_after_timeout(timeout);
        }
        return end_of_run(0);
    } catch (const process::EndRun& end) {
        return end_of_run(end.status);
    } catch (const std::exception& failure) {
        report_failure(failure.what());
        return 1;
    } catch (...) {
        report_failure("exceção sem descrição");
        return 1;
    }
}

}  // namespace tessim
