// The built program against the real MariaDB and QuestDB: secrets on every failure path and
// in a launched run, and runs that overlap on one table.

#include <dirent.h>
#include <gtest/gtest.h>
#include <mysql.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "store/run_lock.hpp"
#include "store/run_query.hpp"
#include "tests/app/run_program.hpp"

namespace {

using namespace std::chrono_literals;
using tessim::testing::ProgramRun;
using tessim::testing::run_program;
using Args = std::vector<std::string>;

const std::string PROGRAM = TESSIM_CLIENTES_PATH;
const std::string PROBE = TIMEOUT_PROBE_PATH;
const std::string QUESTDB_PASSWORD = "sentinelQT";
constexpr int CONTRACTS = 400;
constexpr int OTHER_CONTRACTS = 250;

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string read_all(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RealServers : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (env("TESSIM_TEST_MYSQL_HOST").empty() || env("TESSIM_TEST_QUESTDB_HOST").empty())
            return;
        database_ = "tessim_t_app_servers_" + std::to_string(::getpid());
        other_database_ = database_ + "_b";
        generated_ =
            generate(database_, CONTRACTS, 3) && generate(other_database_, OTHER_CONTRACTS, 5);
    }
    static bool generate(const std::string& database, int contracts, int seed) {
        const std::string cmd = "python3 " + std::string(TESSIM_ROOT) + "/scripts/gen-contracts " +
                                std::to_string(contracts) + " --seed " + std::to_string(seed) +
                                " --database " + database + " > /dev/null";
        return std::system(cmd.c_str()) == 0;
    }
    static void TearDownTestSuite() {
        if (!generated_) return;
        MYSQL* conn = mysql_init(nullptr);
        unsigned protocol = MYSQL_PROTOCOL_TCP;
        mysql_optionsv(conn, MYSQL_OPT_PROTOCOL, &protocol);
        if (mysql_real_connect(conn, env("TESSIM_TEST_MYSQL_HOST").c_str(),
                               env("TESSIM_TEST_MYSQL_USER").c_str(),
                               env("TESSIM_TEST_MYSQL_PASSWORD").c_str(), nullptr,
                               std::stoi(env("TESSIM_TEST_MYSQL_PORT")), nullptr, 0)) {
            for (const std::string& database : {database_, other_database_}) {
                const std::string drop = "DROP DATABASE `" + database + "`";
                mysql_real_query(conn, drop.data(), drop.size());
            }
        }
        mysql_close(conn);
    }
    void SetUp() override {
        if (env("TESSIM_TEST_MYSQL_HOST").empty() || env("TESSIM_TEST_QUESTDB_HOST").empty())
            GTEST_SKIP() << "TESSIM_TEST_* not set: start scripts/services";
        ASSERT_TRUE(generated_) << "scripts/gen-contracts failed";
        password_ = env("TESSIM_TEST_MYSQL_PASSWORD");
        questdb_ = env("TESSIM_TEST_QUESTDB_HOST");
    }

    // The nine arguments of a discovery run against the test servers.
    Args arguments(const std::string& mode, const std::string& zabbix_host = "host-zabbix") const {
        return {PROGRAM,
                mode,
                env("TESSIM_TEST_MYSQL_HOST"),
                env("TESSIM_TEST_MYSQL_PORT"),
                env("TESSIM_TEST_MYSQL_USER"),
                password_,
                database_,
                questdb_,
                "9000",
                zabbix_host};
    }

    nlohmann::ordered_json query(const std::string& sql) const {
        auto answer = tessim::run_query("http://" + questdb_ + ":9000", sql);
        if (!answer) throw std::runtime_error("QuestDB unreachable");
        return *answer;
    }

    // Rows and distinct contracts of the table once QuestDB has applied every committed
    // transaction (TRUNCATE included) of its write-ahead log.
    std::pair<long, long> settled_counts() const {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            const auto wal = query(
                "SELECT writerTxn, sequencerTxn FROM wal_tables() WHERE name = 'tessimClientes'");
            const auto& rows = wal.at("dataset");
            if (!rows.empty() && rows[0][0] == rows[0][1]) break;
            std::this_thread::sleep_for(100ms);
        }
        const auto counts =
            query("SELECT count(), count_distinct(idServico) FROM tessimClientes").at("dataset");
        return {counts[0][0].get<long>(), counts[0][1].get<long>()};
    }

    ProgramRun load_alone() const {
        auto run = run_program(PROGRAM, arguments("descobertaClientes"), {{}, {}, 120s});
        EXPECT_EQ(run.status, 0) << run.err;
        return run;
    }

    static inline std::string database_;
    static inline std::string other_database_;
    static inline bool generated_ = false;
    std::string password_;
    std::string questdb_;
};

// Every way a run can fail, none of them shows a password: the MySQL one given, a wrong one,
// or QuestDB's fixed one.
TEST_F(RealServers, NoFailureShowsAPassword) {
    const std::string wrong = "Errada-Senha-4Kp";
    struct Case {
        std::string what;
        std::size_t argument;  // the one argument that differs from a good run
        std::string value;
        std::string expected_text;
    };
    const std::vector<Case> cases = {
        {"senha errada", 5, wrong, "Access denied"},
        {"banco inexistente", 6, "tessim_t_nao_existe", "tessim_t_nao_existe"},
        {"QuestDB sem resposta", 7, "127.0.0.254", "Error: "},
        {"porta de ingestão recusada", 8, "1", "Erro: "},
        {"configuração de ingestão inválida", 8, "9000;password=x", "Erro: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Args args = arguments("descobertaClientes");
        args[c.argument] = c.value;
        const auto run = run_program(PROGRAM, args, {{}, {}, 60s});
        const std::string all = run.out + run.err;
        EXPECT_EQ(run.status, 1) << all;
        EXPECT_NE(all.find(c.expected_text), std::string::npos) << all;
        EXPECT_EQ(all.find(password_), std::string::npos) << all;
        EXPECT_EQ(all.find(wrong), std::string::npos) << all;
        EXPECT_EQ(all.find(QUESTDB_PASSWORD), std::string::npos) << all;
    }
}

// The launched run is held at the run lock so that it can be looked at: its command line
// and environment never hold the password, the hand-over pipe is closed, and once let go it
// loads every contract, which it can only do having logged in with the right password.
TEST_F(RealServers, LaunchedRunConnectsWithoutShowingThePassword) {
    const std::string marker = "secrets-launch-" + std::to_string(::getpid());
    std::optional<tessim::RunLock> held =
        tessim::RunLock::acquire(tessim::run_lock_name(questdb_, "tessimClientes"));
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);

    const auto launcher = run_program(PROGRAM, arguments("launch_descobertaClientes", marker));
    EXPECT_EQ(launcher.status, 0);
    EXPECT_EQ(launcher.out + launcher.err, "");

    pid_t launched = 0;
    std::string cmdline;
    for (auto deadline = std::chrono::steady_clock::now() + 10s;
         launched == 0 && std::chrono::steady_clock::now() < deadline;) {
        DIR* proc = ::opendir("/proc");
        while (const dirent* entry = ::readdir(proc)) {
            const std::string text = read_all("/proc/" + std::string(entry->d_name) + "/cmdline");
            if (text.find(marker) != std::string::npos &&
                text.find("launch_") == std::string::npos) {
                launched = std::atoi(entry->d_name);
                cmdline = text;
            }
        }
        ::closedir(proc);
        if (launched == 0) std::this_thread::sleep_for(5ms);
    }
    ASSERT_NE(launched, 0) << "launched run not found";
    EXPECT_EQ(cmdline.find(password_), std::string::npos) << cmdline;
    // Its environment is ours (which holds the test's own settings) plus the descriptor.
    std::set<std::string> added;
    const std::string environ_text = read_all("/proc/" + std::to_string(launched) + "/environ");
    for (std::size_t start = 0, end; (end = environ_text.find('\0', start)) != std::string::npos;
         start = end + 1) {
        const std::string entry = environ_text.substr(start, end - start);
        const char* ours = std::getenv(entry.substr(0, entry.find('=')).c_str());
        if (ours == nullptr || entry.substr(entry.find('=') + 1) != ours) added.insert(entry);
    }
    EXPECT_EQ(added, std::set<std::string>{"TESSIM_DB_PASSWORD_FD=3"});

    // Still waiting at the lock, it has read and closed the pipe.
    bool pipe_closed = false;
    for (auto deadline = std::chrono::steady_clock::now() + 10s;
         !pipe_closed && std::chrono::steady_clock::now() < deadline;) {
        pipe_closed = true;
        const std::string fd_dir = "/proc/" + std::to_string(launched) + "/fd";
        DIR* fds = ::opendir(fd_dir.c_str());
        ASSERT_NE(fds, nullptr);
        while (const dirent* entry = ::readdir(fds)) {
            char target[256] = {};
            if (::readlink((fd_dir + "/" + entry->d_name).c_str(), target, sizeof target - 1) > 0 &&
                std::string(target).rfind("pipe:", 0) == 0)
                pipe_closed = false;
        }
        ::closedir(fds);
        if (!pipe_closed) std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(pipe_closed);
    int status = 0;
    EXPECT_EQ(::waitpid(launched, &status, WNOHANG), 0) << "did not wait for the lock";

    held.reset();
    ASSERT_EQ(::waitpid(launched, &status, 0), launched);
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const auto [rows, contracts] = settled_counts();
    EXPECT_EQ(rows, CONTRACTS);
    EXPECT_EQ(contracts, CONTRACTS);
}

// Two runs started together, each from its own database (as one database read twice while
// contracts change): the second waits for the first and then replaces its rows, so the
// table ends with the rows of exactly one run, one per contract, and neither run says
// anything about the wait. (With identical data, the table's deduplication on idServico and
// dataCadastro would hide a doubled load; different data shows it.)
TEST_F(RealServers, OverlappingRunsLeaveTheRowsOfOneRun) {
    load_alone();  // the table exists: each run answers just "OK"
    Args other_args = arguments("descobertaClientes");
    other_args[6] = other_database_;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ProgramRun first, second;
        std::thread other([&] { second = run_program(PROGRAM, other_args, {{}, {}, 120s}); });
        first = run_program(PROGRAM, arguments("descobertaClientes"), {{}, {}, 120s});
        other.join();
        for (const ProgramRun* run : {&first, &second}) {
            EXPECT_EQ(run->out, "OK\n");
            EXPECT_EQ(run->err, "");
            EXPECT_EQ(run->status, 0);
        }
        const auto [rows, contracts] = settled_counts();
        EXPECT_TRUE(rows == CONTRACTS || rows == OTHER_CONTRACTS) << rows << " rows";
        EXPECT_EQ(contracts, rows);
        const auto runs = query("SELECT count_distinct(timestamp) FROM tessimClientes");
        EXPECT_EQ(runs.at("dataset")[0][0], 1) << "rows of two runs in the table";
    }
}

// A run kept waiting past its limit ends as any run that hits the limit, and the table it
// never got to is untouched.
TEST_F(RealServers, RunWaitingPastTheLimitEndsWithTheLimitLineAndTouchesNothing) {
    load_alone();
    const tessim::RunLock held =
        tessim::RunLock::acquire(tessim::run_lock_name(questdb_, "tessimClientes"));
    Args args = arguments("descobertaClientes");
    args[0] = PROBE;
    const auto run = run_program(PROBE, args, {{}, {}, 30s});
    EXPECT_EQ(run.out, "Tempo limite de execução excedido (1 s).\n");
    EXPECT_EQ(run.status, 0);
    const auto [rows, contracts] = settled_counts();
    EXPECT_EQ(rows, CONTRACTS);
    EXPECT_EQ(contracts, CONTRACTS);
}

}  // namespace
