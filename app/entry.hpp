#pragma once
// The program's entry: facilities, command line, the limited dispatch and the exit status.
//
// Exit statuses: every failure gives 1 after its one line (app/failure_report.hpp picks it
// from process/operator_lines.hpp, with its stream); an expired run-time limit writes the
// limiter's line and gives 0; a run that cannot flush standard output at its end gives 2; a
// run stopped by a signal before it changed the table gives 128 + the signal
// (process/stop_requests.hpp), and one stopped later ends as its load ends.

#include "app/modes.hpp"
#include "core/constants.hpp"

namespace tessim {

struct EntrySettings {
    int runtime_limit = RUNTIME_LIMIT;
    void (*dispatch)(const RunConfig& config) = dispatch_mode;
};

// The whole run; returns the exit status, except after an expired limit, where it ends the
// process itself (the dispatch thread is still running then).
int run_entry(int argc, char** argv, const EntrySettings& settings = {});

}  // namespace tessim
