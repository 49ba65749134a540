// The schema phase against the real QuestDB server. Each test starts from a dropped table.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "core/fields.hpp"
#include "core/palette.hpp"
#include "store/printed_form.hpp"
#include "store/run_query.hpp"
#include "store/schema.hpp"
#include "tests/support/stdout_sink.hpp"

namespace tessim {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;
using Json = nlohmann::ordered_json;

const std::string linha_desatualizada =
    std::string(YELLOW) + "O QuestDB se encontra com a tabela desatualizada, atualizando tabela!" +
    std::string(RESET);
const std::string linha_nao_encontrada = std::string(YELLOW) +
                                         "Tabela tessimClientes não encontrada, criando tabela!" +
                                         std::string(RESET);

std::vector<std::string> linhas(const std::string& saida) {
    std::vector<std::string> out;
    std::istringstream in(saida);
    for (std::string linha; std::getline(in, linha);) out.push_back(linha);
    return out;
}

class QuestDbSchema : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* host = std::getenv("TESSIM_TEST_QUESTDB_HOST");
        const char* port = std::getenv("TESSIM_TEST_QUESTDB_HTTP_PORT");
        if (!host || !port) GTEST_SKIP() << "TESSIM_TEST_QUESTDB_* not set: QuestDB not started";
        // The query endpoint's port is fixed by the program; a server elsewhere cannot be used.
        if (std::string(port) != "9000") GTEST_SKIP() << "QuestDB HTTP is not on port 9000";
        base_ = questdb_exec_base(host);
        sql(R"(DROP TABLE IF EXISTS tessimClientes)");
    }
    // The schema phase as a run drives it, against this server.
    void fit_table() {
        truncate_and_fit_table(
            [this](const std::string& sql) { return run_query(base_, sql, kStdoutSink); },
            kStdoutSink);
    }

    Json sql(const std::string& statement) {
        const auto answer = run_query(base_, statement, kStdoutSink);
        if (!answer) throw std::runtime_error("QuestDB did not answer: " + statement);
        return *answer;
    }

    // WAL tables apply writes and truncations in the background: wait, within a bound, until
    // `statement`'s single value equals `expected`.
    Json await_value(const std::string& statement, const Json& expected) {
        Json value;
        for (int i = 0; i < 200; ++i) {
            const Json answer = sql(statement);
            if (answer.contains("dataset") && !answer["dataset"].empty())
                value = answer["dataset"][0][0];
            if (value == expected) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return value;
    }

    Json columns_metadata() {
        return sql(R"(select "column", type, designated, upsertKey, symbolCached, symbolCapacity )"
                   R"(from table_columns('tessimClientes'))");
    }

    void expect_full_table() {
        const Json tabela =
            sql("select designatedTimestamp, partitionBy, walEnabled, dedup from tables() "
                "where table_name = 'tessimClientes'");
        ASSERT_EQ(tabela["dataset"].size(), 1u) << tabela.dump();
        EXPECT_EQ(tabela["dataset"][0], Json::parse(R"(["dataCadastro","WEEK",true,true])"));

        const Json colunas = columns_metadata();
        ASSERT_EQ(colunas["dataset"].size(), kColumnCount) << colunas.dump();
        std::map<std::string, Json> por_nome;
        for (const Json& linha : colunas["dataset"]) por_nome[linha[0]] = linha;
        std::vector<std::pair<std::string_view, std::string_view>> esperadas;
        for (const Field& f : kFields) esperadas.emplace_back(f.column, f.clause);
        esperadas.emplace_back(kRunTimestampColumn, kRunTimestampClause);
        for (const auto& [nome, clausula] : esperadas) {
            ASSERT_TRUE(por_nome.count(std::string(nome))) << nome;
            const Json& linha = por_nome[std::string(nome)];
            EXPECT_EQ(linha[1], std::string(type_of(clausula))) << nome;
            EXPECT_EQ(linha[2], nome == "dataCadastro") << nome;
            EXPECT_EQ(linha[3], nome == "dataCadastro" || nome == "idServico") << nome;
            if (type_of(clausula) == "SYMBOL") {
                EXPECT_EQ(linha[4], true) << nome;
                EXPECT_EQ("SYMBOL capacity " + linha[5].dump() + " CACHE", clausula) << nome;
            }
        }
    }

    std::string base_;
};

TEST_F(QuestDbSchema, MissingTableIsCreated) {
    CaptureStdout();
    fit_table();
    const auto saida = linhas(GetCapturedStdout());
    EXPECT_EQ(saida, (std::vector<std::string>{linha_nao_encontrada, "{'ddl': 'OK'}"}));
    expect_full_table();
    // The phase's own view of the new table, as the ingestion phase will read it.
    const auto existentes = existing_columns(sql(std::string(kShowColumns)));
    ASSERT_EQ(existentes.size(), kColumnCount);
    EXPECT_EQ(existentes[0], (std::pair<std::string, std::string>{"idServico", "INT"}));
    EXPECT_EQ(existentes[31], (std::pair<std::string, std::string>{"timestamp", "TIMESTAMP"}));
}

TEST_F(QuestDbSchema, TableWithoutOneColumnIsWidened) {
    std::string sem_timestamp(kCreateTable);
    const std::string linha = ",\n            timestamp TIMESTAMP\n";
    const auto pos = sem_timestamp.find(linha);
    ASSERT_NE(pos, std::string::npos);
    sem_timestamp.replace(pos, linha.size(), "\n");
    ASSERT_EQ(printed_form(sql(sem_timestamp)), "{'ddl': 'OK'}");
    ASSERT_EQ(sql(std::string(kShowColumns))["dataset"].size(), kColumnCount - 1);

    CaptureStdout();
    fit_table();
    const std::string bruta = GetCapturedStdout();
    const auto saida = linhas(bruta);
    ASSERT_EQ(saida.size(), 33u);
    EXPECT_EQ(saida[0], linha_desatualizada);
    const auto lista = colunas_tabela();
    for (std::size_t i = 0; i < 32; ++i) {
        const std::string& nome = lista[i].first;
        if (nome == "timestamp") {
            EXPECT_EQ(saida[i + 1], "{'ddl': 'OK'}");
        } else {
            const std::string esperado = "{'query': '" + lista[i].second +
                                         "', 'error': \"column '" + nome +
                                         "' already exists\", 'position': 38}";
            EXPECT_EQ(saida[i + 1], esperado);
        }
    }
    EXPECT_EQ(await_value("select count() from table_columns('tessimClientes')", kColumnCount),
              kColumnCount);
    expect_full_table();
}

TEST_F(QuestDbSchema, FullTableIsOnlyEmptied) {
    CaptureStdout();
    fit_table();
    GetCapturedStdout();
    sql("INSERT INTO tessimClientes (idServico, dataCadastro) VALUES "
        "(1, '2024-01-01T00:00:00.000000Z'), (2, '2024-03-01T00:00:00.000000Z'), "
        "(3, '2025-06-01T00:00:00.000000Z')");
    ASSERT_EQ(await_value("select count() from tessimClientes", 3), 3);

    std::vector<std::string> enviadas;
    const auto registrada = [&](const std::string& statement) {
        enviadas.push_back(statement);
        return run_query(base_, statement, kStdoutSink);
    };
    CaptureStdout();
    truncate_and_fit_table(registrada, kStdoutSink);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(enviadas,
              (std::vector<std::string>{std::string(kTruncateTable), std::string(kShowColumns)}));
    EXPECT_EQ(await_value("select count() from tessimClientes", 0), 0);
    expect_full_table();
}

TEST_F(QuestDbSchema, TableWithMoreColumnsIsOnlyEmptied) {
    CaptureStdout();
    fit_table();
    GetCapturedStdout();
    ASSERT_EQ(printed_form(sql("ALTER TABLE tessimClientes ADD COLUMN extra INT")),
              "{'ddl': 'OK'}");
    ASSERT_EQ(await_value("select count() from table_columns('tessimClientes')", 33), 33);
    CaptureStdout();
    fit_table();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(sql("select count() from table_columns('tessimClientes')")["dataset"][0][0], 33);
}

}  // namespace
}  // namespace tessim
