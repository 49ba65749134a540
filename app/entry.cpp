#include "app/entry.hpp"

#include <mysql.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "app/command_line.hpp"
#include "app/failure_report.hpp"
#include "core/failure.hpp"
#include "ingress/http_transport.hpp"
#include "process/concealed_argument.hpp"
#include "process/console.hpp"
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
        throw StartUpFailure("libcurl não pôde ser iniciada (curl_global_init)");
    if (mysql_library_init(0, nullptr, nullptr) != 0)
        throw StartUpFailure("MariaDB Connector/C não pôde ser iniciado (mysql_library_init)");
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
int end_with(const Report& report) {
    try {
        process::write_report(report);
    } catch (...) {
        return end_with(report_of_current_exception());
    }
    return end_of_run(report.status);
}

}  // namespace

int run_entry(int argc, char** argv, const EntrySettings& settings) {
    try {
        std::vector<std::string> command_line(argv, argv + argc);
        // First thing, so that ps shows the password for as short a time as possible; in a
        // run started by launch, the password arrives here through the hand-over.
        if (argc == 10)
            command_line[kDbPasswordArgument] =
                process::conceal_argument(argc, argv, kDbPasswordArgument);
        bind_facilities();

        auto config = read_command_line(std::move(command_line));
        if (!config) throw CommandLineRefused("linha de comando recusada");

        try {
            const process::runtime_limiter limiter(settings.runtime_limit);
            // The worker keeps its own copy: it may outlive this frame after a timeout.
            limiter.run(
                [dispatch = settings.dispatch, config = std::move(*config)] { dispatch(config); });
        } catch (const process::TimeoutException& timeout) {
            end_after_timeout(timeout);
        }
        return end_of_run(0);
    } catch (...) {
        return end_with(report_of_current_exception());
    }
}

}  // namespace tessim
