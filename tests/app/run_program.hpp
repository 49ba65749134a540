#pragma once
// Runs a program as a child process and collects what it wrote and how it ended.

#include <chrono>
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
// path is taken from `cwd`).
ProgramRun run_program(const std::string& executable, const std::vector<std::string>& argv,
                       const RunOptions& options = {});

}  // namespace tessim::testing
