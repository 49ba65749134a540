// The built tessim_clientes, run as Zabbix or a person would run it.

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/app/run_program.hpp"

namespace {

namespace fs = std::filesystem;
using tessim::testing::run_program;
using tessim::testing::RunOptions;
using Args = std::vector<std::string>;

const std::string PROGRAM = TESSIM_CLIENTES_PATH;
const std::string CRITICAL =
    "Erro crítico -- Contactar Brantevika em: suporte@brantevika.com.br ou +55 (11) 4003-2671\n";
const std::string NOTICE =
    "Copyright (c) 2024 Brantevika Tecnologia. Todos os direitos reservados.\n";

Args with_program(Args args) {
    args.insert(args.begin(), PROGRAM);
    return args;
}

Args nine(const std::string& mode) {
    return {mode,   "127.0.0.1", "1",    "usuario",    "s3nh4-secreta",
            "base", "127.0.0.1", "9009", "host-zabbix"};
}

TEST(Entry, RefusesEveryArgumentCountButOneAndNine) {
    std::vector<Args> refused = {{}, {"version", "x"}};
    for (int count = 3; count <= 11; ++count)
        if (count != 9) refused.push_back(Args(static_cast<std::size_t>(count), "version"));
    for (const Args& args : refused) {
        SCOPED_TRACE(args.size());
        const auto run = run_program(PROGRAM, with_program(args));
        EXPECT_EQ(run.out, CRITICAL);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, 1);
    }
}

TEST(Entry, VersionReportForOneOrNineArguments) {
    for (const Args& args : {Args{"version"}, nine("version")}) {
        SCOPED_TRACE(args.size());
        const auto run = run_program(PROGRAM, with_program(args));
        EXPECT_EQ(run.out, NOTICE + PROGRAM + "  1.0.8\n");
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, 0);
    }
}

TEST(Entry, VersionLineShowsTheNameAsInvoked) {
    const fs::path program(PROGRAM);
    const std::string folder = program.parent_path().filename();
    const std::string name = program.filename();
    struct Case {
        std::string invoked;
        std::string expected_line;
    };
    const Case cases[] = {
        {"./" + name, " " + name + "  1.0.8\n"},
        {"../" + folder + "/" + name, ". " + folder + "/" + name + "  1.0.8\n"},
        {"./../" + folder + "/./" + name, " . " + folder + "/ " + name + "  1.0.8\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.invoked);
        RunOptions options;
        options.cwd = program.parent_path();
        const auto run = run_program(c.invoked, {c.invoked, "version"}, options);
        EXPECT_EQ(run.out, NOTICE + c.expected_line);
        EXPECT_EQ(run.status, 0);
    }
}

TEST(Entry, ModesOutsideTheChainDoNothing) {
    for (const std::string mode :
         {"Version", "VERSION", "version ", "", "descobertaclientes", "launch", "Launch_x"}) {
        for (const Args& args : {Args{mode}, nine(mode)}) {
            SCOPED_TRACE("[" + mode + "] " + std::to_string(args.size()));
            const auto run = run_program(PROGRAM, with_program(args));
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err, "");
            EXPECT_EQ(run.status, 0);
        }
    }
}

TEST(Entry, DiscoveryWithOneArgumentFailsOnTheUnsetField) {
    const auto run = run_program(PROGRAM, {PROGRAM, "descobertaClientes"});
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("tessim_clientes: falha não tratada", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("db_host"), std::string::npos) << run.err;
    EXPECT_EQ(run.status, 1);
}

TEST(Entry, FailedDiscoveryNamesTheFailureButNotThePassword) {
    // Port 1 on the loopback refuses at once, should the discovery try to connect.
    const auto run = run_program(PROGRAM, with_program(nine("descobertaClientes")));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("tessim_clientes: falha não tratada", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find("s3nh4-secreta"), std::string::npos) << run.err;
}

TEST(Entry, UnflushableOutputGivesStatusTwo) {
    RunOptions options;
    options.stdout_path = "/dev/full";
    const auto run = run_program(PROGRAM, {PROGRAM, "version"}, options);
    EXPECT_EQ(run.status, 2);
}

// The session id of a process, read from /proc/<pid>/stat (a zombie's too).
long session_of(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    std::string state;
    long ppid = 0, pgrp = 0, session = 0;
    rest >> state >> ppid >> pgrp >> session;
    return session;
}

// The next orphan handed to us as subreaper: its pid, session and exit status. Leaves the
// pid 0 when none comes within the limit.
struct Orphan {
    pid_t pid = 0;
    long session = 0;
    int status = -1;
};

Orphan next_orphan(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        siginfo_t info{};
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0) {
            Orphan orphan{info.si_pid, session_of(info.si_pid), -1};
            int status = 0;
            ::waitpid(info.si_pid, &status, 0);
            orphan.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return orphan;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

// The launched run's own output goes to /dev/null, so it is seen through its exit status:
// we become the subreaper that inherits it once its launcher is gone.
TEST(Entry, LaunchStartsOneDetachedRunWithTheRestOfTheMode) {
    struct Case {
        Args args;
        int launched_status;
    };
    const Case cases[] = {
        {{"xlaunch_version"}, 0},
        {{"launch_descobertaClientes"}, 1},  // one-argument layout kept: the unset field
        {nine("zlaunch_version"), 0},        // nine kept: otherwise the critical line, 1
        {{"launch_"}, 0},
    };
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front());
        const auto run = run_program(PROGRAM, with_program(c.args));
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, 0);

        const Orphan launched = next_orphan(std::chrono::seconds(10));
        ASSERT_NE(launched.pid, 0) << "no detached run appeared";
        EXPECT_NE(launched.session, static_cast<long>(::getsid(0)));
        EXPECT_EQ(launched.status, c.launched_status);
        // Exactly one: the launched run got the mode without its "launch_".
        EXPECT_EQ(next_orphan(std::chrono::milliseconds(300)).pid, 0);
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

}  // namespace
