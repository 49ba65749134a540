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
#include "core/failure.hpp"
#include "ingress/http_transport.hpp"
#include "process/concealed_argument.hpp"
#include "process/console.hpp"
#include "process/launch.hpp"
#include "process/runtime_limiter.hpp"
#include "process/stop_requests.hpp"

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
    process::report_deferred_stop();
    ::_exit(status);
}

int end_of_run(int status) {
    const bool flushed = std::fflush(stdout) == 0 && !std::ferror(stdout);
    process::report_deferred_stop();
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

// The one place a failure reaches the operator: its line on its stream, then the run's end.
// A line that cannot be written on standard output is itself a failure, reported on standard
// error like any other.
int end_with(const Failure& failure) {
    if (failure.stream() == Stream::out) {
        try {
            process::print_line(failure.report());
        } catch (const std::exception& e) {
            return end_with(UnhandledFailure(current_failure_type(), e.what()));
        }
    } else {
        try {
            process::print_error_line(failure.report());
        } catch (...) {
            // Standard error itself is gone; the status still tells.
        }
    }
    return end_of_run(failure.status());
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
        if (!config)
            throw Failure("linha de comando recusada", std::string(kCriticalErrorLine), Stream::out,
                          1);
        install_run_config(std::move(*config));

        try {
            const process::runtime_limiter limiter(settings.runtime_limit);
            limiter.run([dispatch = settings.dispatch] { dispatch(run_config().mode.get()); });
        } catch (const process::TimeoutException& timeout) {
            end_after_timeout(timeout);
        }
        return end_of_run(0);
    } catch (const Failure& failure) {
        return end_with(failure);
    } catch (const std::exception& failure) {
        // The message only, never the Run configuration (it holds the MySQL password).
        return end_with(UnhandledFailure(current_failure_type(), failure.what()));
    } catch (...) {
        return end_with(UnhandledFailure(current_failure_type(), "exceção sem descrição"));
    }
}

}  // namespace tessim
