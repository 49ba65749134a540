#pragma once
// Requests to stop a run: SIGTERM (Zabbix at its time-out, sent to the whole process group; a
// service manager; kill), SIGINT (Ctrl-C), SIGHUP (a closed terminal or SSH session) and
// SIGQUIT.
//
// A run stopped before it changes the table can end at once: the table keeps what it held.
// Once the table has been emptied, ending would leave it empty or half loaded until the next
// good run, so the run finishes its load first and only then reports the request. Which of the
// two applies is one atomic state shared by the worker doing the run and the thread waiting
// for it (the run-time limiter's):
//
//   stoppable --commit_to_finish(), worker-----> committed
//   stoppable --request_stop(), waiting thread--> stopping
//
// Whoever moves it first decides. A worker that finds "stopping" never returns from
// commit_to_finish (the process is being ended); a request that finds "committed" is
// remembered, the first one only.
//
// No signal handler runs: the signals are blocked in every thread of the run and read from a
// signalfd by the waiting thread, so no signal interrupts MariaDB Connector/C or libcurl and
// nothing here has to be async-signal-safe.
//
// An interrupted run ends with status 128 + the signal's number, as a shell reports a process
// killed by it (143 for SIGTERM, 130 for SIGINT, 129 for SIGHUP, 131 for SIGQUIT).

#include <string>
#include <string_view>

#include "process/descriptor.hpp"

namespace tavmolibrary::process_library {

// Blocks the stop signals in the calling thread (threads created afterwards inherit the mask)
// and opens a signalfd for them. The mask is not restored when the object goes: a request
// arriving after the run's work has ended finds a process that is about to end anyway, and
// unblocking would let it kill the run between its last row and the flush of its "OK".
class StopSignals {
  public:
    // Throws std::system_error when the mask cannot be set or the signalfd cannot be made.
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Readable (poll) while a stop signal is pending.
    int descriptor() const { return fd_.get(); }
    // Takes one pending stop signal; 0 when none is pending.
    int take() const;

  private:
    Descriptor fd_;
};

// Puts the state back to "stoppable", with nothing remembered: the start of a run.
void reset_stop_state();

// Called by the worker right before the first statement that changes the table. Returns when
// the change may go ahead; never returns when a stop has already been decided.
void commit_to_finish();

// True once commit_to_finish has returned (until the next reset).
bool committed_to_finish();

enum class StopDecision {
    end_now,   // nothing has been changed: the caller ends the run with end_interrupted
    deferred,  // the first request after the commit: remembered, the run goes on
    ignored,   // a later one: changes nothing
};

// The waiting thread's side, for each stop signal read.
StopDecision request_stop(int signal);

// The signal remembered after the commit; 0 when none.
int deferred_stop();

// "SIGTERM", "SIGINT", "SIGHUP", "SIGQUIT"; "sinal N" for any other number.
std::string signal_name(int signal);

// Writes the operator's line of an interrupted run (operator_lines.hpp) on standard error and ends
// the process with 128 + `signal`, at once
// (_exit: the worker may still be blocked inside a library). A failed write changes nothing.
[[noreturn]] void end_interrupted(int signal);

// Writes the operator's line of a deferred request on standard error, when one was deferred;
// a failed write (the reader may be gone) is ignored.
void report_deferred_stop();

}  // namespace tavmolibrary::process_library
