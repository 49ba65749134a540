#include "process/launch.hpp"

#include "process/concealed_argument.hpp"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

namespace process = tavmolibrary::process_library;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

TEST(LaunchedArguments, TakesTheModeAfterTheFirstMarkAndKeepsTheRest) {
    struct Case {
        std::string mode;
        Args command_line;
        Args expected;
    };
    const Case cases[] = {
        {"launch_version", {"prog", "launch_version"}, {"prog", "version"}},
        {"xlaunch_version", {"./prog", "xlaunch_version"}, {"./prog", "version"}},
        {"a_launch_b_launch_c", {"p", "a_launch_b_launch_c"}, {"p", "b_launch_c"}},
        {"launch_", {"p", "launch_"}, {"p", ""}},
        {"launch_descobertaClientes",
         {"p", "launch_descobertaClientes", "h", "3306", "u", "", "db", "q", "9009", "debug"},
         {"p", "descobertaClientes", "h", "3306", "u", "", "db", "q", "9009", "debug"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(process::launched_arguments(c.mode, c.command_line), c.expected);
    }
    EXPECT_THROW(process::launched_arguments("version", {"p", "version"}), std::invalid_argument);
    EXPECT_THROW(process::launched_arguments("Launch_x", {"p", "Launch_x"}), std::invalid_argument);
}

std::map<std::string, std::string> read_report(const fs::path& path) {
    std::map<std::string, std::string> report;
    std::ifstream in(path);
    std::string line;
    int arg = 0;
    while (std::getline(in, line)) {
        const auto space = line.find(' ');
        std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "arg") key += std::to_string(arg++);
        report[key] = value;
    }
    return report;
}

bool wait_for_file(const fs::path& path, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class Launch : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tessim_launch_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(Launch, DetachedRunHoldsNothingOfTheCaller) {
    // Stands for the pipe Zabbix reads the check's output through: inherited, not CLOEXEC.
    int zabbix_pipe[2];
    ASSERT_EQ(::pipe(zabbix_pipe), 0);
    const fs::path report = dir_ / "report";

    const auto start = std::chrono::steady_clock::now();
    process::launch(
        "xlaunch_report", LAUNCH_PROBE_PATH,
        {"./nome-invocado", "xlaunch_report", report.string(), "1500", "", "último argumento"});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(1000)) << "launch waited for the run";

    // No child of ours is left behind, running or as a zombie.
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    // With our end closed, the reader sees end-of-file while the run is still pausing.
    ::close(zabbix_pipe[1]);
    pollfd readable{zabbix_pipe[0], POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 1000), 1) << "the launched run holds the caller's pipe";
    char byte;
    EXPECT_EQ(::read(zabbix_pipe[0], &byte, 1), 0);
    ::close(zabbix_pipe[0]);

    ASSERT_TRUE(wait_for_file(report, std::chrono::seconds(10)));
    const auto seen = read_report(report);
    EXPECT_EQ(seen.at("argc"), "6");
    EXPECT_EQ(seen.at("arg0"), "./nome-invocado");
    EXPECT_EQ(seen.at("arg1"), "report");
    EXPECT_EQ(seen.at("arg2"), report.string());
    EXPECT_EQ(seen.at("arg3"), "1500");
    EXPECT_EQ(seen.at("arg4"), "");
    EXPECT_EQ(seen.at("arg5"), "último argumento");
    EXPECT_NE(std::stol(seen.at("sid")), static_cast<long>(::getsid(0)));
    EXPECT_NE(std::stol(seen.at("pgid")), static_cast<long>(::getpgid(0)));
    EXPECT_EQ(seen.at("fd0"), "/dev/null");
    EXPECT_EQ(seen.at("fd1"), "/dev/null");
    EXPECT_EQ(seen.at("fd2"), "/dev/null");
    EXPECT_EQ(seen.at("fds"), "0 1 2");
}

// The concealed argument reaches the new run through the pipe on descriptor 3, never on its
// command line; the other arguments keep their places.
TEST_F(Launch, ConcealedArgumentIsHandedOverOffTheCommandLine) {
    const fs::path report = dir_ / "report";
    // Longer than a page and with bytes a shell would mangle: it must arrive byte for byte.
    std::string secret = "s3nh4;'\"$(x) ção\t";
    secret += std::string(70000, 'k');
    ::setenv(process::HANDOVER_VARIABLE, "9", 1);  // a stale one must not reach the run
    process::launch("launch_report", LAUNCH_PROBE_PATH,
                    {"p", "launch_report", report.string(), "0", "u", secret, "db"}, 5);
    ::unsetenv(process::HANDOVER_VARIABLE);

    ASSERT_TRUE(wait_for_file(report, std::chrono::seconds(10)));
    const auto seen = read_report(report);
    EXPECT_EQ(seen.at("argc"), "7");
    EXPECT_EQ(seen.at("arg4"), "u");
    EXPECT_EQ(seen.at("arg5"), process::PLACEHOLDER);
    EXPECT_EQ(seen.at("arg6"), "db");
    EXPECT_EQ(seen.at("handover_env"), "3");
    EXPECT_EQ(seen.at("handover_text").size(), secret.size());
    EXPECT_TRUE(seen.at("handover_text") == secret);
    EXPECT_EQ(seen.at("fds"), "0 1 2 3");
}

TEST_F(Launch, WithoutConcealedArgumentNoHandOverReachesTheRun) {
    const fs::path report = dir_ / "report";
    ::setenv(process::HANDOVER_VARIABLE, "3", 1);
    process::launch("launch_report", LAUNCH_PROBE_PATH,
                    {"p", "launch_report", report.string(), "0", "u", "visível"});
    ::unsetenv(process::HANDOVER_VARIABLE);
    ASSERT_TRUE(wait_for_file(report, std::chrono::seconds(10)));
    const auto seen = read_report(report);
    EXPECT_EQ(seen.at("arg5"), "visível");
    EXPECT_EQ(seen.at("handover_env"), "-");
    EXPECT_EQ(seen.at("fds"), "0 1 2");
}

TEST_F(Launch, ExecFailureIsReportedToTheCaller) {
    try {
        process::launch("launch_x", (dir_ / "não-existe").string(), {"p", "launch_x"});
        ADD_FAILURE() << "launch of a missing executable did not throw";
    } catch (const std::system_error& failure) {
        EXPECT_EQ(failure.code().value(), ENOENT);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
}

}  // namespace
