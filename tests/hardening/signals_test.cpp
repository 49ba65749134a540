// Stop requests sent to the tool's whole process group, as Zabbix does at a check's time-out:
// afterwards the table holds what it held before or the whole new load, nothing in between.

#include <gtest/gtest.h>
#include <mysql.h>
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

constexpr std::int64_t kContracts = 2000;
enum class Point { fetch, after_truncation, ingestion };
struct SignalCase {
    std::string name;
    Point point;
    std::vector<int> signals;
};

// [row count, distinct run timestamps]
nlohmann::json snapshot(const QuestDbAddress& at) {
    const std::int64_t rows = row_count(at);
    return {rows, dataset(at, "select distinct timestamp from tessimClientes")};
}

TEST(Signals, LeaveTheTableAsItWasOrCompleteNeverInBetween) {
    TESSIM_REQUIRE_SERVERS(servers);
    TestDatabase db(servers.mysql, "signals");
    db.add_numbers();
    db.exec(
        "INSERT INTO clientes (id, nome) VALUES (1, 'Ana'), (2, 'Bia');"
        "INSERT INTO clientes_has_internetplanos (id, clientes_id, data_cadastro) "
        "SELECT seq, 1 + seq % 2, TIMESTAMP'2024-03-01 10:00:00' + INTERVAL seq MINUTE "
        "FROM seq WHERE seq <= " +
        std::to_string(kContracts));
    const SignalCase cases[] = {
        {"SIGTERM during the fetch", Point::fetch, {SIGTERM}},
        {"SIGTERM after the truncation", Point::after_truncation, {SIGTERM}},
        {"SIGTERM during the ingestion", Point::ingestion, {SIGTERM}},
        {"SIGINT during the ingestion", Point::ingestion, {SIGINT}},
        {"SIGTERM twice", Point::ingestion, {SIGTERM, SIGTERM}}};
    const QuestDbAddress& q = servers.questdb;
    const ConnectionSettings& m = db.settings();
    const auto port = static_cast<std::uint16_t>(std::stoi(q.port));
    const Fault held{Fault::relay, 0, {}, 1500};
    for (const SignalCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(run_tool(TESSIM_CLIENTES_PATH, {m, q.host, q.port}).status, 0);
        const nlohmann::json before = snapshot(q);
        ASSERT_EQ(before[0], kContracts);

        // A relay holds the SHOW COLUMNS right after the truncation (the third /exec request)
        // and the rows; a table locked from here holds the fetch.
        FaultProxy exec("127.0.0.39", 9000, q.host, port, {{}, {}, held});
        FaultProxy write("127.0.0.39", 0, q.host, port, {held});
        MysqlConnection admin = connect_to_mysql(m);
        if (c.point == Point::fetch) {
            ASSERT_EQ(mysql_query(admin.get(), "LOCK TABLES contratos WRITE"), 0);
        }
        auto reached = [&] {
            if (c.point == Point::ingestion) return !write.request_lines().empty();
            const auto lines = exec.request_lines();
            if (c.point == Point::after_truncation)
                return lines.size() >= 3 && lines[1].find("TRUNCATE") != std::string::npos;
            return !fetch_table(admin.get(),
                                "SELECT id FROM information_schema.processlist WHERE db = '" +
                                    m.database +
                                    "' AND info LIKE '%contratos%' AND id <> CONNECTION_ID()")
                        .rows.empty();
        };
        std::size_t sent = 0;
        const ProgramRun r = run_tool(
            TESSIM_CLIENTES_PATH, {m, "127.0.0.39", std::to_string(write.port()), "zbx-signals"},
            {}, 40s, [&](pid_t child) {
                if (sent == c.signals.size() || !reached()) return;
                if (sent > 0) std::this_thread::sleep_for(100ms);
                ::kill(-child, c.signals[sent++]);
            });
        admin.reset();  // unlocks the table for the next case
        const nlohmann::json after = snapshot(q);
        std::cout << "[ outcome  ] " << r.status << ", " << before << " -> " << after << ", "
                  << nlohmann::json(r.err) << "\n";

        ASSERT_EQ(sent, c.signals.size()) << "the run ended before its point";
        EXPECT_EQ(leaked_secrets(r, {m.password, "sentinelQT"}), "");
        const std::string name = c.signals[0] == SIGINT ? "SIGINT" : "SIGTERM";
        if (c.point == Point::fetch) {
            EXPECT_EQ(r.status, 128 + c.signals[0]);
            EXPECT_EQ(r.out + r.err,
                      "Execução interrompida por " + name + "; a tabela não foi alterada.\n");
            EXPECT_LT(r.took, 3s) << "the stop waited for the statement";
            EXPECT_TRUE(exec.request_lines().empty()) << "QuestDB was asked something";
            EXPECT_EQ(after, before);
        } else {
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, "OK\n");
            EXPECT_EQ(r.err, "Sinal " + name +
                                 " recebido com a tabela já em alteração; a execução foi levada "
                                 "até o fim.\n");
            EXPECT_EQ(after[0], kContracts);
            ASSERT_EQ(after[1].size(), 1u);
            EXPECT_NE(after[1], before[1]);
        }
    }
}

}  // namespace
}  // namespace tessim::testing
