#include "app/entry.hpp"

#include <mysql.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <stdexcept>

#include "app/command_line.hpp"
#include "app/failure_report.hpp"
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

// The one place a failure reaches the operator: its line on its stream, then the run's end.
// A line that cannot be written on standard output is itself a failure, reported on standard
// error like any other.
int end_with(const FailureReport& report) {
    if (report.stream == Stream::out) {
        try {
            process::print_line(report.line);
        } catch (...) {
            return end_with(report_of_current_exception());
        }
    } else {
        try {
            process::print_error_line(report.line);
        } catch (...) {
            // Standard error itself is gone; the status still tells.
        }
    }
    return end_of_run(report.status);
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
        if (!config) throw CommandLineRefused();
        install_run_config(std::move(*config));

        try {
            const process::runtime_limiter limiter(settings.runtime_limit);
            limiter.run([dispatch = settings.dispatch] { dispatch(run_config().mode.get()); });
        } catch (const process::TimeoutException& timeout) {
            end_after_timeout(timeout);
        }
        return end_of_run(0);
    } catch (...) {
        return end_with(report_of_current_exception());
    }
}

}  // namespace tessim
