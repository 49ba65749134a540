// Faults at every step of a run, against the real servers: MariaDB refusing or losing the
// connection, QuestDB gone at each request of the schema and ingestion phases, answering
// errors, or never answering. Each run must give its documented output and status within a
// bounded time, and never show a password.
//
// Exact fault timing comes from a relay in front of the real QuestDB (127.0.0.19:9000 for the
// query endpoint, a free port on the same address for ingestion) that fails the N-th request.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <mysql.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <regex>
#include <thread>

#include "tests/hardening/fault_proxy.hpp"
#include "tests/hardening/harness.hpp"
#include "tests/source/test_db.hpp"

namespace tessim::testing {
namespace {

using namespace std::chrono_literals;

const std::string kRelayHost = "127.0.0.19";
const std::string kDeadHost = "127.0.0.29";  // nothing listens there
const std::string kNotFound =
    "\x1b[0;93mTabela tessimClientes não encontrada, criando tabela!\x1b[0;0m";
const std::string kWrongPassword = "senha-errada-123";

bool listening(const std::string& host, std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    ::inet_pton(AF_INET, host.c_str(), &addr.sin_addr);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// A TCP port on 127.0.0.1 that nothing listens on (bound once, then released).
std::string free_port() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return std::to_string(ntohs(addr.sin_port));
}

// The lines of a text, each without its line feed; a last line without one is kept too.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string::npos) {
            out.push_back(text.substr(start));
            break;
        }
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// Each line of `text` matches the pattern at the same place, and there are as many.
void expect_lines(const std::string& text, const std::vector<std::string>& patterns) {
    const auto got = lines(text);
    ASSERT_EQ(got.size(), patterns.size()) << text;
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(std::regex_match(got[i], std::regex(patterns[i])))
            << "line " << i + 1 << ": '" << got[i] << "' does not match '" << patterns[i] << "'";
}

std::string quoted(const std::string& literal) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(literal, special, R"(\$&)");
}

const std::string kError = "Error: .+";
const std::string kUnhandled = "tessim_clientes: falha não tratada \\(.+\\): .+";

class Faults : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        auto servers = test_servers();
        if (!servers) return;
        servers_ = *servers;
        db_ = new TestDatabase(servers_->mysql, "hardening_faults");
        db_->exec(
            "INSERT INTO clientes (id, nome) VALUES (1, 'Ana'), (2, 'Bia');"
            "INSERT INTO clientes_has_internetplanos (id, clientes_id, data_cadastro) VALUES "
            "(11, 1, '2024-03-01 10:00:00'), (12, 2, '2024-03-02 10:00:00'), "
            "(13, 1, '2024-03-03 10:00:00')");
    }
    static void TearDownTestSuite() { delete db_; }

    void SetUp() override {
        if (!servers_) GTEST_SKIP() << "TESSIM_TEST_* not set: start scripts/services";
        if (listening(kRelayHost, 9000)) GTEST_FAIL() << kRelayHost << ":9000 is taken";
    }
    void TearDown() override {
        if (!servers_) return;
        // No fault test may show a password, whatever else it checks.
        EXPECT_EQ(leaked_secrets(last_, {servers_->mysql.password, "sentinelQT", kWrongPassword}),
                  "");
        std::cout << "[ outcome  ] status " << last_.status << " in " << last_.took.count()
                  << " ms\n  stdout: " << nlohmann::json(last_.out).dump()
                  << "\n  stderr: " << nlohmann::json(last_.err).dump() << "\n";
    }

    std::uint16_t upstream_port() const {
        return static_cast<std::uint16_t>(std::stoi(servers_->questdb.port));
    }
    // A relay of the query endpoint with the given script.
    std::unique_ptr<FaultProxy> exec_relay(std::vector<Fault> script) const {
        return std::make_unique<FaultProxy>(kRelayHost, 9000, servers_->questdb.host,
                                            upstream_port(), std::move(script));
    }
    std::unique_ptr<FaultProxy> write_relay(std::vector<Fault> script) const {
        return std::make_unique<FaultProxy>(kRelayHost, 0, servers_->questdb.host, upstream_port(),
                                            std::move(script));
    }

    ToolArgs args(const std::string& quest_ip, const std::string& quest_port) const {
        return {db_->settings(), quest_ip, quest_port};
    }
    ProgramRun run(const ToolArgs& a, const std::string& tool = TESSIM_CLIENTES_PATH) {
        last_ = run_tool(tool, a, {}, 40s);
        return last_;
    }
    // Leaves the real table with its 32 columns and some rows, so that a run that fails
    // part-way can be seen to have emptied it or not.
    void table_with_rows() {
        const ProgramRun ok =
            run_tool(TESSIM_CLIENTES_PATH, args(servers_->questdb.host, servers_->questdb.port));
        ASSERT_EQ(ok.status, 0) << ok.out << ok.err;
        ASSERT_EQ(row_count(servers_->questdb), 3);
    }
    void drop_table() { questdb_exec(servers_->questdb, "DROP TABLE IF EXISTS tessimClientes"); }

    static inline std::optional<TestServers> servers_;
    static inline TestDatabase* db_ = nullptr;
    ProgramRun last_;
};

// --- MariaDB --------------------------------------------------------------------------

struct MysqlFault {
    std::string name;
    std::function<void(ToolArgs&)> spoil;
    std::string error_number;  // as the diagnostic names it
};

class MysqlFaults : public Faults, public ::testing::WithParamInterface<MysqlFault> {};

TEST_P(MysqlFaults, EndWithOneDiagnosticAndStatusOneBeforeQuestDbIsTouched) {
    auto relay = exec_relay({});
    ToolArgs a = args(kRelayHost, "9009");
    GetParam().spoil(a);
    const ProgramRun r = run(a);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    expect_lines(r.err, {kUnhandled + "erro " + GetParam().error_number + "\\b.*"});
    EXPECT_LT(r.took, 5s);
    EXPECT_TRUE(relay->request_lines().empty()) << "QuestDB was asked something";
}

INSTANTIATE_TEST_SUITE_P(
    Hardening, MysqlFaults,
    ::testing::Values(
        MysqlFault{"server_down", [](ToolArgs& a) { a.mysql.port = free_port(); }, "2002"},
        MysqlFault{"wrong_password", [](ToolArgs& a) { a.mysql.password = kWrongPassword; },
                   "1045"},
        MysqlFault{"missing_database",
                   [](ToolArgs& a) { a.mysql.database = "tessim_nao_existe_db"; }, "1049"}),
    [](const auto& info) { return info.param.name; });

TEST_F(Faults, StatementRefusedWhenATableIsMissing) {
    TestDatabase db(servers_->mysql, "hardening_sem_contratos");
    db.exec("DROP TABLE contratos");
    auto relay = exec_relay({});
    ToolArgs a = args(kRelayHost, "9009");
    a.mysql = db.settings();
    const ProgramRun r = run(a);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    expect_lines(r.err, {kUnhandled + "erro 1146\\b.*contratos.*"});
    EXPECT_TRUE(relay->request_lines().empty());
}

// The connection is killed from a second connection while the statement runs (a view that
// sleeps stands in for a large table).
TEST_F(Faults, ConnectionKilledDuringTheFetch) {
    TestDatabase db(servers_->mysql, "hardening_kill");
    db.exec(
        "RENAME TABLE contratos TO contratos_dados;"
        "CREATE VIEW contratos AS SELECT id, origem_id, origem_confirmacao FROM contratos_dados "
        "WHERE SLEEP(10) = 0;"
        "INSERT INTO contratos_dados (origem_id) VALUES (1);"
        "INSERT INTO clientes_has_internetplanos (id, data_cadastro) VALUES (1, NOW())");
    auto relay = exec_relay({});
    ToolArgs a = args(kRelayHost, "9009");
    a.mysql = db.settings();
    std::thread killer([&] {
        MysqlConnection admin = connect_to_mysql(servers_->mysql);
        const std::string find = "SELECT id FROM information_schema.processlist WHERE db = '" +
                                 db.settings().database + "' AND info LIKE '%contratos%'";
        for (int i = 0; i < 100; ++i) {
            std::this_thread::sleep_for(50ms);
            QueryTable t = fetch_table(admin.get(), find);
            if (t.rows.empty()) continue;
            const std::string kill = "KILL CONNECTION " + std::to_string(t.rows[0][0].integer());
            mysql_real_query(admin.get(), kill.data(), kill.size());
            return;
        }
    });
    const ProgramRun r = run(a);
    killer.join();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    // Over TLS the library reports the cut as the TLS layer sees it.
    expect_lines(r.err,
                 {kUnhandled + "erro (2013|2006|2026\\): TLS/SSL error: unexpected eof)\\b.*"});
    EXPECT_LT(r.took, 8s) << "the run waited for the statement instead of failing";
    EXPECT_TRUE(relay->request_lines().empty());
}

// --- QuestDB query endpoint -----------------------------------------------------------

TEST_F(Faults, QuestDbDownFromTheStart) {
    ASSERT_FALSE(listening(kDeadHost, 9000));
    const ProgramRun r = run(args(kDeadHost, "9009"));
    EXPECT_EQ(r.status, 1);
    expect_lines(r.out, {kError, kError, quoted(kNotFound), kError, "None", kError});
    expect_lines(r.err, {kUnhandled});
    EXPECT_LT(r.took, 5s);
}

// The first request of a run is the silent look at the table's declared types.
const Fault kPass{Fault::relay, 0, {}};

TEST_F(Faults, QuestDbGoneBetweenTruncationAndShowColumns) {
    table_with_rows();
    auto relay = exec_relay({kPass, kPass, Fault{Fault::die, 0, {}}});
    const ProgramRun r = run(args(kRelayHost, servers_->questdb.port));
    EXPECT_EQ(r.status, 1);
    expect_lines(r.out, {kError, quoted(kNotFound), kError, "None", kError});
    expect_lines(r.err, {kUnhandled});
    EXPECT_EQ(row_count(servers_->questdb), 0) << "the truncation reached the server";
}

TEST_F(Faults, QuestDbGoneDuringTheCreation) {
    drop_table();
    auto relay = exec_relay({kPass, kPass, kPass, Fault{Fault::die, 0, {}}});
    const ProgramRun r = run(args(kRelayHost, servers_->questdb.port));
    EXPECT_EQ(r.status, 1);
    expect_lines(r.out, {quoted(kNotFound), kError, "None", kError});
    expect_lines(r.err, {kUnhandled});
    ASSERT_EQ(relay->request_lines().size(), 4u);
    EXPECT_NE(relay->request_lines()[3].find("CREATE"), std::string::npos);
}

TEST_F(Faults, QuestDbGoneAtTheRecheck) {
    table_with_rows();
    auto write = write_relay({});
    auto relay = exec_relay({kPass, kPass, kPass, Fault{Fault::die, 0, {}}});
    const ProgramRun r = run(args(kRelayHost, std::to_string(write->port())));
    EXPECT_EQ(r.status, 1);
    expect_lines(r.out, {kError});
    expect_lines(r.err, {kUnhandled + "SHOW COLUMNS.*"});
    EXPECT_TRUE(write->request_lines().empty()) << "rows were sent";
    EXPECT_EQ(row_count(servers_->questdb), 0);
}

const Fault kHtmlPage{Fault::reply, 500, "<html><body>Internal error</body></html>"};

TEST_F(Faults, QueryEndpointAnsweringAnHtmlErrorPage) {
    {
        // To the silent look at the declared types: the run goes on as it always did.
        auto relay = exec_relay({kHtmlPage});
        EXPECT_EQ(run(args(kRelayHost, servers_->questdb.port)).out, "OK\n") << last_.err;
    }
    auto relay = exec_relay({kPass, kHtmlPage});
    const ProgramRun r = run(args(kRelayHost, servers_->questdb.port));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    expect_lines(r.err, {kUnhandled});
    EXPECT_EQ(relay->request_lines().size(), 2u) << "the run went on after a non-JSON answer";
}

// --- Ingestion ------------------------------------------------------------------------

TEST_F(Faults, QuestDbKilledDuringTheFlush) {
    table_with_rows();
    auto write = write_relay({Fault{Fault::die_midway, 0, {}}});
    auto relay = exec_relay({});
    const ProgramRun r = run(args(kRelayHost, std::to_string(write->port())));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    expect_lines(r.err, {"Erro: .*" + quoted(kRelayHost) + ".*"});
    EXPECT_LT(r.took, 20s) << "the ingestion client's retries are not bounded";
    EXPECT_EQ(row_count(servers_->questdb), 0) << "a half-sent batch was stored";
}

TEST_F(Faults, IngestionAnswering500ThenRecovering) {
    table_with_rows();
    auto write = write_relay({{Fault::reply, 500, "{\"message\":\"falha passageira\"}"}});
    auto relay = exec_relay({});
    const ProgramRun r = run(args(kRelayHost, std::to_string(write->port())));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "OK\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(write->request_lines().size(), 2u) << "one refused attempt, one retry";
    EXPECT_EQ(row_count(servers_->questdb), 3) << "rows missing or stored twice";
    EXPECT_LT(r.took, 5s);
}

TEST_F(Faults, IngestionAnswering500ForeverGivesUpWithinItsRetryTime) {
    table_with_rows();
    std::vector<Fault> always(1000, Fault{Fault::reply, 503, "{\"message\":\"em manutenção\"}"});
    auto write = write_relay(always);
    auto relay = exec_relay({});
    const ProgramRun r = run(args(kRelayHost, std::to_string(write->port())));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    expect_lines(r.err, {"Erro: .*503.*em manutenção.*attempts\\)"});
    EXPECT_LT(r.took, 20s);
    EXPECT_EQ(row_count(servers_->questdb), 0);
}

// --- A server that never answers: the run-time limit (2 s in this build) ends the run ----

TEST_F(Faults, QueryEndpointNeverAnswering) {
    auto relay = exec_relay({Fault{Fault::hang, 0, {}}});
    const ProgramRun r = run(args(kRelayHost, servers_->questdb.port), TESSIM_SHORT_LIMIT_PATH);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Tempo limite de execução excedido (2 s).\n");
    EXPECT_EQ(r.err, "");
    EXPECT_LT(r.took, 6s);
}

TEST_F(Faults, IngestionNeverAnswering) {
    auto write = write_relay({Fault{Fault::hang, 0, {}}});
    auto relay = exec_relay({});
    const ProgramRun r =
        run(args(kRelayHost, std::to_string(write->port())), TESSIM_SHORT_LIMIT_PATH);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Tempo limite de execução excedido (2 s).\n");
    EXPECT_EQ(r.err, "");
    EXPECT_LT(r.took, 6s);
}

}  // namespace
}  // namespace tessim::testing
