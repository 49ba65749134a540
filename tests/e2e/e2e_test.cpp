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
constexpr const char* kEsperado = R"SQL(
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

double numero(const Campo& c) {
    return c ? std::strtod(c->c_str(), nullptr) : 0.0;
}

// Documents are listed in the server's order inside the group: compare them as a set.
std::set<std::string> documentos(const Json& v) {
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

// The stored row each contract must become. `numerico`: cpf/cnpj are numeric columns.
Json linha_esperada(const Linha& r, bool numerico = false) {
    Json e = Json::object();
    e["idServico"] = inteiro(r[0]);
    e["idCliente"] = inteiro(r[1]);
    e["nomeCliente"] = texto_reparado(r[2]);
    e["cpf"] = preenchido(r[3], 11, numerico);
    e["cnpj"] = preenchido(r[4], 14, numerico);
    e["bairro"] = texto_reparado(r[5]);
    e["cidade"] = texto_reparado(r[6]);
    e["estado"] = texto_reparado(r[7]);
    e["statusCliente"] = inteiro(r[8]);
    e["ativo"] = inteiro(r[9]);
    e["dataInstalacao"] = data_esperada(r[10]);
    e["dataCadastro"] = data_esperada(r[11]);
    e["diaVencimento"] = inteiro(r[12]);
    e["dataRescisao"] = data_esperada(r[13]);
    e["dataSuspensao"] = data_esperada(r[14]);
    e["dataFinalFidelidade"] = data_esperada(r[15]);
    e["motivoSuspensao"] = texto_reparado(r[16]);
    e["motivoRescisao"] = texto_reparado(r[17]);
    e["ruc"] = r[18] ? Json(*r[18]) : Json(nullptr);
    e["tipoPessoa"] = r[19] ? Json(*r[19]) : Json(nullptr);
    e["nomeEmpresa"] = texto_reparado(r[20]);
    e["nomePlano"] = texto_reparado(r[21]);
    e["valorPlano"] = numero(r[22]);
    e["nomeVendedor"] = texto_reparado(r[23]);
    e["dataNascimento"] = data_esperada(r[24]);
    e["titulosAtraso"] = inteiro(r[25]);
    e["valorAtraso"] = numero(r[26]);
    e["dataAtraso"] = data_esperada(r[27]);
    e["isento"] = inteiro(r[28]);
    e["dataVencimentoContrato"] = data_esperada(r[29]);
    e["contratosSemAssinatura"] = r[30] ? *r[30] : "";
    return e;
}

std::int64_t agora_us() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Compares every stored row with its expectation, one failure per differing column, and
// checks that the run timestamp is one value within a minute of `inicio_us`.
void confere_tabela(const std::vector<Json>& guardadas, const std::vector<Linha>& fonte,
                    std::int64_t inicio_us, bool numerico = false) {
    ASSERT_EQ(guardadas.size(), fonte.size());
    std::set<std::string> carimbos;
    for (std::size_t i = 0; i < fonte.size(); ++i) {
        const Json esperada = linha_esperada(fonte[i], numerico);
        const Json& guardada = guardadas[i];
        SCOPED_TRACE("idServico " + esperada["idServico"].dump());
        ASSERT_EQ(guardada.size(), tessim::kColumnCount) << guardada.dump();
        for (const auto& [coluna, valor] : esperada.items()) {
            if (coluna == "contratosSemAssinatura") {
                EXPECT_EQ(documentos(guardada[coluna]), documentos(valor));
                EXPECT_TRUE(guardada[coluna].is_string()) << guardada[coluna];
            } else {
                EXPECT_EQ(guardada[coluna], valor) << "coluna " << coluna;
            }
        }
        carimbos.insert(guardada["timestamp"].get<std::string>());
    }
    ASSERT_EQ(carimbos.size(), 1u) << "every row of a run carries the same run time";
    const std::int64_t t = micros_de_iso(*carimbos.begin());
    EXPECT_GE(t, inicio_us - 1000000);
    EXPECT_LE(t, agora_us() + 1000000);
    EXPECT_LT(agora_us() - t, 60000000);
}

std::vector<std::string> linhas_de(const std::string& texto) {
    std::vector<std::string> out;
    std::istringstream in(texto);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// A TCP port on the QuestDB address where nothing listens (bound, then released).
// The run ended on an ingestion failure: one "Erro: " line, status 1, nothing in the table.
void confere_erro_de_ingestao(const Servidores& s, const tessim::testing::ProgramRun& run) {
    EXPECT_THAT(run.err, StartsWith("Erro: "));
    EXPECT_EQ(linhas_de(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(linhas_questdb(s, 0).size(), 0u);
}

std::string porta_livre(const std::string& host) {
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

// The creation statement with one column's type changed: a table of 32 columns, so the
// schema phase leaves it as it is.
std::string tabela_com(const std::string& coluna, const std::string& tipo) {
    const char* colunas[][2] = {{"idServico", "INT"},
                                {"idCliente", "INT"},
                                {"nomeCliente", "SYMBOL"},
                                {"cpf", "STRING"},
                                {"cnpj", "STRING"},
                                {"bairro", "SYMBOL"},
                                {"cidade", "SYMBOL"},
                                {"estado", "SYMBOL"},
                                {"statusCliente", "INT"},
                                {"ativo", "INT"},
                                {"dataInstalacao", "TIMESTAMP"},
                                {"dataCadastro", "TIMESTAMP"},
                                {"dataRescisao", "TIMESTAMP"},
                                {"dataSuspensao", "TIMESTAMP"},
                                {"dataFinalFidelidade", "TIMESTAMP"},
                                {"diaVencimento", "INT"},
                                {"motivoSuspensao", "SYMBOL"},
                                {"motivoRescisao", "SYMBOL"},
                                {"ruc", "STRING"},
                                {"tipoPessoa", "SYMBOL"},
                                {"nomeEmpresa", "SYMBOL"},
                                {"nomePlano", "SYMBOL"},
                                {"valorPlano", "DOUBLE"},
                                {"nomeVendedor", "SYMBOL"},
                                {"dataNascimento", "TIMESTAMP"},
                                {"titulosAtraso", "INT"},
                                {"valorAtraso", "DOUBLE"},
                                {"dataAtraso", "TIMESTAMP"},
                                {"isento", "INT"},
                                {"dataVencimentoContrato", "TIMESTAMP"},
                                {"contratosSemAssinatura", "SYMBOL"},
                                {"timestamp", "TIMESTAMP"}};
    std::string ddl = "CREATE TABLE tessimClientes (";
    for (std::size_t i = 0; i < std::size(colunas); ++i) {
        if (i) ddl += ", ";
        ddl += std::string(colunas[i][0]) + " " + (colunas[i][0] == coluna ? tipo : colunas[i][1]);
    }
    return ddl + ") timestamp(dataCadastro) PARTITION BY WEEK WAL";
}

class E2e : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Inherited by the tool: local time is not UTC, and has had summer times.
        ::setenv("TZ", "America/Sao_Paulo", 1);
        ::tzset();
    }
    void SetUp() override {
        auto s = servidores();
        if (!s) GTEST_SKIP() << "TESSIM_TEST_MYSQL_* / TESSIM_TEST_QUESTDB_* not set";
        if (s->questdb.port != "9000") GTEST_SKIP() << "the tool's query endpoint is port 9000";
        s_ = *s;
        derruba_tabela(s_);
    }

    // A contract (and its customer when `cliente` > 0) with fixed dates.
    static std::string contrato(int id, int cliente, const std::string& extra_cols = "",
                                const std::string& extra_vals = "") {
        return "INSERT INTO clientes_has_internetplanos (id, clientes_id, empresas_id, "
               "internetplanos_id, vendedor_id, status, data_instalacao, data_cadastro, "
               "dia_vencimento, isento, ativo" +
               extra_cols + ") VALUES (" + std::to_string(id) + ", " +
               (cliente > 0 ? std::to_string(cliente) : "NULL") +
               ", 1, 1, 1, 1, '2020-05-04 10:11:12', '2020-04-01 08:00:00', 10, 0, 1" + extra_vals +
               ")";
    }

    Servidores s_;
};

struct Hostil {
    std::string nome, esperado;
};

TEST_F(E2e, GeneratedAndHostileContractsAreMirroredColumnForColumn) {
    Banco db = Banco::gerado(s_.mysql, "gerado", 300);
    const std::vector<Hostil> hostis = {
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
    for (std::size_t i = 0; i < hostis.size(); ++i) {
        const int cliente = 5001 + static_cast<int>(i);
        const char* cpf = i == 0 ? "''" : i == 1 ? "'123'" : i == 2 ? "'-5'" : "'12345678901'";
        db.exec(
            "INSERT INTO clientes (id, nome, cpf, endereco_bairro, cidade, uf, tipo_pessoa) "
            "VALUES (" +
            std::to_string(cliente) + ", " + literal(hostis[i].nome) + ", " + cpf + ", " +
            (i == 5 ? literal("SÃ£o CristÃ³vÃ£o") : "'Centro'") + ", " +
            (i == 6 ? "''" : literal("São Paulo")) + ", 'SP', 'F')");
        db.exec(contrato(9001 + static_cast<int>(i), cliente, ", suspensao_motivo",
                         i == 3 ? ", " + literal("Pedido \"urgente\",\tsem=igual") : ", NULL"));
    }
    const auto fonte = db.linhas(kEsperado);
    ASSERT_EQ(fonte.size(), 310u);

    const std::int64_t inicio = agora_us();
    const auto run = roda(s_, {.database = db.nome()});
    EXPECT_EQ(run.out, linhas_criacao() + "OK\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    const auto guardadas = linhas_questdb(s_, 310);
    confere_tabela(guardadas, fonte, inicio);

    // The hostile texts, against values written out by hand rather than computed.
    ASSERT_EQ(guardadas.size(), 310u);
    for (std::size_t i = 0; i < hostis.size(); ++i) {
        const Json& g = guardadas[300 + i];
        EXPECT_EQ(g["idServico"], 9001 + static_cast<int>(i));
        EXPECT_EQ(g["nomeCliente"], hostis[i].esperado);
    }
    EXPECT_EQ(guardadas[300]["cpf"], "");
    EXPECT_EQ(guardadas[301]["cpf"], "00000000123");
    EXPECT_EQ(guardadas[302]["cpf"], "-0000000005");
    EXPECT_EQ(guardadas[303]["motivoSuspensao"], "Pedido \"urgente\",\tsem=igual");
    EXPECT_EQ(guardadas[305]["bairro"], "São Cristóvão");
    EXPECT_EQ(guardadas[306]["cidade"], nullptr);
    EXPECT_EQ(guardadas[300]["dataCadastro"], "2020-04-01T11:00:00.000000Z");
    EXPECT_EQ(guardadas[300]["dataInstalacao"], "2020-05-04T13:11:12.000000Z");

    // A second run finds the table: only "OK", and still one row per contract.
    const std::int64_t inicio2 = agora_us();
    const auto segunda = roda(s_, {.database = db.nome()});
    EXPECT_EQ(segunda.out, "OK\n");
    EXPECT_EQ(segunda.err, "");
    EXPECT_EQ(segunda.status, 0);
    confere_tabela(linhas_questdb(s_, 310), fonte, inicio2);
}

TEST_F(E2e, DebugViewShowsTheRawRecordsAndLeavesQuestDbAlone) {
    Banco db(s_.mysql, "debug", {"schema.sql"});
    db.exec(
        "INSERT INTO clientes (id, nome, cpf, endereco_bairro, data_nascimento, tipo_pessoa) "
        "VALUES (1, " +
        literal("Linha1\nLinha2\x01") + ", '0123', '', '1965-07-08', 'F')");
    db.exec(contrato(1, 1));
    db.exec(contrato(2, 0));
    db.exec(contrato(3, 1));
    db.exec("ALTER TABLE clientes_has_internetplanos MODIFY data_cadastro DATETIME(6) NOT NULL");
    db.exec(
        "UPDATE clientes_has_internetplanos SET data_cadastro = '2021-03-05 14:07:09.25' "
        "WHERE id = 3");
    const auto run = roda(s_, {.database = db.nome(), .zabbix_host = "debug"});
    const std::string banner = "Modo debug ativado.\n" + std::string(GREEN) +
                               "\nVersão do script: 1.0.8" + std::string(CYAN) + " \n\n" +
                               std::string(CYAN) +
                               "...======================================== Clientes "
                               "==============================================...\n" +
                               std::string(RESET) + "\n";
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    ASSERT_THAT(run.out, StartsWith(banner));
    const auto registros = linhas_de(run.out.substr(banner.size()));
    ASSERT_EQ(registros.size(), 3u) << run.out;
    for (const std::string& l : registros) {
        EXPECT_THAT(l, StartsWith("("));
        EXPECT_EQ(l.back(), ')');
        EXPECT_EQ(std::count(l.begin(), l.end(), '\x01'), 0);
    }
    // Raw values: the CPF without its padding, the empty district as it is, the control
    // characters escaped on their line, a contract without customer full of None.
    EXPECT_THAT(registros[0], StartsWith("(1, 'Linha1\\nLinha2\\x01', '0123', None, ''"));
    EXPECT_THAT(registros[1], StartsWith("(None, None, None, None, None, None, None, 1, "));
    EXPECT_THAT(registros[2], HasSubstr("2021-03-05 14:07:09.250000"));
    EXPECT_THAT(registros[0], HasSubstr("1965-07-08"));
    EXPECT_FALSE(tabela_existe(s_)) << "a debug run must not touch QuestDB";
}

TEST_F(E2e, HostNamesThatOnlyResembleDebugLoadTheStore) {
    Banco db(s_.mysql, "quasedebug", {"schema.sql"});
    db.exec("INSERT INTO clientes (id, nome) VALUES (1, 'Maria')");
    for (int i = 1; i <= 3; ++i) db.exec(contrato(i, 1));
    for (const char* host : {"DEBUG", "debug ", "Debug"}) {
        SCOPED_TRACE(std::string("'") + host + "'");
        derruba_tabela(s_);
        const auto run = roda(s_, {.database = db.nome(), .zabbix_host = host});
        EXPECT_EQ(run.out, linhas_criacao() + "OK\n");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(linhas_questdb(s_, 3).size(), 3u);
    }
}

TEST_F(E2e, IngestionPortWithoutServerEndsWithErroAndStatusOne) {
    Banco db(s_.mysql, "semporta", {"schema.sql"});
    db.exec("INSERT INTO clientes (id, nome) VALUES (1, 'Maria')");
    db.exec(contrato(1, 1));
    const auto run =
        roda(s_, {.database = db.nome(), .quest_db_port = porta_livre(s_.questdb.host)});
    // The schema phase talks to port 9000 and creates the table; the rows never arrive.
    EXPECT_EQ(run.out, linhas_criacao());
    confere_erro_de_ingestao(s_, run);
    EXPECT_TRUE(tabela_existe(s_));
}

TEST_F(E2e, ValueTheServerRefusesEndsWithErroAndStatusOne) {
    // A UUID column is nothing the tool converts for: the text goes as it is and QuestDB
    // refuses the write.
    Banco db(s_.mysql, "recusa", {"schema.sql"});
    db.exec("INSERT INTO clientes (id, nome, cpf) VALUES (1, 'Maria', '12345678901')");
    db.exec(contrato(1, 1));
    sql(s_, tabela_com("cpf", "UUID"));
    const auto run = roda(s_, {.database = db.nome()});
    EXPECT_EQ(run.out, "");
    confere_erro_de_ingestao(s_, run);
    EXPECT_THAT(run.err, HasSubstr("UUID"));
}

TEST_F(E2e, ValueThatCannotBeConvertedNamesContractAndColumn) {
    Banco db(s_.mysql, "conversao", {"schema.sql"});
    db.exec("INSERT INTO clientes (id, nome) VALUES (1, 'Maria')");
    db.exec(contrato(7, 1));
    {
        SCOPED_TRACE("a name for a LONG column");
        sql(s_, tabela_com("nomeCliente", "LONG"));
        const auto run = roda(s_, {.database = db.nome()});
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, HasSubstr("idServico=7"));
        EXPECT_THAT(run.err, HasSubstr("nomeCliente"));
        EXPECT_THAT(run.err, HasSubstr("Maria"));
        EXPECT_THAT(run.err, HasSubstr("Erro: "));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(linhas_questdb(s_, 0).size(), 0u);
    }
    {
        SCOPED_TRACE("a status that is not a number, from a text column, for a missing table");
        derruba_tabela(s_);
        db.exec("ALTER TABLE clientes_has_internetplanos MODIFY status VARCHAR(5) NOT NULL");
        db.exec("UPDATE clientes_has_internetplanos SET status = '1x' WHERE id = 7");
        const auto run = roda(s_, {.database = db.nome()});
        EXPECT_EQ(run.out, "") << "checked against the creation statement's types, not created";
        EXPECT_THAT(run.err, HasSubstr("idServico=7"));
        EXPECT_THAT(run.err, HasSubstr("statusCliente"));
        EXPECT_THAT(run.err, HasSubstr("Erro: "));
        EXPECT_EQ(run.status, 1);
        EXPECT_FALSE(tabela_existe(s_));
    }
}

TEST_F(E2e, RegistrationDateIsTheStoredTimeAndTheRowTimeOnlyStandsInForNull) {
    Banco db(s_.mysql, "cadastro", {"schema.sql"});
    db.exec("ALTER TABLE clientes_has_internetplanos MODIFY data_cadastro DATETIME(2) NULL");
    db.exec("INSERT INTO clientes (id, nome) VALUES (1, 'Maria')");
    db.exec(contrato(1, 1));
    db.exec(contrato(2, 1));
    db.exec(
        "UPDATE clientes_has_internetplanos SET data_cadastro = '1999-12-31 23:59:59.75' "
        "WHERE id = 1");
    db.exec("UPDATE clientes_has_internetplanos SET data_cadastro = NULL WHERE id = 2");
    const std::int64_t inicio = agora_us();
    const auto run = roda(s_, {.database = db.nome()});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto g = linhas_questdb(s_, 2);
    ASSERT_EQ(g.size(), 2u);
    // Sao Paulo had summer time then (UTC-2): the fraction is dropped, the zone applied.
    EXPECT_EQ(g[0]["dataCadastro"], "2000-01-01T01:59:59.000000Z");
    const std::int64_t linha = micros_de_iso(g[1]["dataCadastro"].get<std::string>());
    EXPECT_GE(linha, inicio - 1000000);
    EXPECT_LE(linha, agora_us());
    // The row time is taken per row, after the run timestamp.
    EXPECT_GE(linha, micros_de_iso(g[1]["timestamp"].get<std::string>()));
}

TEST_F(E2e, NumbersForTextColumnsAndTextsForIntegerColumnsArriveConverted) {
    Banco db(s_.mysql, "numerico", {"schema.sql", "schema_numeric.sql"});
    db.exec("ALTER TABLE clientes MODIFY ruc BIGINT NULL, MODIFY tipo_pessoa TINYINT NULL");
    db.exec(
        "ALTER TABLE clientes_has_internetplanos MODIFY status VARCHAR(5) NOT NULL, "
        "MODIFY ativo VARCHAR(3) NOT NULL, MODIFY isento VARCHAR(3) NOT NULL");
    db.exec(
        "INSERT INTO clientes (id, nome, cpf, cnpj, ruc, tipo_pessoa) VALUES "
        "(1, 'Maria', 1234567890, 0, 42, 1), (2, 'José', NULL, 191, 0, 2)");
    db.exec("INSERT INTO empresas (id, razao_social) VALUES (1, 'Provedor')");
    db.exec(contrato(1, 1));
    db.exec(contrato(2, 2));
    db.exec(
        "UPDATE clientes_has_internetplanos SET status = '3', ativo = '0', isento = '1', "
        "dia_vencimento = ' 7' WHERE id = 2");
    const auto fonte = db.linhas(kEsperado);
    const std::int64_t inicio = agora_us();
    const auto run = roda(s_, {.database = db.nome()});
    EXPECT_EQ(run.out, linhas_criacao() + "OK\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    const auto g = linhas_questdb(s_, 2);
    confere_tabela(g, fonte, inicio, true);
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
    Banco db(s_.mysql, "vazio", {"schema.sql"});
    const auto run = roda(s_, {.database = db.nome()});
    EXPECT_EQ(run.out, linhas_criacao() + "OK\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(tabela_existe(s_));
    EXPECT_EQ(linhas_questdb(s_, 0).size(), 0u);
}

TEST_F(E2e, OneArgumentRunNamesTheMissingSetting) {
    const auto run = tessim::testing::run_program(TESSIM_CLIENTES_PATH,
                                                  {"tessim_clientes", "descobertaClientes"});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("db_host"));
    EXPECT_THAT(run.out, Not(HasSubstr("OK")));
    EXPECT_FALSE(tabela_existe(s_));
}

TEST_F(E2e, RefusedLoginFailsWithoutShowingThePassword) {
    Banco db(s_.mysql, "senha", {"schema.sql"});
    const std::string senha = "Errada-S3nha-e2e";
    const auto run = roda(s_, {.database = db.nome(), .db_password = senha});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("1045"));
    EXPECT_THAT(run.err, Not(HasSubstr(senha)));
    EXPECT_THAT(run.out, Not(HasSubstr(senha)));
    EXPECT_FALSE(tabela_existe(s_));
}

}  // namespace
}  // namespace e2e
