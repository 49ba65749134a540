#include "process/stop_requests.hpp"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "process/descriptor.hpp"

namespace tavmolibrary::process_library {
namespace {

enum State : int { stoppable, committed, stopping };

// Process-wide like the signals it answers for: the store's worker and the limiter's waiting
// thread meet here without either knowing the other.
std::atomic<int> the_state{stoppable};
std::atomic<int> the_deferred{0};

sigset_t stop_set() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) sigaddset(&set, s);
    return set;
}

// Whole or not at all as far as we can tell; nobody is left to tell of a failure.
void write_error_line(const std::string& line) {
    (void)write_all(STDERR_FILENO, line + "\n");
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
    the_deferred = 0;
    the_state = stoppable;
}

void commit_to_finish() {
    int expected = stoppable;
    if (the_state.compare_exchange_strong(expected, committed) || expected == committed) return;
    // The stop won: the waiting thread is ending the process, and the change must not start.
    for (;;) ::pause();
}

bool committed_to_finish() {
    return the_state == committed;
}

StopDecision request_stop(int signal) {
    int expected = stoppable;
    if (the_state.compare_exchange_strong(expected, stopping) || expected == stopping)
        return StopDecision::end_now;
    int none = 0;
    return the_deferred.compare_exchange_strong(none, signal) ? StopDecision::deferred
                                                              : StopDecision::ignored;
}

int deferred_stop() {
    return the_deferred;
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

std::string interrupted_line(int signal) {
    return "Execução interrompida por " + signal_name(signal) + "; a tabela não foi alterada.";
}

std::string deferred_line(int signal) {
    return "Sinal " + signal_name(signal) +
           " recebido com a tabela já em alteração; a execução foi levada até o fim.";
}

void end_interrupted(int signal) {
    // Straight to the descriptor: the worker may hold the stderr stream's lock. Whatever it
    // buffered for standard output is dropped, as a kill would drop it.
    write_error_line(interrupted_line(signal));
    ::_exit(128 + signal);
}

void report_deferred_stop() {
    if (const int signal = deferred_stop(); signal != 0) write_error_line(deferred_line(signal));
}

}  // namespace tavmolibrary::process_library
