#include "tests/hardening/harness.hpp"

#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "tests/source/test_db.hpp"

namespace tessim::testing {

std::optional<TestServers> test_servers() {
    auto mysql = test_server();
    auto questdb = questdb_from_env();
    if (!mysql || !questdb) return std::nullopt;
    return TestServers{*mysql, *questdb};
}

ProgramRun run_tool(const std::string& executable, const ToolArgs& a,
                    const std::vector<std::pair<std::string, std::string>>& env,
                    std::chrono::seconds limit, const std::function<void(pid_t)>& while_running) {
    // The child inherits the environment at fork; the previous values come back afterwards.
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const auto& [name, value] : env) {
        const char* old = std::getenv(name.c_str());
        saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    RunOptions options;
    options.limit = limit;
    ProgramRun run = run_program(
        executable,
        {"tessim_clientes", "descobertaClientes", a.mysql.host, a.mysql.port, a.mysql.user,
         a.mysql.password, a.mysql.database, a.quest_db_ip, a.quest_db_port, a.zabbix_host},
        options, while_running);
    for (const auto& [name, old] : saved) {
        if (old)
            ::setenv(name.c_str(), old->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    return run;
}

std::string leaked_secrets(const ProgramRun& run, std::initializer_list<std::string> secrets) {
    std::string leaks;
    for (const std::string& secret : secrets) {
        if (secret.empty()) continue;
        if (run.out.find(secret) != std::string::npos) leaks += "'" + secret + "' on stdout; ";
        if (run.err.find(secret) != std::string::npos) leaks += "'" + secret + "' on stderr; ";
    }
    return leaks;
}

nlohmann::json dataset(const QuestDbAddress& at, const std::string& sql) {
    nlohmann::json answer = questdb_exec(at, sql);
    if (!answer.contains("dataset"))
        throw std::runtime_error("QuestDB refused '" + sql + "': " + answer.dump());
    return answer["dataset"];
}

void wait_until_applied(const QuestDbAddress& at, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto rows = dataset(at,
                                  "select writerTxn, sequencerTxn, suspended from wal_tables() "
                                  "where name = 'tessimClientes'");
        if (rows.empty()) return;  // no such table: nothing to wait for
        if (rows[0][2].get<bool>())
            throw std::runtime_error("WAL of tessimClientes suspended: " + rows.dump());
        if (rows[0][0] == rows[0][1]) return;
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("WAL of tessimClientes not applied in time: " + rows.dump());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::int64_t row_count(const QuestDbAddress& at) {
    wait_until_applied(at);
    return dataset(at, "select count() from tessimClientes")[0][0].get<std::int64_t>();
}

std::string hex(std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace tessim::testing
