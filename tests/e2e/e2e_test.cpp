// The built tessim_clientes, run as Zabbix runs it, against the real MariaDB and QuestDB:
// what it prints, how it ends, and what QuestDB holds afterwards, column by column. Every
// test starts from a dropped table. The child runs in America/Sao_Paulo, so local date-times
// differ from UTC and the zone's past summer times are crossed by the generated dates.

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <set>
#include <sstream>

#include "core/fields.hpp"
#include "tests/e2e/e2e_support.hpp"

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// Every field the stored row depends on, computed by a query of our own (not the tool's):
// dates as plain local texts, the overdue figures by correlated subqueries, the unconfirmed
// documents in id order.
constexpr const char* kExpectedQuery = R"SQL(
SELECT chi.id, c.id, c.nome, c.cpf, c.cnpj, c.endereco_bairro, c.cidade, c.uf,
       chi.status, chi.ativo,
       DATE_FORMAT(chi.data_instalacao, '%Y-%m-%d %H:%i:%s'),
       DATE_FORMAT(chi.data_cadastro, '%Y-%m-%d %H:%i:%s'),
       chi.dia_vencimento,
       DATE_FORMAT(chi.data_rescisao, '%Y-%m-%d %H:%i:%s'),
       DATE_FORMAT(chi.suspensao_inicio, '%Y-%m-%d %H:%i:%s'),
       DATE_FORMAT(chi.fidelidade_data_final, '%Y-%m-%d %H:%i:%s'),
       chi.suspensao_motivo, rm.nome, c.ruc, c.tipo_pessoa, e.razao_social, ip.nome, ip.valor,
       f.nome, DATE_FORMAT(c.data_nascimento, '%Y-%m-%d %H:%i:%s'),
       (SELECT COUNT(b.valor) FROM cobrancas b WHERE b.clientes_id = c.id
          AND b.data_vencimento < NOW() AND b.data_pagamento IS NULL AND b.data_cancelado IS NULL),
       (SELECT SUM(b.valor) FROM cobrancas b WHERE b.clientes_id = c.id
          AND b.data_vencimento < NOW() AND b.data_pagamento IS NULL AND b.data_cancelado IS NULL),
       (SELECT DATE_FORMAT(MIN(b.data_vencimento), '%Y-%m-%d %H:%i:%s') FROM cobrancas b
          WHERE b.clientes_id = c.id AND b.data_vencimento < NOW()
          AND b.data_pagamento IS NULL AND b.data_cancelado IS NULL),
       chi.isento, DATE_FORMAT(chi.data_vencimento_contrato, '%Y-%m-%d %H:%i:%s'),
       (SELECT GROUP_CONCAT(ct.id ORDER BY ct.id SEPARATOR ' | ') FROM contratos ct
          WHERE ct.origem_id = chi.id AND ct.origem_confirmacao = '')
FROM clientes_has_internetplanos chi
LEFT JOIN clientes c ON c.id = chi.clientes_id
LEFT JOIN empresas e ON e.id = chi.empresas_id
LEFT JOIN internetplanos ip ON ip.id = chi.internetplanos_id
LEFT JOIN funcionarios f ON f.id = chi.vendedor_id
LEFT JOIN rescisao_motivos rm ON rm.id = chi.rescisao_motivos_id
ORDER BY chi.id)SQL";

double number_of(const Cell& c) {
    return c ? std::strtod(c->c_str(), nullptr) : 0.0;
}

// Documents are listed in the server's order inside the group: compare them as a set.
std::set<std::string> documents(const Json& v) {
    std::set<std::string> out;
    if (!v.is_string()) return out;
    std::string s = v.get<std::string>();
    for (std::size_t p; !s.empty();) {
        p = s.find(" | ");
        out.insert(s.substr(0, p));
        s = p == std::string::npos ? "" : s.substr(p + 3);
    }
    return out;
}

// The stored row each contract must become. `numeric`: cpf/cnpj are numeric columns.
Json expected_row(const Row& r, bool numeric = false) {
    Json e = Json::object();
    e["idServico"] = integer(r[0]);
    e["idCliente"] = integer(r[1]);
    e["nomeCliente"] = repaired_text(r[2]);
    e["cpf"] = padded(r[3], 11, numeric);
    e["cnpj"] = padded(r[4], 14, numeric);
    e["bairro"] = repaired_text(r[5]);
    e["cidade"] = repaired_text(r[6]);
    e["estado"] = repaired_text(r[7]);
    e["statusCliente"] = integer(r[8]);
    e["ativo"] = integer(r[9]);
    e["dataInstalacao"] = expected_date(r[10]);
    e["dataCadastro"] = expected_date(r[11]);
    e["diaVencimento"] = integer(r[12]);
    e["dataRescisao"] = expected_date(r[13]);
    e["dataSuspensao"] = expected_date(r[14]);
    e["dataFinalFidelidade"] = expected_date(r[15]);
    e["motivoSuspensao"] = repaired_text(r[16]);
    e["motivoRescisao"] = repaired_text(r[17]);
    e["ruc"] = r[18] ? Json(*r[18]) : Json(nullptr);
    e["tipoPessoa"] = r[19] ? Json(*r[19]) : Json(nullptr);
    e["nomeEmpresa"] = repaired_text(r[20]);
    e["nomePlano"] = repaired_text(r[21]);
    e["valorPlano"] = number_of(r[22]);
    e["nomeVendedor"] = repaired_text(r[23]);
    e["dataNascimento"] = expected_date(r[24]);
    e["titulosAtraso"] = integer(r[25]);
    e["valorAtraso"] = number_of(r[26]);
    e["dataAtraso"] = expected_date(r[27]);
    e["isento"] = integer(r[28]);
    e["dataVencimentoContrato"] = expected_date(r[29]);
    e["contratosSemAssinatura"] = r[30] ? *r[30] : "";
    return e;
}

std::int64_t now_us() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Compares every stored row with its expectation, one failure per differing column, and
// checks that the run timestamp is one value within a minute of `start_us`.
void check_table(const std::vector<Json>& stored, const std::vector<Row>& source,
                 std::int64_t start_us, bool numeric = false) {
    ASSERT_EQ(stored.size(), source.size());
    std::set<std::string> stamps;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const Json expected = expected_row(source[i], numeric);
        const Json& row = stored[i];
        SCOPED_TRACE("idServico " + expected["idServico"].dump());
        ASSERT_EQ(row.size(), tessim::kColumnCount) << row.dump();
        for (const auto& [column, value] : expected.items()) {
            if (column == "contratosSemAssinatura") {
                EXPECT_EQ(documents(row[column]), documents(value));
                EXPECT_TRUE(row[column].is_string()) << row[column];
            } else {
                EXPECT_EQ(row[column], value) << "coluna " << column;
            }
        }
        stamps.insert(row["timestamp"].get<std::string>());
    }
    ASSERT_EQ(stamps.size(), 1u) << "every row of a run carries the same run time";
    const std::int64_t t = micros_from_iso(*stamps.begin());
    EXPECT_GE(t, start_us - 1000000);
    EXPECT_LE(t, now_us() + 1000000);
    EXPECT_LT(now_us() - t, 60000000);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// The run ended on an ingestion failure: one "Erro: " line, status 1, nothing in the table.
void check_ingestion_failure(const Servers& s, const tessim::testing::ProgramRun& run) {
    EXPECT_THAT(run.err, StartsWith("Erro: "));
    EXPECT_EQ(lines_of(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(questdb_rows(s, 0).size(), 0u);
}

// A TCP port on the QuestDB address where nothing listens (bound, then released).
std::string free_port(const std::string& host) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, host.c_str(), &a.sin_addr);
    socklen_t n = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) != 0)
        throw std::runtime_error("no free port");
    ::close(fd);
    return std::to_string(ntohs(a.sin_port));
}

// The table the creation statement makes, in its column order and with QuestDB's bare type
// names, with one column's type changed: every column is there, so the schema phase leaves
// it as it is.
std::string table_with(const std::string& column, const std::string& type) {
    using namespace tessim;
    std::string ddl = "CREATE TABLE tessimClientes (";
    const auto add = [&](std::string_view name, std::string_view clause) {
        if (ddl.back() != '(') ddl += ", ";
        ddl += std::string(name) + " " + (name == column ? type : std::string(type_of(clause)));
    };
    for (const std::size_t i : kCreateOrder) add(kFields[i].column, kFields[i].clause);
    add(kRunTimestampColumn, kRunTimestampClause);
    return ddl + ") timestamp(" + std::string(kDesignatedColumn) + ") PARTITION BY WEEK WAL";
}

class E2e : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Inherited by the tool: local time is not UTC, and has had summer times.
        ::setenv("TZ", "America/Sao_Paulo", 1);
        ::tzset();
    }
    void SetUp() override {
        auto s = servers_from_env();
        if (!s) GTEST_SKIP() << "TESSIM_TEST_MYSQL_* / TESSIM_TEST_QUESTDB_* not set";
        if (s->questdb.port != "9000") GTEST_SKIP() << "the tool's query endpoint is port 9000";
        s_ = *s;
        drop_table(s_);
    }

    // A contract (and its customer when `customer` > 0) with fixed dates.
    static std::string contract(int id, int customer, const std::string& extra_cols = "",
                                const std::string& extra_vals = "") {
        return "INSERT INTO clientes_has_internetplanos (id, clientes_id, empresas_id, "
               "internetplanos_id, vendedor_id, status, data_instalacao, data_cadastro, "
               "dia_vencimento, isento, ativo" +
               extra_cols + ") VALUES (" + std::to_string(id) + ", " +
               (customer > 0 ? std::to_string(customer) : "NULL") +
               ", 1, 1, 1, 1, '2020-05-04 10:11:12', '2020-04-01 08:00:00', 10, 0, 1" + extra_vals +
               ")";
    }

    Servers s_;
};

struct Hostile {
    std::string name, expected;
};

TEST_F(E2e, GeneratedAndHostileContractsAreMirroredColumnForColumn) {
    Database db = Database::generated(s_.mysql, "gerado", 300);
    const std::vector<Hostile> hostile = {
        {"O'Brien \"Zé\", Jr.", "O'Brien \"Zé\", Jr."},
        {"Back\\slash = igual, a=b", "Back\\slash = igual, a=b"},
        {"  Ana  Maria  ", "  Ana  Maria  "},
        {"Linha1\nLinha2", "Linha1\nLinha2"},
        {"Tab\tAqui", "Tab\tAqui"},
        {"JoÃ£o", "João"},
        {"JoÃƒÂ£o da ConceiÃƒÂ§ÃƒÂ£o", "João da Conceição"},
        {"Cliente 😀 Feliz", "Cliente 😀 Feliz"},
        {"Ação é ótima", "Ação é ótima"},
        {"日本語 テスト", "日本語 テスト"},
    };
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        const int customer = 5001 + static_cast<int>(i);
        const char* cpf = i == 0 ? "''" : i == 1 ? "'123'" : i == 2 ? "'-5'" : "'12345678901'";
        db.exec(
            "INSERT INTO clientes (id, nome, cpf, endereco_bairro, cidade, uf, tipo_pessoa) "
            "VALUES (" +
            std::to_string(customer) + ", " + literal(hostile[i].name) + ", " + cpf + ", " +
            (i == 5 ? literal("SÃ£o CristÃ³vÃ£o") : "'Centro'") + ", " +
            (i == 6 ? "''" : literal("São Paulo")) + ", 'SP', 'F')");
        db.exec(contract(9001 + static_cast<int>(i), customer, ", suspensao_motivo",
                         i == 3 ? ", " + literal("Pedido \"urgente\",\tsem=igual") : ", NULL"));
    }
    const auto source = db.rows(kExpectedQuery);
    ASSERT_EQ(source.size(), 310u);

    const std::int64_t start = now_us();
    const auto run = run_tool(s_, {.database = db.name()});
    EXPECT_EQ(run.out, creation_lines() + "OK\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    const auto stored = questdb_rows(s_, 310);
    check_table(stored, source, start);

    // The hostile texts, against values written out by hand rather than computed.
    ASSERT_EQ(stored.size(), 310u);
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        const Json& g = stored[300 + i];
        EXPECT_EQ(g["idServico"], 9001 + static_cast<int>(i));
        EXPECT_EQ(g["nomeCliente"], hostile[i].expected);
    }
    EXPECT_EQ(stored[300]["cpf"], "");
    EXPECT_EQ(stored[301]["cpf"], "00000000123");
    EXPECT_EQ(stored[302]["cpf"], "-0000000005");
    EXPECT_EQ(stored[303]["motivoSuspensao"], "Pedido \"urgente\",\tsem=igual");
    EXPECT_EQ(stored[305]["bairro"], "São Cristóvão");
    EXPECT_EQ(stored[306]["cidade"], nullptr);
    EXPECT_EQ(stored[300]["dataCadastro"], "2020-04-01T11:00:00.000000Z");
    EXPECT_EQ(stored[300]["dataInstalacao"], "2020-05-04T13:11:12.000000Z");

    // A second run finds the table: only "OK", and still one row per contract.
    const std::int64_t start2 = now_us();
    const auto second_run = run_tool(s_, {.database = db.name()});
    EXPECT_EQ(second_run.out, "OK\n");
    EXPECT_EQ(second_run.err, "");
    EXPECT_EQ(second_run.status, 0);
    check_table(questdb_rows(s_, 310), source, start2);
}

TEST_F(E2e, DebugViewShowsTheRawRecordsAndLeavesQuestDbAlone) {
    Database db(s_.mysql, "debug", {"schema.sql"});
    db.exec(
        "INSERT INTO clientes (id, nome, cpf, endereco_bairro, data_nascimento, tipo_pessoa) "
        "VALUES (1, " +
        literal("Linha1\nLinha2\x01") + ", '0123', '', '1965-07-08', 'F')");
    db.exec(contract(1, 1));
    db.exec(contract(2, 0));
    db.exec(contract(3, 1));
    db.exec("ALTER TABLE clientes_has_internetplanos MODIFY data_cadastro DATETIME(6) NOT NULL");
    db.exec(
        "UPDATE clientes_has_internetplanos SET data_cadastro = '2021-03-05 14:07:09.25' "
        "WHERE id = 3");
    const auto run = run_tool(s_, {.database = db.name(), .zabbix_host = "debug"});
    const std::string banner = "Modo debug ativado.\n" + std::string(GREEN) +
                               "\nVersão do script: 1.0.8" + std::string(CYAN) + " \n\n" +
                               std::string(CYAN) +
                               "...======================================== Clientes "
                               "==============================================...\n" +
                               std::string(RESET) + "\n";
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    ASSERT_THAT(run.out, StartsWith(banner));
    const auto records = lines_of(run.out.substr(banner.size()));
    ASSERT_EQ(records.size(), 3u) << run.out;
    for (const std::string& l : records) {
        EXPECT_THAT(l, StartsWith("("));
        EXPECT_EQ(l.back(), ')');
        EXPECT_EQ(std::count(l.begin(), l.end(), '\x01'), 0);
    }
    // Raw values: the CPF without its padding, the empty district as it is, the control
    // characters escaped on their line, a contract without customer full of None.
    EXPECT_THAT(records[0], StartsWith("(1, 'Linha1\\nLinha2\\x01', '0123', None, ''"));
    EXPECT_THAT(records[1], StartsWith("(None, None, None, None, None, None, None, 1, "));
    EXPECT_THAT(records[2], HasSubstr("2021-03-05 14:07:09.250000"));
    EXPECT_THAT(records[0], HasSubstr("1965-07-08"));
    EXPECT_FALSE(table_exists(s_)) << "a debug run must not touch QuestDB";
}

TEST_F(E2e, HostNamesThatOnlyResembleDebugLoadTheStore) {
    Database db(s_.mysql, "quasedebug", {"schema.sql"});
    db.exec("INSERT INTO clientes (id, nome) VALUES (1, 'Maria')");
    for (int i = 1; i <= 3; ++i) db.exec(contract(i, 1));
    for (const char* host : {"DEBUG", "debug ", "Debug"}) {
        SCOPED_TRACE(std::string("'") + host + "'");
        drop_table(s_);
        const auto run = run_tool(s_, {.database = db.name(), .zabbix_host = host});
        EXPECT_EQ(run.out, creation_lines() + "OK\n");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(questdb_rows(s_, 3).size(), 3u);
    }
}

TEST_F(E2e, IngestionPortWithoutServerEndsWithErroAndStatusOne) {
    Database db(s_.mysql, "semporta", {"schema.sql"});
    db.exec("INSERT INTO clientes (id, nome) VALUES (1, 'Maria')");
    db.exec(contract(1, 1));
    const auto run =
        run_tool(s_, {.database = db.name(), .quest_db_port = free_port(s_.questdb.host)});
    // The schema phase talks to port 9000 and creates the table; the rows never arrive.
    EXPECT_EQ(run.out, creation_lines());
    check_ingestion_failure(s_, run);
    EXPECT_TRUE(table_exists(s_));
}

TEST_F(E2e, ValueTheServerRefusesEndsWithErroAndStatusOne) {
    // A UUID column is nothing the tool converts for: the text goes as it is and QuestDB
    // refuses the write.
    Database db(s_.mysql, "recusa", {"schema.sql"});
    db.exec("INSERT INTO clientes (id, nome, cpf) VALUES (1, 'Maria', '12345678901')");
    db.exec(contract(1, 1));
    sql(s_, table_with("cpf", "UUID"));
    const auto run = run_tool(s_, {.database = db.name()});
    EXPECT_EQ(run.out, "");
    check_ingestion_failure(s_, run);
    EXPECT_THAT(run.err, HasSubstr("UUID"));
}

TEST_F(E2e, ValueThatCannotBeConvertedNamesContractAndColumn) {
    Database db(s_.mysql, "conversao", {"schema.sql"});
    db.exec("INSERT INTO clientes (id, nome) VALUES (1, 'Maria')");
    db.exec(contract(7, 1));
    {
        SCOPED_TRACE("a name for a LONG column");
        sql(s_, table_with("nomeCliente", "LONG"));
        const auto run = run_tool(s_, {.database = db.name()});
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, HasSubstr("idServico=7"));
        EXPECT_THAT(run.err, HasSubstr("nomeCliente"));
        EXPECT_THAT(run.err, HasSubstr("Maria"));
        EXPECT_THAT(run.err, HasSubstr("Erro: "));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(questdb_rows(s_, 0).size(), 0u);
    }
    {
        SCOPED_TRACE("a status that is not a number, from a text column, for a missing table");
        drop_table(s_);
        db.exec("ALTER TABLE clientes_has_internetplanos MODIFY status VARCHAR(5) NOT NULL");
        db.exec("UPDATE clientes_has_internetplanos SET status = '1x' WHERE id = 7");
        const auto run = run_tool(s_, {.database = db.name()});
        EXPECT_EQ(run.out, "") << "checked against the creation statement's types, not created";
        EXPECT_THAT(run.err, HasSubstr("idServico=7"));
        EXPECT_THAT(run.err, HasSubstr("statusCliente"));
        EXPECT_THAT(run.err, HasSubstr("Erro: "));
        EXPECT_EQ(run.status, 1);
        EXPECT_FALSE(table_exists(s_));
    }
}

TEST_F(E2e, RegistrationDateIsTheStoredTimeAndTheRowTimeOnlyStandsInForNull) {
    Database db(s_.mysql, "cadastro", {"schema.sql"});
    db.exec("ALTER TABLE clientes_has_internetplanos MODIFY data_cadastro DATETIME(2) NULL");
    db.exec("INSERT INTO clientes (id, nome) VALUES (1, 'Maria')");
    db.exec(contract(1, 1));
    db.exec(contract(2, 1));
    db.exec(
        "UPDATE clientes_has_internetplanos SET data_cadastro = '1999-12-31 23:59:59.75' "
        "WHERE id = 1");
    db.exec("UPDATE clientes_has_internetplanos SET data_cadastro = NULL WHERE id = 2");
    const std::int64_t start = now_us();
    const auto run = run_tool(s_, {.database = db.name()});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto g = questdb_rows(s_, 2);
    ASSERT_EQ(g.size(), 2u);
    // Sao Paulo had summer time then (UTC-2): the fraction is dropped, the zone applied.
    EXPECT_EQ(g[0]["dataCadastro"], "2000-01-01T01:59:59.000000Z");
    const std::int64_t row_time = micros_from_iso(g[1]["dataCadastro"].get<std::string>());
    EXPECT_GE(row_time, start - 1000000);
    EXPECT_LE(row_time, now_us());
    // The row time is taken per row, after the run timestamp.
    EXPECT_GE(row_time, micros_from_iso(g[1]["timestamp"].get<std::string>()));
}

TEST_F(E2e, NumbersForTextColumnsAndTextsForIntegerColumnsArriveConverted) {
    Database db(s_.mysql, "numerico", {"schema.sql", "schema_numeric.sql"});
    db.exec("ALTER TABLE clientes MODIFY ruc BIGINT NULL, MODIFY tipo_pessoa TINYINT NULL");
    db.exec(
        "ALTER TABLE clientes_has_internetplanos MODIFY status VARCHAR(5) NOT NULL, "
        "MODIFY ativo VARCHAR(3) NOT NULL, MODIFY isento VARCHAR(3) NOT NULL");
    db.exec(
        "INSERT INTO clientes (id, nome, cpf, cnpj, ruc, tipo_pessoa) VALUES "
        "(1, 'Maria', 1234567890, 0, 42, 1), (2, 'José', NULL, 191, 0, 2)");
    db.exec("INSERT INTO empresas (id, razao_social) VALUES (1, 'Provedor')");
    db.exec(contract(1, 1));
    db.exec(contract(2, 2));
    db.exec(
        "UPDATE clientes_has_internetplanos SET status = '3', ativo = '0', isento = '1', "
        "dia_vencimento = ' 7' WHERE id = 2");
    const auto source = db.rows(kExpectedQuery);
    const std::int64_t start = now_us();
    const auto run = run_tool(s_, {.database = db.name()});
    EXPECT_EQ(run.out, creation_lines() + "OK\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    const auto g = questdb_rows(s_, 2);
    check_table(g, source, start, true);
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0]["cpf"], "01234567890");
    EXPECT_EQ(g[0]["cnpj"], "0");  // the integer 0 has no value: not padded, sent as text
    EXPECT_EQ(g[0]["ruc"], "42");
    EXPECT_EQ(g[0]["tipoPessoa"], "1");
    EXPECT_EQ(g[1]["cnpj"], "00000000000191");
    EXPECT_EQ(g[1]["ruc"], "0");
    EXPECT_EQ(g[1]["statusCliente"], 3);
    EXPECT_EQ(g[1]["ativo"], 0);
    EXPECT_EQ(g[1]["isento"], 1);
    EXPECT_EQ(g[1]["diaVencimento"], 7);
}

TEST_F(E2e, EmptyDatabaseAnswersOkAndLeavesAnEmptyTable) {
    Database db(s_.mysql, "vazio", {"schema.sql"});
    const auto run = run_tool(s_, {.database = db.name()});
    EXPECT_EQ(run.out, creation_lines() + "OK\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(table_exists(s_));
    EXPECT_EQ(questdb_rows(s_, 0).size(), 0u);
}

TEST_F(E2e, OneArgumentRunNamesTheMissingSetting) {
    const auto run = tessim::testing::run_program(TESSIM_CLIENTES_PATH,
                                                  {"tessim_clientes", "descobertaClientes"});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("db_host"));
    EXPECT_THAT(run.out, Not(HasSubstr("OK")));
    EXPECT_FALSE(table_exists(s_));
}

TEST_F(E2e, RefusedLoginFailsWithoutShowingThePassword) {
    Database db(s_.mysql, "senha", {"schema.sql"});
    const std::string password = "Errada-S3nha-e2e";
    const auto run = run_tool(s_, {.database = db.name(), .db_password = password});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("1045"));
    EXPECT_THAT(run.err, Not(HasSubstr(password)));
    EXPECT_THAT(run.out, Not(HasSubstr(password)));
    EXPECT_FALSE(table_exists(s_));
}

}  // namespace
}  // namespace e2e
