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
using Campo = std::optional<std::string>;  // nullopt: SQL NULL
using Linha = std::vector<Campo>;

struct MariaDb {
    std::string host, port, user, password;
};

struct Servidores {
    MariaDb mysql;
    QuestDbAddress questdb;
};

// Both servers from the environment; nullopt when either is not configured.
std::optional<Servidores> servidores();

// A database `tessim_t_e2e_<suffix>_<pid>` on the test server, dropped when the object goes.
class Banco {
  public:
    // Created empty with the fixture files run in it (e.g. "schema.sql").
    Banco(const MariaDb& server, std::string_view suffix, std::vector<std::string> fixtures);
    // Filled by scripts/gen-contracts with `contratos` generated contracts.
    static Banco gerado(const MariaDb& server, std::string_view suffix, int contratos);
    ~Banco();
    Banco(Banco&&) = default;

    const std::string& nome() const { return nome_; }
    // One or more statements separated by ';'.
    void exec(std::string_view sql);
    // Every row of one SELECT, each field as its text.
    std::vector<Linha> linhas(std::string_view sql);

  private:
    struct Existente {};
    Banco(const MariaDb& server, std::string nome, bool criar, Existente);
    struct Fecha {
        void operator()(MYSQL* m) const noexcept { mysql_close(m); }
    };
    std::string nome_;
    std::unique_ptr<MYSQL, Fecha> conn_;
};

// An SQL literal holding exactly these UTF-8 bytes, whatever they are.
std::string literal(std::string_view utf8);

struct Argumentos {
    std::string database;
    std::string zabbix_host = "zabbix-e2e";
    std::string quest_db_port;  // empty: the server's HTTP port
    std::string db_password;    // empty: the right one
};

// Runs the built tessim_clientes with the nine arguments against the test servers.
tessim::testing::ProgramRun roda(const Servidores& s, const Argumentos& a);

// QuestDB: one statement (throws when the server does not answer).
Json sql(const Servidores& s, const std::string& statement);
void derruba_tabela(const Servidores& s);
bool tabela_existe(const Servidores& s);
// Waits until the table holds `esperadas` rows and its write-ahead log is fully applied
// (bounded), then gives every row of "select * ... order by idServico" as objects keyed by
// column name.
std::vector<Json> linhas_questdb(const Servidores& s, std::int64_t esperadas);

// The expected stored forms.
std::string iso_de_local(std::string_view data_hora);  // "YYYY-MM-DD hh:mm:ss" -> UTC ISO
Json data_esperada(const Campo& c);
Json texto_reparado(const Campo& c);
Json inteiro(const Campo& c);
Json preenchido(const Campo& c, std::size_t largura, bool numerico);
// Undoes UTF-8 that was read as Windows-1252 and stored again, as often as it applies.
std::string desfaz_mojibake(std::string texto);

// The palette as the terminal sees it.
inline constexpr std::string_view GREEN = "\x1b[0;32m";
inline constexpr std::string_view CYAN = "\x1b[1;36m";
inline constexpr std::string_view RESET = "\x1b[0;0m";
inline constexpr std::string_view YELLOW = "\x1b[0;93m";
// What a run that creates the table writes before its "OK".
std::string linhas_criacao();

// Microseconds since the epoch of a QuestDB ISO timestamp text ("...T..:..:...ffffffZ").
std::int64_t micros_de_iso(const std::string& iso);

}  // namespace e2e
