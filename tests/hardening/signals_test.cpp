// Stop requests sent to the tool's whole process group, as Zabbix does when a check outlasts
// its time-out, at each point of a run. Afterwards the table holds exactly what it held before
// or the whole new load, never anything in between.
//
// The points are held open by a relay in front of QuestDB (127.0.0.39) that delays chosen
// requests, and, for the fetch, by a view that sleeps.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "tests/hardening/fault_proxy.hpp"
#include "tests/hardening/harness.hpp"
#include "tests/source/test_db.hpp"

namespace tessim::testing {
namespace {

using namespace std::chrono_literals;

const std::string kRelayHost = "127.0.0.39";
constexpr std::int64_t kContracts = 2000;

struct Snapshot {
    std::int64_t rows = 0;
    nlohmann::json stamps;  // the distinct run timestamps
};

Snapshot snapshot(const QuestDbAddress& at) {
    const std::int64_t rows = row_count(at);
    return {rows, dataset(at, "select distinct timestamp from tessimClientes")};
}

enum class Point { fetch, after_truncation, ingestion };

struct SignalCase {
    std::string name;
    Point point;
    std::vector<int> signals;
};

class Signals : public ::testing::TestWithParam<SignalCase> {
  protected:
    static void SetUpTestSuite() {
        auto servers = test_servers();
        if (!servers) return;
        servers_ = *servers;
        db_ = new TestDatabase(servers_->mysql, "signals");
        db_->exec(
            "INSERT INTO clientes (id, nome) VALUES (1, 'Ana'), (2, 'Bia');"
            "INSERT INTO clientes_has_internetplanos (id, clientes_id, data_cadastro) "
            "SELECT seq, 1 + seq % 2, TIMESTAMP'2024-03-01 10:00:00' + INTERVAL seq MINUTE "
            "FROM seq_1_to_" +
            std::to_string(kContracts));
        slow_db_ = new TestDatabase(servers_->mysql, "signals_slow");
        slow_db_->exec(
            "RENAME TABLE contratos TO contratos_dados;"
            "CREATE VIEW contratos AS SELECT id, origem_id, origem_confirmacao "
            "FROM contratos_dados WHERE SLEEP(4) = 0;"
            "INSERT INTO contratos_dados (origem_id) VALUES (1);"
            "INSERT INTO clientes_has_internetplanos (id, data_cadastro) VALUES (1, NOW())");
    }
    static void TearDownTestSuite() {
        delete db_;
        delete slow_db_;
    }
    void SetUp() override {
        if (!servers_) GTEST_SKIP() << "TESSIM_TEST_* not set: start scripts/services";
    }

    // True once the run has reached the point where the case sends its signals.
    static bool reached(Point point, const FaultProxy& exec, const FaultProxy& write,
                        MysqlConnection& admin) {
        switch (point) {
            case Point::fetch:
                return !fetch_table(admin.get(),
                                    "SELECT id FROM information_schema.processlist WHERE db = '" +
                                        slow_db_->settings().database +
                                        "' AND info LIKE '%contratos%'")
                            .rows.empty();
            case Point::after_truncation: {
                const auto lines = exec.request_lines();
                return lines.size() >= 3 && lines[1].find("TRUNCATE") != std::string::npos;
            }
            case Point::ingestion:
                return !write.request_lines().empty();
        }
        return false;
    }

    static inline std::optional<TestServers> servers_;
    static inline TestDatabase* db_ = nullptr;
    static inline TestDatabase* slow_db_ = nullptr;
};

TEST_P(Signals, LeaveTheTableAsItWasOrCompleteNeverInBetween) {
    const SignalCase& c = GetParam();
    const QuestDbAddress& questdb = servers_->questdb;
    const ProgramRun good =
        run_tool(TESSIM_CLIENTES_PATH, {db_->settings(), questdb.host, questdb.port});
    ASSERT_EQ(good.status, 0) << good.out << good.err;
    const Snapshot before = snapshot(questdb);
    ASSERT_EQ(before.rows, kContracts);
    ASSERT_EQ(before.stamps.size(), 1u);

    // The third request is SHOW COLUMNS right after the truncation; the first /write carries
    // the rows.
    const std::uint16_t port = static_cast<std::uint16_t>(std::stoi(questdb.port));
    const Fault held{Fault::relay, 0, {}, 1500};
    FaultProxy exec(kRelayHost, 9000, questdb.host, port, {{}, {}, held});
    FaultProxy write(kRelayHost, 0, questdb.host, port, {held});
    MysqlConnection admin = connect_to_mysql(servers_->mysql);

    const bool stopped_early = c.point == Point::fetch;
    ToolArgs args{stopped_early ? slow_db_->settings() : db_->settings(), kRelayHost,
                  std::to_string(write.port())};
    std::size_t sent = 0;
    RunOptions options;
    options.limit = 40s;
    const ProgramRun r = run_program_in_group(
        TESSIM_CLIENTES_PATH,
        {"tessim_clientes", "descobertaClientes", args.mysql.host, args.mysql.port, args.mysql.user,
         args.mysql.password, args.mysql.database, args.quest_db_ip, args.quest_db_port,
         "zbx-signals"},
        options, [&](pid_t child) {
            if (sent == c.signals.size() || !reached(c.point, exec, write, admin)) return;
            if (sent > 0) std::this_thread::sleep_for(100ms);
            ::kill(-child, c.signals[sent++]);
        });
    const Snapshot after = snapshot(questdb);
    std::cout << "[ outcome  ] status " << r.status << " in " << r.took.count() << " ms; rows "
              << before.rows << " -> " << after.rows << ", timestamp " << before.stamps.dump()
              << " -> " << after.stamps.dump() << "\n  stdout: " << nlohmann::json(r.out).dump()
              << "\n  stderr: " << nlohmann::json(r.err).dump() << "\n";

    ASSERT_EQ(sent, c.signals.size()) << "the run ended before its point was reached";
    EXPECT_EQ(leaked_secrets(r, {servers_->mysql.password, "sentinelQT"}), "");
    const std::string name = c.signals[0] == SIGINT ? "SIGINT" : "SIGTERM";
    if (stopped_early) {
        EXPECT_EQ(r.status, 128 + c.signals[0]);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "Execução interrompida por " + name + "; a tabela não foi alterada.\n");
        EXPECT_LT(r.took, 3s) << "the stop waited for the statement";
        EXPECT_TRUE(exec.request_lines().empty()) << "QuestDB was asked something";
        EXPECT_EQ(after.rows, before.rows);
        EXPECT_EQ(after.stamps, before.stamps);
    } else {
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "OK\n");
        EXPECT_EQ(r.err, "Sinal " + name +
                             " recebido com a tabela já em alteração; a execução foi levada "
                             "até o fim.\n");
        EXPECT_EQ(after.rows, kContracts);
        ASSERT_EQ(after.stamps.size(), 1u) << after.stamps.dump();
        EXPECT_NE(after.stamps, before.stamps);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Hardening, Signals,
    ::testing::Values(SignalCase{"sigterm_during_the_fetch", Point::fetch, {SIGTERM}},
                      SignalCase{
                          "sigterm_after_the_truncation", Point::after_truncation, {SIGTERM}},
                      SignalCase{"sigterm_during_the_ingestion", Point::ingestion, {SIGTERM}},
                      SignalCase{"sigint_during_the_ingestion", Point::ingestion, {SIGINT}},
                      SignalCase{"sigterm_twice", Point::ingestion, {SIGTERM, SIGTERM}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tessim::testing
