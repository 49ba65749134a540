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

namespace tessim {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;
using Json = nlohmann::ordered_json;

const std::string kOutdatedLine =
    std::string(YELLOW) + "O QuestDB se encontra com a tabela desatualizada, atualizando tabela!" +
    std::string(RESET);
const std::string kNotFoundLine = std::string(YELLOW) +
                                  "Tabela tessimClientes não encontrada, criando tabela!" +
                                  std::string(RESET);

std::vector<std::string> lines_of(const std::string& output) {
    std::vector<std::string> out;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) out.push_back(line);
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
        truncate_and_fit_table([this](const std::string& sql) { return run_query(base_, sql); });
    }

    Json sql(const std::string& statement) {
        const auto answer = run_query(base_, statement);
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
        const Json table =
            sql("select designatedTimestamp, partitionBy, walEnabled, dedup from tables() "
                "where table_name = 'tessimClientes'");
        ASSERT_EQ(table["dataset"].size(), 1u) << table.dump();
        EXPECT_EQ(table["dataset"][0], Json::parse(R"(["dataCadastro","WEEK",true,true])"));

        const Json columns = columns_metadata();
        ASSERT_EQ(columns["dataset"].size(), kColumnCount) << columns.dump();
        std::map<std::string, Json> by_name;
        for (const Json& line : columns["dataset"]) by_name[line[0]] = line;
        std::vector<std::pair<std::string_view, std::string_view>> expected;
        for (const Field& f : kFields) expected.emplace_back(f.column, f.clause);
        expected.emplace_back(kRunTimestampColumn, kRunTimestampClause);
        for (const auto& [name, clause] : expected) {
            ASSERT_TRUE(by_name.count(std::string(name))) << name;
            const Json& line = by_name[std::string(name)];
            EXPECT_EQ(line[1], std::string(type_of(clause))) << name;
            EXPECT_EQ(line[2], name == "dataCadastro") << name;
            EXPECT_EQ(line[3], name == "dataCadastro" || name == "idServico") << name;
            if (type_of(clause) == "SYMBOL") {
                EXPECT_EQ(line[4], true) << name;
                EXPECT_EQ("SYMBOL capacity " + line[5].dump() + " CACHE", clause) << name;
            }
        }
    }

    std::string base_;
};

TEST_F(QuestDbSchema, MissingTableIsCreated) {
    CaptureStdout();
    fit_table();
    const auto output = lines_of(GetCapturedStdout());
    EXPECT_EQ(output, (std::vector<std::string>{kNotFoundLine, "{'ddl': 'OK'}"}));
    expect_full_table();
    // The phase's own view of the new table, as the ingestion phase will read it.
    const auto existing = existing_columns(sql(std::string(kShowColumns)));
    ASSERT_EQ(existing.size(), kColumnCount);
    EXPECT_EQ(existing[0], (std::pair<std::string, std::string>{"idServico", "INT"}));
    EXPECT_EQ(existing[kColumnCount - 1],
              (std::pair<std::string, std::string>{"timestamp", "TIMESTAMP"}));
}

TEST_F(QuestDbSchema, TableWithoutOneColumnIsWidened) {
    std::string without_timestamp(kCreateTable);
    const std::string line = ",\n            timestamp TIMESTAMP\n";
    const auto pos = without_timestamp.find(line);
    ASSERT_NE(pos, std::string::npos);
    without_timestamp.replace(pos, line.size(), "\n");
    ASSERT_EQ(printed_form(sql(without_timestamp)), "{'ddl': 'OK'}");
    ASSERT_EQ(sql(std::string(kShowColumns))["dataset"].size(), kColumnCount - 1);

    CaptureStdout();
    fit_table();
    const std::string raw = GetCapturedStdout();
    const auto output = lines_of(raw);
    ASSERT_EQ(output.size(), kColumnCount + 1);
    EXPECT_EQ(output[0], kOutdatedLine);
    const auto alters = colunas_tabela();
    for (std::size_t i = 0; i < kColumnCount; ++i) {
        const std::string& name = alters[i].first;
        if (name == "timestamp") {
            EXPECT_EQ(output[i + 1], "{'ddl': 'OK'}");
        } else {
            const std::string expected = "{'query': '" + alters[i].second +
                                         "', 'error': \"column '" + name +
                                         "' already exists\", 'position': 38}";
            EXPECT_EQ(output[i + 1], expected);
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

    std::vector<std::string> sent;
    const auto recording_query = [&](const std::string& statement) {
        sent.push_back(statement);
        return run_query(base_, statement);
    };
    CaptureStdout();
    truncate_and_fit_table(recording_query);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(sent,
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
