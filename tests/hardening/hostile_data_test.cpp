// Hostile data through the whole tool: rows go into MariaDB, the tool runs as a child
// process, and what QuestDB holds afterwards is read back through /exec. Each value either
// arrives as the intended value, or the run fails with status 1 and a message that says
// why; never a crash, a silently different value, an extra row or an extra column.

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "core/fields.hpp"
#include "tests/hardening/harness.hpp"
#include "tests/source/test_db.hpp"
#include "textfix/fix_text.hpp"

namespace tessim::testing {
namespace {

using namespace std::chrono_literals;

// Texts that could close a line-protocol string, start a new field, a new column or a new
// line, each special byte at the front, in the middle and at the end.
std::vector<std::string> hostile_texts() {
    std::vector<std::string> texts;
    for (const std::string special : {"\"", "\\", ",", "=", " ", "\n", "\r", "\t"}) {
        texts.push_back(special + "abc");
        texts.push_back("ab" + special + "c");
        texts.push_back("abc" + special);
    }
    texts.push_back("abc\\");          // a trailing backslash would escape the closing quote
    texts.push_back("\\\"");           // an escaped quote, pre-escaped
    texts.push_back("\" ,=\\\n\r\t");  // all of them together
    // Names crafted to look like a second line of the protocol.
    texts.push_back("x\ntessimClientes idServico=999i 0");
    texts.push_back("x\"\ntessimClientes idServico=999i 0\n");
    texts.push_back("x\\\ntessimClientes idServico=999i,nomeCliente=\"y\" 0");
    texts.push_back("x\r\ntessimClientes idServico=999i 0\r\n");
    // Right-to-left overrides and marks, zero-width characters and a byte-order mark.
    texts.push_back("\u202Eevil\u202C.exe");
    texts.push_back("\u200Fعربي\u200E Maria");
    texts.push_back("Jo\u200Bão\u200D\u2060");
    texts.push_back("\uFEFFAna");
    return texts;
}

constexpr int kFirstText = 1;    // customers 1.. carry the hostile texts; contracts 1001..
constexpr int kBytesBase = 500;  // customers 500.. carry raw bytes; contracts 1500..
constexpr int kNumbersId = 2147483647;

struct RawBytes {
    std::string bytes;     // stored as they are in a VARBINARY column
    std::string intended;  // what the tool must deliver
};

// Ill-formed UTF-8 is read as Windows-1252 (one character per byte) and then repaired.
const std::vector<RawBytes> raw_bytes = {
    {"Jo\xE3o", "João"},
    {"S\xC3\xA3o Paulo", "São Paulo"},  // well-formed: kept
    {"\xED\xA0\x80", "í\u00A0€"},       // an encoded lone surrogate
    {"\x96 x \x93y\x94", "– x “y”"},
    {"\xC3", "Ã"},  // a truncated sequence
    {"\xF5\xFF", "õÿ"},
};

class HostileData : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        auto servers = test_servers();
        if (!servers) return;
        servers_ = *servers;
        db_ = new TestDatabase(servers_->mysql, "hardening_hostile");
        db_->exec(
            "ALTER TABLE clientes MODIFY id BIGINT UNSIGNED NOT NULL, MODIFY nome MEDIUMTEXT, "
            "MODIFY ruc VARCHAR(255), MODIFY endereco_bairro VARBINARY(255), "
            "MODIFY cidade VARCHAR(100) CHARACTER SET latin1;"
            "ALTER TABLE clientes_has_internetplanos MODIFY clientes_id BIGINT UNSIGNED;"
            "ALTER TABLE internetplanos MODIFY valor DECIMAL(65,30);"
            "ALTER TABLE cobrancas MODIFY valor DECIMAL(65,30), MODIFY clientes_id BIGINT "
            "UNSIGNED");
        const auto texts = hostile_texts();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const std::string id = std::to_string(kFirstText + i);
            const std::string t = "_utf8mb4 X'" + hex(texts[i]) + "'";
            db_->exec("INSERT INTO clientes (id, nome, ruc) VALUES (" + id + ", " + t + ", " + t +
                      ");INSERT INTO clientes_has_internetplanos (id, clientes_id, data_cadastro, "
                      "suspensao_motivo) VALUES (" +
                      std::to_string(1000 + kFirstText + i) + ", " + id +
                      ", '2024-03-01 10:00:00', " + t + ")");
        }
        for (std::size_t i = 0; i < raw_bytes.size(); ++i) {
            const std::string id = std::to_string(kBytesBase + i);
            const std::string b = "X'" + hex(raw_bytes[i].bytes) + "'";
            db_->exec("INSERT INTO clientes (id, nome, endereco_bairro, cidade) VALUES (" + id +
                      ", 'bytes', _binary " + b + ", _latin1 " + b +
                      ");INSERT INTO clientes_has_internetplanos (id, clientes_id, data_cadastro) "
                      "VALUES (" +
                      std::to_string(1000 + kBytesBase + i) + ", " + id +
                      ", '2024-03-01 10:00:00')");
        }
        // Numbers and dates at their limits on one contract.
        db_->exec("INSERT INTO clientes (id, nome, data_nascimento) VALUES (" +
                  std::to_string(kNumbersId) +
                  ", 'limites', '1000-01-01');"
                  "INSERT INTO internetplanos (id, nome, valor) VALUES (1, 'enorme', "
                  "'12345678901234567890123456789012345.123456789012345678901234567891');"
                  "INSERT INTO cobrancas (clientes_id, valor, data_vencimento) VALUES (" +
                  std::to_string(kNumbersId) +
                  ", '0.000000000000000000000000000001', '2020-01-01');"
                  "INSERT INTO clientes_has_internetplanos (id, clientes_id, internetplanos_id, "
                  "data_cadastro, data_instalacao, data_rescisao, data_vencimento_contrato, "
                  "fidelidade_data_final) VALUES (2000, " +
                  std::to_string(kNumbersId) +
                  ", 1, '2024-03-01 10:00:00', '9999-12-31 23:59:59', '1000-01-01', '9999-12-31', "
                  "'1000-01-01')");
        contracts_ = static_cast<std::int64_t>(texts.size() + raw_bytes.size() + 1);

        questdb_exec(servers_->questdb, "DROP TABLE IF EXISTS tessimClientes");
        ToolArgs args{db_->settings(), servers_->questdb.host, servers_->questdb.port};
        run_ = new ProgramRun(run_tool(TESSIM_CLIENTES_PATH, args, {{"TZ", "UTC"}}));
    }
    static void TearDownTestSuite() {
        delete run_;
        delete db_;
    }
    void SetUp() override {
        if (!servers_) GTEST_SKIP() << "TESSIM_TEST_* not set: start scripts/services";
        ASSERT_EQ(run_->status, 0) << run_->out << run_->err;
    }

    // idServico -> the columns asked for, as QuestDB gives them back.
    static std::map<std::int64_t, nlohmann::json> rows(const std::string& columns) {
        wait_until_applied(servers_->questdb);
        std::map<std::int64_t, nlohmann::json> out;
        for (const auto& row :
             dataset(servers_->questdb, "select idServico, " + columns + " from tessimClientes"))
            out[row[0].get<std::int64_t>()] = row;
        return out;
    }

    static inline std::optional<TestServers> servers_;
    static inline TestDatabase* db_ = nullptr;
    static inline ProgramRun* run_ = nullptr;
    static inline std::int64_t contracts_ = 0;
};

TEST_F(HostileData, RunEndsWithOkAndExactlyOneRowPerContractAndNoExtraColumn) {
    EXPECT_EQ(run_->out,
              "\x1b[0;93mTabela tessimClientes não encontrada, criando tabela!\x1b[0;0m\n"
              "{'ddl': 'OK'}\nOK\n")
        << "(the table is dropped before the run, so the run creates it)";
    EXPECT_EQ(run_->err, "");
    EXPECT_EQ(row_count(servers_->questdb), contracts_);
    EXPECT_TRUE(
        dataset(servers_->questdb, "select * from tessimClientes where idServico = 999").empty())
        << "a crafted name added a row";
    EXPECT_EQ(dataset(servers_->questdb, "show columns from tessimClientes").size(), kColumnCount);
}

TEST_F(HostileData, LineProtocolSpecialsArriveExactlyInSymbolAndStringColumns) {
    const auto texts = hostile_texts();
    const auto got = rows("nomeCliente, ruc, motivoSuspensao");
    for (std::size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE("text " + nlohmann::json(texts[i]).dump());
        // None of these texts is damaged, so repair must leave them alone.
        ASSERT_EQ(textfix::fix_text(texts[i]), texts[i]);
        const auto row = got.find(1000 + kFirstText + static_cast<std::int64_t>(i));
        ASSERT_NE(row, got.end()) << "contract missing";
        EXPECT_EQ(row->second[1], texts[i]) << "nomeCliente (SYMBOL)";
        EXPECT_EQ(row->second[2], texts[i]) << "ruc (STRING)";
        EXPECT_EQ(row->second[3], texts[i]) << "motivoSuspensao (SYMBOL)";
    }
}

TEST_F(HostileData, IllFormedBytesArriveRepairedAndLatin1ArrivesConverted) {
    const auto got = rows("bairro, cidade");
    for (std::size_t i = 0; i < raw_bytes.size(); ++i) {
        SCOPED_TRACE("bytes " + hex(raw_bytes[i].bytes));
        const auto row = got.find(1000 + kBytesBase + static_cast<std::int64_t>(i));
        ASSERT_NE(row, got.end());
        EXPECT_EQ(row->second[1], raw_bytes[i].intended) << "bairro from VARBINARY";
        // MariaDB's latin1 is Windows-1252: every byte is one character, delivered as UTF-8,
        // then repaired like any text.
        EXPECT_EQ(row->second[2], textfix::fix_text(row->second[2].get<std::string>()))
            << "cidade from latin1 is not a repaired text";
    }
    // A byte that is ill-formed UTF-8 reads the same through both columns.
    EXPECT_EQ(got.at(1000 + kBytesBase)[2], "João");
    EXPECT_EQ(got.at(1000 + kBytesBase + 3)[2], "– x “y”");
}

TEST_F(HostileData, NumbersAndDatesAtTheirLimits) {
    const auto got = rows(
        "idCliente, valorPlano, valorAtraso, titulosAtraso, dataInstalacao, dataRescisao, "
        "dataVencimentoContrato, dataFinalFidelidade, dataNascimento, dataAtraso");
    ASSERT_TRUE(got.count(2000));
    const auto& row = got.at(2000);
    EXPECT_EQ(row[1], kNumbersId) << "largest INT";
    // DOUBLE columns hold the nearest double to the exact decimal.
    double huge = 0, tiny = 0;
    const std::string h = "12345678901234567890123456789012345.123456789012345678901234567891";
    const std::string t = "0.000000000000000000000000000001";
    std::from_chars(h.data(), h.data() + h.size(), huge);
    std::from_chars(t.data(), t.data() + t.size(), tiny);
    EXPECT_EQ(row[2].get<double>(), huge);
    EXPECT_EQ(row[3].get<double>(), tiny);
    EXPECT_EQ(row[4], 1);
    EXPECT_EQ(row[5], "9999-12-31T23:59:59.000000Z");
    EXPECT_EQ(row[6], "1000-01-01T00:00:00.000000Z");
    EXPECT_EQ(row[7], "9999-12-31T00:00:00.000000Z");
    EXPECT_EQ(row[8], "1000-01-01T00:00:00.000000Z");
    EXPECT_EQ(row[9], "1000-01-01T00:00:00.000000Z");
    EXPECT_EQ(row[10], "2020-01-01T00:00:00.000000Z");
}

// The table's rows and its run timestamps, once QuestDB has applied what it was sent.
nlohmann::json snapshot(const QuestDbAddress& at) {
    wait_until_applied(at, std::chrono::seconds(60));
    return dataset(at, "select count(), min(timestamp), max(timestamp) from tessimClientes");
}

// A good run loads the table with `rows` rows; `spoil` then spoils one contract and gives its
// idServico. The next run must fail before it touches the table: status 1, nothing on
// standard output (no "OK"), one "Erro: " line naming that contract and then `names`, and
// the good run's rows and run timestamp all still there.
void refused_and_kept(const TestServers& servers, const TestDatabase& db, std::int64_t rows,
                      const std::function<std::string()>& spoil,
                      const std::vector<std::string>& names) {
    const ToolArgs args{db.settings(), servers.questdb.host, servers.questdb.port};
    ASSERT_EQ(run_tool(TESSIM_CLIENTES_PATH, args, {{"TZ", "UTC"}}, 120s).status, 0);
    const nlohmann::json before = snapshot(servers.questdb);
    ASSERT_EQ(before[0][0], rows);
    const std::string id = spoil();
    const ProgramRun run = run_tool(TESSIM_CLIENTES_PATH, args, {{"TZ", "UTC"}}, 120s);
    std::cout << "[ outcome  ] status " << run.status << ", " << run.err;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.starts_with("Erro: contrato idServico=" + id + ",") ||
                run.err.starts_with("Erro: contrato idServico=" + id + ":"))
        << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    for (const std::string& name : names)
        EXPECT_NE(run.err.find(name), std::string::npos) << "stderr lacks '" << name << "'";
    EXPECT_EQ(snapshot(servers.questdb), before) << "the table lost the good run's rows";
}

struct FailingCase {
    std::string name;
    std::string spoil;                    // turns contract 77 bad
    std::vector<std::string> stderr_has;  // the column, and why
};

class FailingData : public ::testing::TestWithParam<FailingCase> {};

TEST_P(FailingData, RunFailsBeforeTheTableIsTouched) {
    TESSIM_REQUIRE_SERVERS(servers);
    TestDatabase db(servers.mysql, "hardening_" + GetParam().name);
    db.exec(
        "INSERT INTO clientes (id, nome) VALUES (6, 'boa'), (7, 'x');"
        "INSERT INTO clientes_has_internetplanos (id, clientes_id, data_cadastro) VALUES "
        "(76, 6, '2024-03-01 10:00:00'), (77, 7, '2024-03-01 10:00:00')");
    const auto spoil = [&] {
        db.exec(GetParam().spoil);
        return std::string("77");
    };
    refused_and_kept(servers, db, 2, spoil, GetParam().stderr_has);
}

INSTANTIATE_TEST_SUITE_P(
    Hardening, FailingData,
    ::testing::Values(
        // QuestDB's INT cannot hold it; storing it would wrap or turn it into null.
        FailingCase{"int_overflow",
                    "ALTER TABLE clientes MODIFY id BIGINT UNSIGNED NOT NULL;"
                    "ALTER TABLE clientes_has_internetplanos MODIFY clientes_id BIGINT UNSIGNED;"
                    "UPDATE clientes SET id = 2147483648 WHERE id = 7;"
                    "UPDATE clientes_has_internetplanos SET clientes_id = 2147483648 WHERE id = 77",
                    {"idCliente", "2147483648"}},
        // A NUL cannot travel in the line protocol; cutting the name there would change it.
        FailingCase{"nul_byte",
                    "UPDATE clientes SET nome = _utf8mb4 X'41004200' WHERE id = 7",
                    {"nomeCliente", "NUL"}},
        // ruc is not repaired, so ill-formed bytes would reach QuestDB as they are.
        FailingCase{"raw_bytes_unrepaired_column",
                    "ALTER TABLE clientes MODIFY ruc VARBINARY(40);"
                    "UPDATE clientes SET ruc = X'41EDA080' WHERE id = 7",
                    {"ruc", "UTF-8"}},
        FailingCase{"text_for_an_int_column",
                    "ALTER TABLE clientes_has_internetplanos MODIFY status VARCHAR(5) NOT NULL;"
                    "UPDATE clientes_has_internetplanos SET status = '1x' WHERE id = 77",
                    {"statusCliente", "'1x'"}},
        FailingCase{"fraction_for_an_int_column",
                    "ALTER TABLE clientes_has_internetplanos MODIFY status DOUBLE NOT NULL;"
                    "UPDATE clientes_has_internetplanos SET status = 1.5 WHERE id = 77",
                    {"statusCliente", "1.5"}},
        // QuestDB refuses a designated timestamp before the epoch, for the whole request.
        FailingCase{"registration_before_1970",
                    "UPDATE clientes_has_internetplanos SET data_cadastro = '1969-12-31 "
                    "23:59:59' WHERE id = 77",
                    {"dataCadastro", "1970"}}),
    [](const auto& info) { return info.param.name; });

// The bad value in the last contract the statement returns (it has no ORDER BY: whichever
// the server sends last), after 100,000 good ones.
TEST(KeptSnapshot, BadValueInTheLastOf100000Contracts) {
    TESSIM_REQUIRE_SERVERS(servers);
    TestDatabase db(servers.mysql, "hardening_last");
    const ConnectionSettings& s = db.settings();
    const std::string gen = std::string(TESSIM_ROOT) + "/scripts/gen-contracts 100000 --database " +
                            s.database + " --host " + s.host + " --port " + s.port + " --user " +
                            s.user + " --password " + s.password + " >/dev/null";
    ASSERT_EQ(std::system(gen.c_str()), 0);
    // One weekly partition: QuestDB then applies the load in seconds, not tens of seconds.
    db.exec("UPDATE clientes_has_internetplanos SET data_cadastro = '2024-03-01 10:00:00'");
    const auto last = [&s] {
        MysqlConnection conn = connect_to_mysql(s);
        const CustomerRows rows = obterDadosCliente(conn.get());
        return std::to_string(rows.records[rows.records.size() - 1][idServico].integer());
    };
    const auto spoil = [&] {
        const std::string id = last();
        db.exec(
            "UPDATE clientes_has_internetplanos SET suspensao_motivo = X'41004200' WHERE id = " +
            id);
        EXPECT_EQ(last(), id) << "the update moved the contract";
        return id;
    };
    refused_and_kept(servers, db, 100000, spoil, {"motivoSuspensao", "NUL"});
}

const std::string one_contract =
    ";INSERT INTO clientes_has_internetplanos (id, clientes_id, data_cadastro) VALUES (77, 7, "
    "'2024-03-01 10:00:00')";

// nomeCliente is a SYMBOL column: a name of 1 MiB either arrives whole or fails the run.
TEST(HostileNames, OneMebibyteNameArrivesWholeOrFailsClearly) {
    TESSIM_REQUIRE_SERVERS(servers);
    TestDatabase db(servers.mysql, "hardening_huge_name");
    std::string name;
    while (name.size() < (1u << 20)) name += "Conceição \"=,\\ ";
    name.resize(1u << 20);
    db.exec(
        "ALTER TABLE clientes MODIFY nome MEDIUMTEXT;"
        "INSERT INTO clientes (id, nome) VALUES (7, _utf8mb4 X'" +
        hex(name) + "')" + one_contract);
    const ProgramRun run =
        run_tool(TESSIM_CLIENTES_PATH, {db.settings(), servers.questdb.host, servers.questdb.port});
    std::cout << "[ outcome  ] 1 MiB name: "
              << (run.status == 0 ? std::string("run ended OK\n") : run.err);
    if (run.status == 0) {
        EXPECT_EQ(run.err, "");
        wait_until_applied(servers.questdb);
        const auto got = dataset(servers.questdb, "select nomeCliente from tessimClientes");
        ASSERT_EQ(got.size(), 1u);
        EXPECT_TRUE(got[0][0] == name)
            << "1 MiB name arrived changed, " << got[0][0].get<std::string>().size() << " bytes";
    } else {
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("Erro: "), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("OK\n"), std::string::npos);
    }
}

// A daylight-saving gap: 2018-11-04 00:00 to 01:00 did not exist in São Paulo. A wall time
// inside it is taken as mktime takes it, at the offset before the change (-03), which is the
// same instant as 01:30 at -02.
TEST(HostileDates, DaylightSavingGapAndNegativeZeroInSaoPaulo) {
    TESSIM_REQUIRE_SERVERS(servers);
    TestDatabase db(servers.mysql, "hardening_dst");
    db.exec(
        "ALTER TABLE internetplanos MODIFY valor DOUBLE;"
        "INSERT INTO internetplanos (id, nome, valor) VALUES (1, 'menos zero', -0e0);"
        "INSERT INTO clientes (id, nome, data_nascimento) VALUES (7, 'dst', '2018-11-04');"
        "INSERT INTO clientes_has_internetplanos (id, clientes_id, internetplanos_id, "
        "data_cadastro, data_instalacao, data_rescisao) VALUES (77, 7, 1, '2024-03-01 10:00:00', "
        "'2018-11-04 00:30:00', '2018-06-01')");
    const ProgramRun run =
        run_tool(TESSIM_CLIENTES_PATH, {db.settings(), servers.questdb.host, servers.questdb.port},
                 {{"TZ", "America/Sao_Paulo"}});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    wait_until_applied(servers.questdb);
    const auto got = dataset(servers.questdb,
                             "select dataInstalacao, dataNascimento, dataRescisao, dataCadastro, "
                             "valorPlano from tessimClientes");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][0], "2018-11-04T03:30:00.000000Z");
    EXPECT_EQ(got[0][1], "2018-11-04T03:00:00.000000Z");
    EXPECT_EQ(got[0][2], "2018-06-01T03:00:00.000000Z");
    EXPECT_EQ(got[0][3], "2024-03-01T13:00:00.000000Z");
    // A price of zero, whatever its sign, is the price zero.
    EXPECT_EQ(got[0][4].get<double>(), 0.0);
}

}  // namespace
}  // namespace tessim::testing
