#include "tests/app/run_program.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace tessim::testing {

ProgramRun run_program(const std::string& executable, const std::vector<std::string>& argv,
                       const RunOptions& options, const std::function<void(pid_t)>& while_running) {
    std::vector<char*> c_argv;
    for (const auto& arg : argv) c_argv.push_back(const_cast<char*>(arg.c_str()));
    c_argv.push_back(nullptr);

    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2");
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork");
    if (child == 0) {
        if (while_running) ::setpgid(0, 0);
        if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(120);
        int stdout_fd = out[1];
        if (!options.stdout_path.empty()) {
            stdout_fd = ::open(options.stdout_path.c_str(), O_WRONLY | O_CLOEXEC);
            if (stdout_fd < 0) ::_exit(121);
        }
        const int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (::dup2(null_fd, 0) < 0 || ::dup2(stdout_fd, 1) < 0 || ::dup2(err[1], 2) < 0)
            ::_exit(122);
        ::execv(executable.c_str(), c_argv.data());
        ::_exit(123);
    }
    if (while_running) ::setpgid(child, child);  // both sides: the group exists on return
    ::close(out[1]);
    ::close(err[1]);

    ProgramRun run;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open_streams = 2;
    const auto deadline = start + options.limit;
    while (open_streams > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(child, SIGKILL);
            break;
        }
        const long wait_ms = while_running ? std::min<long>(left.count(), 20) : left.count();
        const int ready = ::poll(fds, 2, static_cast<int>(wait_ms));
        if (while_running) while_running(child);
        if (ready < 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[65536];
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open_streams;
            }
        }
    }
    for (const pollfd& fd : fds)
        if (fd.fd >= 0) ::close(fd.fd);

    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace tessim::testing
