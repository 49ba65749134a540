// The MySQL password seen from outside the process: ps, /proc/PID/cmdline, and the
// hand-over variable set by hand.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/app/run_program.hpp"

namespace {

using tessim::testing::run_program;
using Args = std::vector<std::string>;

const std::string PROGRAM = TESSIM_CLIENTES_PATH;
const std::string PASSWORD = "Senha-Visivel-7Qz";

std::vector<std::string> cmdline_of(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline");
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end; (end = raw.find('\0', start)) != std::string::npos; start = end + 1)
        fields.push_back(raw.substr(start, end - start));
    return fields;
}

// A MariaDB look-alike that accepts connections and never says a word: the client waits in
// its handshake for as long as the run lasts.
struct SilentListener {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port = 0;
    SilentListener() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 4) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("listener");
        port = ntohs(address.sin_port);
    }
    ~SilentListener() { ::close(fd); }
    // The descriptor of the accepted connection, or -1 when nobody came in time.
    int accept_within(int milliseconds) const {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, milliseconds) != 1) return -1;
        return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    }
};

TEST(Secrets, RunningProcessShowsNoPasswordOnItsCommandLine) {
    SilentListener mariadb;
    const Args args = {PROGRAM,     "descobertaClientes",
                       "127.0.0.1", std::to_string(mariadb.port),
                       "usuario",   PASSWORD,
                       "base",      "127.0.0.1",
                       "9009",      "host-zabbix"};
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    const pid_t run = ::fork();
    ASSERT_GE(run, 0);
    if (run == 0) {
        ::execv(PROGRAM.c_str(), argv.data());
        ::_exit(127);
    }
    // Once it knocks, the command line has long been read.
    const int connection = mariadb.accept_within(10000);
    std::vector<std::string> seen;
    if (connection >= 0) seen = cmdline_of(run);
    ::kill(run, SIGKILL);
    int status = 0;
    ::waitpid(run, &status, 0);
    ASSERT_GE(connection, 0) << "the run never connected";
    ::close(connection);

    ASSERT_EQ(seen.size(), args.size());
    EXPECT_EQ(seen[5], std::string(PASSWORD.size(), 'x'));
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i == 5) continue;
        EXPECT_EQ(seen[i], args[i]) << "argument " << i << " was disturbed";
    }
}

// A variable set by hand never makes the run carry on with some other password: it stops
// before connecting anywhere, says why, and repeats neither password nor variable.
TEST(Secrets, HandOverVariableSetByHandIsAClearFailure) {
    int pipe_with_writer[2];
    ASSERT_EQ(::pipe(pipe_with_writer), 0);  // inherited by the run, writer still open
    int good_pipe[2];
    ASSERT_EQ(::pipe(good_pipe), 0);
    ASSERT_EQ(::write(good_pipe[1], "outra", 5), 5);
    ::close(good_pipe[1]);

    struct Case {
        std::string value;
        std::string password_argument;
        std::string reason;
    };
    const Case cases[] = {
        {"segredo-no-ambiente", PASSWORD, "valor inválido"},
        {"", PASSWORD, "valor inválido"},
        {"2", PASSWORD, "valor inválido"},
        {"977", PASSWORD, "não está aberto"},
        {std::to_string(pipe_with_writer[0]), "********", "aberto para escrita"},
        // A real pipe, but the password was typed on the command line as well.
        {std::to_string(good_pipe[0]), PASSWORD, "marcador"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("[" + c.value + "]");
        ::setenv("TESSIM_DB_PASSWORD_FD", c.value.c_str(), 1);
        // Port 1 refuses at once, should the run wrongly go on to connect.
        const auto run =
            run_program(PROGRAM, {PROGRAM, "descobertaClientes", "127.0.0.1", "1", "usuario",
                                  c.password_argument, "base", "127.0.0.1", "9009", "host-zabbix"});
        ::unsetenv("TESSIM_DB_PASSWORD_FD");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("TESSIM_DB_PASSWORD_FD"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("MySQL"), std::string::npos) << "went on to connect: " << run.err;
        EXPECT_EQ(run.err.find(PASSWORD), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("segredo-no-ambiente"), std::string::npos) << run.err;
    }
    ::close(pipe_with_writer[0]);
    ::close(pipe_with_writer[1]);
    ::close(good_pipe[0]);

    // The one-argument layout has no password to receive: the variable does not stop it.
    ::setenv("TESSIM_DB_PASSWORD_FD", "977", 1);
    const auto version = run_program(PROGRAM, {PROGRAM, "version"});
    ::unsetenv("TESSIM_DB_PASSWORD_FD");
    EXPECT_EQ(version.status, 0);
}

}  // namespace
