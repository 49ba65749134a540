#include "process/stop_requests.hpp"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "process/operator_lines.hpp"

namespace tavmolibrary::process_library {
namespace {

enum State : unsigned { stoppable, committed, stopping };
constexpr unsigned kStateBits = 0xff;

// The stop gate: the state in the low byte, the signal deferred after the commit above it, so
// that both change in one step. Process-wide like the signals it answers for: the store's
// worker and the limiter's waiting thread meet here without either knowing the other, and
// the console asks it whether a closed reader may be ignored.
std::atomic<unsigned> the_gate{stoppable};

sigset_t stop_set() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) sigaddset(&set, s);
    return set;
}

}  // namespace

StopSignals::StopSignals() {
    const sigset_t set = stop_set();
    if (const int error = ::pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0)
        throw std::system_error(error, std::generic_category(), "pthread_sigmask");
    fd_ = Descriptor(::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
    if (fd_.get() < 0) throw std::system_error(errno, std::generic_category(), "signalfd");
}

int StopSignals::take() const {
    signalfd_siginfo info{};
    ssize_t got;
    while ((got = ::read(fd_.get(), &info, sizeof info)) < 0 && errno == EINTR) {
    }
    return got == static_cast<ssize_t>(sizeof info) ? static_cast<int>(info.ssi_signo) : 0;
}

void reset_stop_state() {
    the_gate = stoppable;
}

void commit_to_finish() {
    unsigned expected = stoppable;
    if (the_gate.compare_exchange_strong(expected, committed) ||
        (expected & kStateBits) == committed)
        return;
    // The stop won: the waiting thread is ending the process, and the change must not start.
    for (;;) ::pause();
}

bool committed_to_finish() {
    return (the_gate & kStateBits) == committed;
}

StopDecision request_stop(int signal) {
    unsigned expected = stoppable;
    if (the_gate.compare_exchange_strong(expected, stopping) || expected == stopping)
        return StopDecision::end_now;
    expected = committed;
    return the_gate.compare_exchange_strong(expected, committed | static_cast<unsigned>(signal)
                                                                      << 8)
               ? StopDecision::deferred
               : StopDecision::ignored;
}

int deferred_stop() {
    return static_cast<int>(the_gate >> 8);
}

std::string signal_name(int signal) {
    switch (signal) {
        case SIGTERM:
            return "SIGTERM";
        case SIGINT:
            return "SIGINT";
        case SIGHUP:
            return "SIGHUP";
        case SIGQUIT:
            return "SIGQUIT";
        default:
            return "sinal " + std::to_string(signal);
    }
}

void end_interrupted(int signal) {
    // Whatever the worker buffered for standard output is dropped, as a kill would drop it.
    write_report(report(Line::interrupted, {signal_name(signal)}));
    ::_exit(128 + signal);
}

void report_deferred_stop() {
    if (const int signal = deferred_stop(); signal != 0)
        write_report(report(Line::deferred_stop, {signal_name(signal)}));
}

}  // namespace tavmolibrary::process_library
