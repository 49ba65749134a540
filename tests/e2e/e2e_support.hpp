#pragma once
// What the end-to-end tests share: the servers from TESSIM_TEST_*, throw-away MariaDB
// databases, running the built tool, reading QuestDB back, and the expected stored form of
// a value computed without the program's own code (mktime, padding, mojibake undone by a
// Windows-1252 round trip).

#include <mysql.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/app/run_program.hpp"
#include "tests/ingress/questdb_exec.hpp"

namespace e2e {

using Json = nlohmann::json;
using Cell = std::optional<std::string>;  // nullopt: SQL NULL
using Row = std::vector<Cell>;

struct MariaDb {
    std::string host, port, user, password;
};

struct Servers {
    MariaDb mysql;
    QuestDbAddress questdb;
};

// Both servers from the environment; nullopt when either is not configured.
std::optional<Servers> servers_from_env();

// A database `tessim_t_e2e_<suffix>_<pid>` on the test server, dropped when the object goes.
class Database {
  public:
    // Created empty with the fixture files run in it (e.g. "schema.sql").
    Database(const MariaDb& server, std::string_view suffix, std::vector<std::string> fixtures);
    // Filled by scripts/gen-contracts with `contracts` generated contracts.
    static Database generated(const MariaDb& server, std::string_view suffix, int contracts);
    ~Database();
    Database(Database&&) = default;

    const std::string& name() const { return name_; }
    // One or more statements separated by ';'.
    void exec(std::string_view sql);
    // Every row of one SELECT, each field as its text.
    std::vector<Row> rows(std::string_view sql);

  private:
    struct Existing {};
    Database(const MariaDb& server, std::string name, bool create, Existing);
    struct Closer {
        void operator()(MYSQL* m) const noexcept { mysql_close(m); }
    };
    std::string name_;
    std::unique_ptr<MYSQL, Closer> conn_;
};

// An SQL literal holding exactly these UTF-8 bytes, whatever they are.
std::string literal(std::string_view utf8);

struct Arguments {
    std::string database;
    std::string zabbix_host = "zabbix-e2e";
    std::string quest_db_port;  // empty: the server's HTTP port
    std::string db_password;    // empty: the right one
};

// Runs the built tessim_clientes with the nine arguments against the test servers.
tessim::testing::ProgramRun run_tool(const Servers& s, const Arguments& a);

// QuestDB: one statement (throws when the server does not answer).
Json sql(const Servers& s, const std::string& statement);
void drop_table(const Servers& s);
bool table_exists(const Servers& s);
// Waits until the table holds `expected_rows` rows and its write-ahead log is fully applied
// (bounded), then gives every row of "select * ... order by idServico" as objects keyed by
// column name.
std::vector<Json> questdb_rows(const Servers& s, std::int64_t expected_rows);

// The expected stored forms.
std::string iso_from_local(std::string_view date_time);  // "YYYY-MM-DD hh:mm:ss" -> UTC ISO
Json expected_date(const Cell& c);
Json repaired_text(const Cell& c);
Json integer(const Cell& c);
Json padded(const Cell& c, std::size_t width, bool numeric);
// Undoes UTF-8 that was read as Windows-1252 and stored again, as often as it applies.
std::string undo_mojibake(std::string text);

// The palette as the terminal sees it.
inline constexpr std::string_view GREEN = "\x1b[0;32m";
inline constexpr std::string_view CYAN = "\x1b[1;36m";
inline constexpr std::string_view RESET = "\x1b[0;0m";
inline constexpr std::string_view YELLOW = "\x1b[0;93m";
// What a run that creates the table writes before its "OK".
std::string creation_lines();

// Microseconds since the epoch of a QuestDB ISO timestamp text ("...T..:..:...ffffffZ").
std::int64_t micros_from_iso(const std::string& iso);

}  // namespace e2e
