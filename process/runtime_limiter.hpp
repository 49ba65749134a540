#pragma once
// The run-time limit around the whole dispatch of a run.
//
// The dispatch may block inside libcurl or MariaDB Connector/C on a network read that never
// returns, and neither library can be interrupted from outside in a safe way (a signal would
// leave their handles in an undefined state). So the limiter runs the dispatch on a worker
// thread and makes the calling thread wait for it with a deadline:
//
//  - the dispatch ends first: the worker is joined and whatever the dispatch threw (any
//    exception, of any type) is rethrown unchanged in the calling thread. The limiter
//    never absorbs a failure.
//  - the deadline passes first: the worker is detached, still running (possibly blocked
//    forever), and TimeoutException is thrown in the calling thread.
//
// Contract for the caller after a TimeoutException: the worker is alive and may still be
// writing, so the process must be ended with _exit, never by returning from main or by
// exit() (static destructors would run under the worker's feet). The console stays in order
// because every program line goes out as one stdio call (print_line): the handler holds the
// stdout lock (flockfile) while it writes its line, flushes and calls _exit, so no worker
// line can come after the timeout line or inside it, and lines the worker had buffered go
// out before it.
//
// The waiting thread also answers the stop signals (stop_requests.hpp): they are blocked
// before the worker starts, so only the waiting thread ever sees one. A request that comes
// before the dispatch has committed to changing the table ends the process from inside run;
// later ones are remembered for the caller to report once the dispatch has ended.
//
// The dispatch must not touch the calling thread's locals once the deadline may have passed;
// it should capture by value or use only module-wide state.

#include <functional>

#include "process/timeout_exception.hpp"

namespace tavmolibrary::process_library {

class runtime_limiter {
  public:
    // `limit_seconds` must be positive; std::invalid_argument otherwise.
    explicit runtime_limiter(int limit_seconds);

    // Runs `dispatch` on a worker thread and waits for it at most the limit. Rethrows the
    // dispatch's failure, or throws TimeoutException when the limit passes first.
    void run(std::function<void()> dispatch) const;

  private:
    int limit_seconds_;
};

}  // namespace tavmolibrary::process_library
