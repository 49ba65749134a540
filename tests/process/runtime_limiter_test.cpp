#include "process/runtime_limiter.hpp"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

namespace {

namespace process = tavmolibrary::process_library;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A way to block a dispatch forever, and a way to let it go once the test is done.
struct Blocker {
    const char* name;
    std::function<void()> block;
    std::function<void()> release;
};

Blocker pipe_read() {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    return {"leitura de pipe",
            [fd = fds[0]] {
                char byte;
                (void)::read(fd, &byte, 1);
            },
            [fds] { ::close(fds[1]); }};
}

Blocker socket_accept() {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(listener, 1), 0);
    return {"accept de socket", [listener] { (void)::accept(listener, nullptr, nullptr); },
            [listener] { ::shutdown(listener, SHUT_RDWR); }};
}

TEST(RuntimeLimiter, InterruptsABlockedWaitWhenTheLimitPasses) {
    for (const Blocker& blocker : {pipe_read(), socket_accept()}) {
        SCOPED_TRACE(blocker.name);
        const auto start = Clock::now();
        try {
            process::runtime_limiter(1).run(blocker.block);
            ADD_FAILURE() << "the limiter returned although the dispatch is still blocked";
        } catch (const process::TimeoutException& timeout) {
            EXPECT_STREQ(timeout.what(), "Tempo limite de execução excedido (1 s).");
        }
        const double elapsed = seconds_since(start);
        EXPECT_GE(elapsed, 0.95);
        EXPECT_LT(elapsed, 2.0);
        blocker.release();
    }
}

TEST(RuntimeLimiter, ReturnsAsSoonAsTheDispatchEnds) {
    bool ran = false;
    const auto start = Clock::now();
    process::runtime_limiter(2).run([&ran] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ran = true;
    });
    EXPECT_TRUE(ran);
    EXPECT_LT(seconds_since(start), 1.0);
}

TEST(RuntimeLimiter, PassesEveryFailureOnUnchanged) {
    const process::runtime_limiter limiter(5);

    try {
        limiter.run([] { throw std::out_of_range("fora do intervalo"); });
        ADD_FAILURE() << "std::out_of_range was absorbed";
    } catch (const std::out_of_range& failure) {
        EXPECT_STREQ(failure.what(), "fora do intervalo");
    }

    // Not a std::exception at all.
    struct EndRequest {
        int status;
    };
    try {
        limiter.run([] { throw EndRequest{7}; });
        ADD_FAILURE() << "EndRequest was absorbed";
    } catch (const EndRequest& end) {
        EXPECT_EQ(end.status, 7);
    }

    // A timeout raised by the dispatch itself is not the limiter's, but passes the same way.
    try {
        limiter.run([] { throw process::TimeoutException(std::string("interno")); });
        ADD_FAILURE() << "TimeoutException was absorbed";
    } catch (const process::TimeoutException& timeout) {
        EXPECT_STREQ(timeout.what(), "interno");
    }

    EXPECT_THROW(limiter.run([] { throw 42; }), int);
}

TEST(RuntimeLimiter, RefusesALimitThatIsNotPositive) {
    EXPECT_THROW(process::runtime_limiter(0), std::invalid_argument);
    EXPECT_THROW(process::runtime_limiter(-5), std::invalid_argument);
}

TEST(TimeoutException, MessageNamesTheLimit) {
    EXPECT_STREQ(process::TimeoutException(900).what(),
                 "Tempo limite de execução excedido (900 s).");
    EXPECT_STREQ(process::TimeoutException(std::string()).what(), "");
}

}  // namespace
