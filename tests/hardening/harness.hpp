#pragma once
// Running the real tool against the test servers and reading back what reached QuestDB.

#include <chrono>
#include <functional>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "source/mysql_source.hpp"
#include "tests/app/run_program.hpp"
#include "tests/ingress/questdb_exec.hpp"

namespace tessim::testing {

struct TestServers {
    ConnectionSettings mysql;  // database left empty
    QuestDbAddress questdb;
};

// From the TESSIM_TEST_* variables; empty when either server is not configured.
std::optional<TestServers> test_servers();

struct ToolArgs {
    ConnectionSettings mysql;  // host, port, user, password, database as passed
    std::string quest_db_ip;
    std::string quest_db_port;
    std::string zabbix_host = "zbx-hardening";
};

// Runs `executable` (the tool or its short-limit build) with the nine arguments, with extra
// environment variables set for the child only; `while_running` as for run_program.
ProgramRun run_tool(const std::string& executable, const ToolArgs& args,
                    const std::vector<std::pair<std::string, std::string>>& env = {},
                    std::chrono::seconds limit = std::chrono::seconds(40),
                    const std::function<void(pid_t)>& while_running = {});

// Failure message naming the secrets that leaked into the run's output, empty when none.
std::string leaked_secrets(const ProgramRun& run, std::initializer_list<std::string> secrets);

// Waits until QuestDB has applied every WAL transaction of tessimClientes.
void wait_until_applied(const QuestDbAddress& at,
                        std::chrono::seconds limit = std::chrono::seconds(20));

// Rows of a query as JSON arrays (the "dataset"); throws on an error answer.
nlohmann::json dataset(const QuestDbAddress& at, const std::string& sql);

std::int64_t row_count(const QuestDbAddress& at);

// Upper-case hex of the bytes, for X'..' literals.
std::string hex(std::string_view bytes);

}  // namespace tessim::testing

#define TESSIM_REQUIRE_SERVERS(var)                                             \
    auto var##_opt = ::tessim::testing::test_servers();                         \
    if (!var##_opt)                                                             \
        GTEST_SKIP() << "TESSIM_TEST_MYSQL_* / TESSIM_TEST_QUESTDB_* not set: " \
                        "start scripts/services";                               \
    const ::tessim::testing::TestServers& var = *var##_opt
