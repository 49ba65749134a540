#include "store/run_lock.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <string>
#include <thread>

namespace tessim {
namespace {

using namespace std::chrono_literals;

// A name no other test run can hold.
std::string unique_name(const std::string& address) {
    return run_lock_name(address + "-" + std::to_string(::getpid()), "tessimClientes");
}

TEST(RunLockName, KeepsAddressAndTableAndFitsTheSocketName) {
    EXPECT_EQ(run_lock_name("127.0.0.10", "tessimClientes"),
              "tessim_clientes/127.0.0.10/tessimClientes");
    const std::string long_a(300, 'a');
    const std::string long_b = std::string(299, 'a') + "b";
    const std::string name_a = run_lock_name(long_a, "tessimClientes");
    EXPECT_LE(name_a.size(), 107u);
    EXPECT_NE(name_a, run_lock_name(long_b, "tessimClientes"));
    EXPECT_EQ(name_a, run_lock_name(long_a, "tessimClientes"));
    // A long address must still be usable as a lock.
    EXPECT_TRUE(RunLock::try_acquire(name_a).has_value());
}

TEST(RunLock, SecondAcquirerWaitsUntilTheFirstReleases) {
    const std::string name = unique_name("espera");
    auto first = RunLock::try_acquire(name);
    ASSERT_TRUE(first.has_value());
    EXPECT_FALSE(RunLock::try_acquire(name).has_value());

    std::atomic<bool> acquired{false};
    auto second = std::async(std::launch::async, [&] {
        RunLock lock = RunLock::acquire(name);
        acquired = true;
        return lock;
    });
    std::this_thread::sleep_for(400ms);
    EXPECT_FALSE(acquired) << "the second run did not wait";

    const auto released = std::chrono::steady_clock::now();
    first.reset();
    ASSERT_EQ(second.wait_for(2s), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - released, 500ms);
    RunLock held = second.get();
    // Held by the second now, and released when it goes.
    EXPECT_FALSE(RunLock::try_acquire(name).has_value());
    { RunLock gone = std::move(held); }
    EXPECT_TRUE(RunLock::try_acquire(name).has_value());
}

TEST(RunLock, OtherAddressesAndTablesDoNotBlock) {
    const std::string address = "127.0.0.10-" + std::to_string(::getpid());
    auto held = RunLock::try_acquire(run_lock_name(address, "tessimClientes"));
    ASSERT_TRUE(held.has_value());
    const std::string others[] = {
        run_lock_name("127.0.0.11-" + std::to_string(::getpid()), "tessimClientes"),
        run_lock_name(address, "outraTabela"),
        run_lock_name(address + "0", "tessimClientes"),
    };
    for (const std::string& other : others) {
        SCOPED_TRACE(other);
        EXPECT_TRUE(RunLock::try_acquire(other).has_value());
    }
}

// The holder is killed with SIGKILL: no destructor, no clean-up, yet the name is free.
TEST(RunLock, ReleasedWhenTheHoldingProcessDies) {
    const std::string name = unique_name("morte");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        ::close(ready[0]);
        auto lock = RunLock::try_acquire(name);
        const char byte = lock ? '1' : '0';
        (void)::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(byte, '1');

    EXPECT_FALSE(RunLock::try_acquire(name).has_value());
    ::kill(holder, SIGKILL);
    int status = 0;
    ::waitpid(holder, &status, 0);
    EXPECT_TRUE(RunLock::try_acquire(name).has_value());
}

// A program started while the lock is held (a launched run) does not keep it.
TEST(RunLock, NotInheritedThroughExec) {
    const std::string name = unique_name("exec");
    auto lock = RunLock::try_acquire(name);
    ASSERT_TRUE(lock.has_value());
    int exec_done[2];  // closed by the child's exec
    ASSERT_EQ(::pipe2(exec_done, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sleep", "sleep", "10", nullptr);
        ::_exit(127);
    }
    ::close(exec_done[1]);
    char byte;
    ASSERT_EQ(::read(exec_done[0], &byte, 1), 0);
    ::close(exec_done[0]);
    lock.reset();
    EXPECT_TRUE(RunLock::try_acquire(name).has_value());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

}  // namespace
}  // namespace tessim
