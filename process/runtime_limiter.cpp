#include "process/runtime_limiter.hpp"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tavmolibrary::process_library {
namespace {

// Shared between the waiting thread and the worker; the worker keeps it alive after a
// timeout, when the waiting thread has already left.
struct DispatchState {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::exception_ptr failure;
};

}  // namespace

TimeoutException::TimeoutException(int limit_seconds)
    : std::runtime_error("Tempo limite de execução excedido (" + std::to_string(limit_seconds) +
                         " s).") {}

runtime_limiter::runtime_limiter(int limit_seconds) : limit_seconds_(limit_seconds) {
    if (limit_seconds <= 0)
        throw std::invalid_argument("limite de execução deve ser positivo: " +
                                    std::to_string(limit_seconds));
}

void runtime_limiter::run(std::function<void()> dispatch) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limit_seconds_);
    auto state = std::make_shared<DispatchState>();

    std::thread worker([state, dispatch = std::move(dispatch)] {
        std::exception_ptr failure;
        try {
            dispatch();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(state->mutex);
        state->failure = failure;
        state->done = true;
        state->finished.notify_one();
    });

    std::unique_lock lock(state->mutex);
    const bool done = state->finished.wait_until(lock, deadline, [&] { return state->done; });
    lock.unlock();
    if (!done) {
        worker.detach();
        throw TimeoutException(limit_seconds_);
    }
    worker.join();
    if (state->failure) std::rethrow_exception(state->failure);
}

}  // namespace tavmolibrary::process_library
