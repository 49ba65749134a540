#include "process/launch.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <stdexcept>
#include <system_error>

namespace tavmolibrary::process_library {
namespace {

std::vector<std::string> the_arguments;

constexpr std::string_view LAUNCH_MARK = "launch_";

// Only async-signal-safe calls from here on: the caller may be multi-threaded.
[[noreturn]] void report_and_quit(int report_fd, int error) {
    ssize_t ignored = ::write(report_fd, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

void close_from(unsigned first, unsigned last, unsigned fallback_limit) {
    if (first > last) return;
    if (::close_range(first, last, 0) == 0) return;
    // Kernels before 5.9 have no close_range.
    for (unsigned fd = first; fd <= last && fd < fallback_limit; ++fd)
        ::close(static_cast<int>(fd));
}

[[noreturn]] void exec_detached(int report_fd, const char* executable, char* const* argv,
                                unsigned fd_limit) {
    // Keep the report channel away from 0..2, which are about to be replaced.
    const int report = ::fcntl(report_fd, F_DUPFD_CLOEXEC, 3);
    if (report < 0) report_and_quit(report_fd, errno);

    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd < 0) report_and_quit(report, errno);
    for (int fd = 0; fd <= 2; ++fd)
        if (::dup2(null_fd, fd) < 0) report_and_quit(report, errno);

    const auto kept = static_cast<unsigned>(report);
    close_from(3, kept - 1, fd_limit);
    close_from(kept + 1, UINT_MAX, fd_limit);

    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    ::execv(executable, argv);
    report_and_quit(report, errno);
}

unsigned open_file_limit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > UINT_MAX)
        return 65536;
    return static_cast<unsigned>(limit.rlim_cur);
}

[[noreturn]] void throw_errno(int error, const char* what) {
    throw std::system_error(error, std::generic_category(), what);
}

}  // namespace

void set_arguments(int argc, const char* const* argv) {
    the_arguments.assign(argv, argv + (argc > 0 ? argc : 0));
}

const std::vector<std::string>& arguments() {
    return the_arguments;
}

std::vector<std::string> launched_arguments(std::string_view mode,
                                            const std::vector<std::string>& command_line) {
    const auto mark = mode.find(LAUNCH_MARK);
    if (mark == std::string_view::npos)
        throw std::invalid_argument("modo sem \"launch_\": " + std::string(mode));
    std::vector<std::string> argv;
    argv.reserve(command_line.size() < 2 ? 2 : command_line.size());
    argv.emplace_back(command_line.empty() ? std::string() : command_line.front());
    argv.emplace_back(mode.substr(mark + LAUNCH_MARK.size()));
    for (std::size_t i = 2; i < command_line.size(); ++i) argv.push_back(command_line[i]);
    return argv;
}

void spawn_detached(const std::string& executable, const std::vector<std::string>& argv) {
    // Everything the children need is prepared here: after fork nothing may allocate.
    std::vector<char*> c_argv;
    c_argv.reserve(argv.size() + 1);
    for (const auto& arg : argv) c_argv.push_back(const_cast<char*>(arg.c_str()));
    c_argv.push_back(nullptr);
    const unsigned fd_limit = open_file_limit();

    // Carries the errno of a failed setsid/fork/exec back; closed by exec on success.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) throw_errno(errno, "launch: pipe2");

    const pid_t middle = ::fork();
    if (middle < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        throw_errno(error, "launch: fork");
    }
    if (middle == 0) {
        ::close(report[0]);
        if (::setsid() < 0) report_and_quit(report[1], errno);
        const pid_t run = ::fork();
        if (run < 0) report_and_quit(report[1], errno);
        if (run > 0) ::_exit(0);
        exec_detached(report[1], executable.c_str(), c_argv.data(), fd_limit);
    }

    ::close(report[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (got == static_cast<ssize_t>(sizeof error)) throw_errno(error, "launch: exec");
    // Killed before it could report anything: the run may not have started.
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw_errno(ECHILD, "launch: processo intermediário terminou sem sucesso");
}

void launch(std::string_view mode, const std::string& executable,
            const std::vector<std::string>& command_line) {
    spawn_detached(executable, launched_arguments(mode, command_line));
}

void launch(std::string_view mode) {
    launch(mode, "/proc/self/exe", arguments());
}

}  // namespace tavmolibrary::process_library
