#include "process/runtime_limiter.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "process/descriptor.hpp"
#include "process/operator_lines.hpp"
#include "process/stop_requests.hpp"

namespace tavmolibrary::process_library {
namespace {

// Shared between the waiting thread and the worker; the worker keeps it alive after a
// timeout, when the waiting thread has already left. `failure` is read only after join.
struct DispatchState {
    Descriptor done{::eventfd(0, EFD_CLOEXEC)};
    std::exception_ptr failure;
};

// Waits for the worker's end, the deadline or a stop request, whichever comes first; a stop
// request that is to end the run does so from here. False when the deadline passed.
bool wait_for_dispatch(const DispatchState& state, const StopSignals& stops,
                       std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd fds[2] = {{state.done.get(), POLLIN, 0}, {stops.descriptor(), POLLIN, 0}};
        if (::poll(fds, 2, static_cast<int>(left.count())) < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if (fds[0].revents != 0) return true;
        if (fds[1].revents == 0) continue;
        const int signal = stops.take();
        if (signal != 0 && request_stop(signal) == StopDecision::end_now) end_interrupted(signal);
    }
}

}  // namespace

TimeoutException::TimeoutException(int limit_seconds)
    : std::runtime_error(report(Line::timeout, {std::to_string(limit_seconds)}).line) {}

runtime_limiter::runtime_limiter(int limit_seconds) : limit_seconds_(limit_seconds) {
    if (limit_seconds <= 0)
        throw std::invalid_argument("limite de execução deve ser positivo: " +
                                    std::to_string(limit_seconds));
}

void runtime_limiter::run(std::function<void()> dispatch) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limit_seconds_);
    auto state = std::make_shared<DispatchState>();
    if (state->done.get() < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
    // Before the worker exists, so that it starts with the stop signals blocked.
    const StopSignals stops;
    reset_stop_state();

    std::thread worker([state, dispatch = std::move(dispatch)] {
        try {
            dispatch();
        } catch (...) {
            state->failure = std::current_exception();
        }
        const std::uint64_t one = 1;
        while (::write(state->done.get(), &one, sizeof one) < 0 && errno == EINTR) {
        }
    });

    bool finished = false;
    try {
        finished = wait_for_dispatch(*state, stops, deadline);
    } catch (...) {
        worker.detach();
        throw;
    }
    if (!finished) {
        worker.detach();
        throw TimeoutException(limit_seconds_);
    }
    worker.join();
    if (state->failure) std::rethrow_exception(state->failure);
}

}  // namespace tavmolibrary::process_library
