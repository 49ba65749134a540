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
#include <utility>

#include "process/concealed_argument.hpp"
#include "process/descriptor.hpp"

extern char** environ;

namespace tavmolibrary::process_library {
namespace {

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

// `handover_fd` (or -1) becomes HANDOVER_FD of the new run, without close-on-exec.
[[noreturn]] void exec_detached(int report_fd, int handover_fd, const char* executable,
                                char* const* argv, char* const* envp, unsigned fd_limit) {
    // Keep the report channel and the hand-over away from 0..HANDOVER_FD, which are about
    // to be replaced.
    const int first_free = HANDOVER_FD + 1;
    const int report = ::fcntl(report_fd, F_DUPFD_CLOEXEC, first_free);
    if (report < 0) report_and_quit(report_fd, errno);
    int handover = -1;
    if (handover_fd >= 0) {
        handover = ::fcntl(handover_fd, F_DUPFD_CLOEXEC, first_free);
        if (handover < 0) report_and_quit(report, errno);
    }

    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd < 0) report_and_quit(report, errno);
    for (int fd = 0; fd <= 2; ++fd)
        if (::dup2(null_fd, fd) < 0) report_and_quit(report, errno);
    // dup2 leaves the new descriptor without close-on-exec.
    if (handover >= 0 && ::dup2(handover, HANDOVER_FD) < 0) report_and_quit(report, errno);

    const auto kept = static_cast<unsigned>(report);
    const unsigned first_closed = handover >= 0 ? HANDOVER_FD + 1 : 3;
    close_from(first_closed, kept - 1, fd_limit);
    close_from(kept + 1, UINT_MAX, fd_limit);

    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    ::execve(executable, argv, envp);
    report_and_quit(report, errno);
}

// The caller's environment without HANDOVER_VARIABLE (a stale or hand-made one must not
// reach the new run), plus the variable when there is something to hand over.
std::vector<std::string> launched_environment(bool with_handover) {
    const std::string prefix = std::string(HANDOVER_VARIABLE) + "=";
    std::vector<std::string> env;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
        if (std::string_view(*entry).substr(0, prefix.size()) != prefix) env.emplace_back(*entry);
    if (with_handover) env.push_back(prefix + std::to_string(HANDOVER_FD));
    return env;
}

std::vector<char*> c_strings(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (const auto& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
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

// A pipe already holding `text` and closed for writing: the new run reads it to end of file
// without waiting for anyone. Both ends close on exec; exec_detached moves the read end.
int handover_pipe(const std::string& text) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw_errno(errno, "launch: pipe2");
    Descriptor read_end(ends[0]);
    const Descriptor write_end(ends[1]);
    // Nobody reads until the new run starts, so the whole text must fit in the pipe.
    if (text.size() > 4096 &&
        ::fcntl(write_end.get(), F_SETPIPE_SZ, static_cast<int>(text.size())) < 0)
        throw_errno(errno, "launch: F_SETPIPE_SZ");
    if (const int error = write_all(write_end.get(), text); error != 0)
        throw_errno(error, "launch: escrita no pipe de passagem");
    return read_end.release();
}

}  // namespace

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

void launch(std::string_view mode, const std::string& executable,
            const std::vector<std::string>& command_line, std::optional<std::size_t> concealed) {
    std::vector<std::string> argv = launched_arguments(mode, command_line);
    std::optional<std::string> handed_over;
    // Position 1 is the mode, rewritten above; only what follows it is carried over as is.
    if (concealed && *concealed >= 2 && *concealed < argv.size())
        handed_over = std::exchange(argv[*concealed], std::string(PLACEHOLDER));

    // Everything the children need is prepared here: after fork nothing may allocate.
    std::vector<char*> c_argv = c_strings(argv);
    const std::vector<std::string> env = launched_environment(handed_over.has_value());
    std::vector<char*> c_env = c_strings(env);
    const unsigned fd_limit = open_file_limit();
    const Descriptor handover(handed_over ? handover_pipe(*handed_over) : -1);

    // Carries the errno of a failed setsid/fork/exec back; closed by exec on success.
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw_errno(errno, "launch: pipe2");
    Descriptor report_read(ends[0]);
    Descriptor report_write(ends[1]);

    const pid_t middle = ::fork();
    if (middle < 0) throw_errno(errno, "launch: fork");
    if (middle == 0) {
        report_read.close();
        const int report = report_write.get();
        if (::setsid() < 0) report_and_quit(report, errno);
        const pid_t run = ::fork();
        if (run < 0) report_and_quit(report, errno);
        if (run > 0) ::_exit(0);
        exec_detached(report, handover.get(), executable.c_str(), c_argv.data(), c_env.data(),
                      fd_limit);
    }

    report_write.close();
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(report_read.get(), &error, sizeof error)) < 0 && errno == EINTR) {
    }
    if (got == static_cast<ssize_t>(sizeof error)) throw_errno(error, "launch: exec");
    // Killed before it could report anything: the run may not have started.
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw_errno(ECHILD, "launch: processo intermediário terminou sem sucesso");
}

}  // namespace tavmolibrary::process_library
