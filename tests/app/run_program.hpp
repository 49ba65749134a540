#pragma once
// Runs a program as a child process and collects what it wrote and how it ended.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tessim::testing {

struct ProgramRun {
    std::string out;
    std::string err;
    int status = -1;  // exit status; -1 when it did not exit normally
    std::chrono::milliseconds took{0};
};

struct RunOptions {
    std::string cwd;          // empty: the test's own
    std::string stdout_path;  // empty: a pipe, collected into `out`
    std::chrono::seconds limit{20};
};

// `argv[0]` is what the program sees as its name; `executable` is what is executed (a relative
// path is taken from `cwd`). With `while_running`, the child leads a process group of its own,
// as Zabbix starts a check, and `while_running` is called with its pid every 20 ms or so.
ProgramRun run_program(const std::string& executable, const std::vector<std::string>& argv,
                       const RunOptions& options = {},
                       const std::function<void(pid_t)>& while_running = {});

}  // namespace tessim::testing
