#include <gtest/gtest.h>

#include <sstream>

#include "core/palette.hpp"
#include "store/run_query.hpp"
#include "store/schema.hpp"
#include "tests/store/local_responder.hpp"

namespace tessim {
namespace {

using testing::http_reply;
using testing::LocalResponder;
using testing::query_parameter;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

const std::string kOutdatedLine =
    std::string(YELLOW) + "O QuestDB se encontra com a tabela desatualizada, atualizando tabela!" +
    std::string(RESET) + "\n";
const std::string kNotFoundLine = std::string(YELLOW) +
                                  "Tabela tessimClientes não encontrada, criando tabela!" +
                                  std::string(RESET) + "\n";

std::string columns_reply(int rows) {
    std::string dataset;
    for (int i = 0; i < rows; ++i)
        dataset += (i ? "," : "") + std::string(R"(["c)") + std::to_string(i) + R"(","INT"])";
    return http_reply(200, R"({"query":"SHOW COLUMNS FROM tessimClientes","dataset":[)" + dataset +
                               "],\"count\":" + std::to_string(rows) + "}");
}

// The table's columns, fields and run timestamp.
constexpr int kColumns = static_cast<int>(kColumnCount);
const std::string kTruncated = http_reply(200, R"({"ddl":"OK"})");
const std::string kNoTable =
    http_reply(400, R"({"error":"table does not exist [table=tessimClientes]","position":18})");
const std::string kCreated = http_reply(200, R"({"ddl":"OK"})");
const std::string kNotJson = http_reply(200, "<html>oops</html>", "text/html");

struct SchemaRun {
    std::string output;
    std::vector<std::string> queries;  // decoded "query" parameters, in order
    bool failed = false;
};

SchemaRun run_schema(const std::vector<std::string>& replies) {
    LocalResponder responder(replies);
    const auto query = [&](const std::string& sql) { return run_query(responder.base_url(), sql); };
    SchemaRun e;
    CaptureStdout();
    try {
        truncate_and_fit_table(query);
    } catch (const std::exception&) {
        e.failed = true;
    }
    e.output = GetCapturedStdout();
    for (const auto& head : responder.requests())
        e.queries.push_back(query_parameter(head, "query"));
    return e;
}

std::vector<std::string> opening_queries() {
    return {std::string(kTruncateTable), std::string(kShowColumns)};
}

std::vector<std::string> with_alters(std::vector<std::string> queries, std::size_t count) {
    const auto alters = colunas_tabela();
    for (std::size_t i = 0; i < count; ++i) queries.push_back(alters[i].second);
    return queries;
}

TEST(TableSchema, MissingTableIsCreated) {
    const auto e = run_schema({kNoTable, kNoTable, kCreated});
    EXPECT_FALSE(e.failed);
    EXPECT_EQ(e.output, kNotFoundLine + "{'ddl': 'OK'}\n");
    auto expected = opening_queries();
    expected.emplace_back(kCreateTable);
    EXPECT_EQ(e.queries, expected);
}

TEST(TableSchema, EveryColumnOrMoreLeaveTheTableAlone) {
    for (int rows : {kColumns, kColumns + 1, kColumns + 8}) {
        const auto e = run_schema({kTruncated, columns_reply(rows)});
        EXPECT_FALSE(e.failed);
        EXPECT_EQ(e.output, "") << rows;
        EXPECT_EQ(e.queries, opening_queries()) << rows;
    }
}

// Fewer columns than the table has, an empty dataset included: every ALTER runs and every
// answer is printed, whatever it says.
TEST(TableSchema, FewerColumnsRunAllAlters) {
    for (int rows : {0, 1, kColumns - 1}) {
        std::vector<std::string> replies = {kTruncated, columns_reply(rows)};
        std::string expected = kOutdatedLine;
        for (int i = 0; i < kColumns; ++i) {
            const bool exists = i < rows;
            replies.push_back(exists ? http_reply(400, R"({"error":"column exists"})")
                                     : http_reply(200, R"({"ddl":"OK"})"));
            expected += exists ? "{'error': 'column exists'}\n" : "{'ddl': 'OK'}\n";
        }
        const auto e = run_schema(replies);
        EXPECT_FALSE(e.failed);
        EXPECT_EQ(e.output, expected) << rows;
        EXPECT_EQ(e.queries, with_alters(opening_queries(), kColumnCount)) << rows;
    }
}

// Every answer to SHOW COLUMNS that cannot be counted leads to the creation.
TEST(TableSchema, UncountableAnswersLeadToCreation) {
    const std::string replies[] = {
        http_reply(200, R"({"dataset":12})"),    http_reply(200, R"({"dataset":null})"),
        http_reply(200, R"({"dataset":false})"), http_reply(200, R"([{"dataset":[]}])"),
        http_reply(200, R"("dataset")"),         http_reply(200, R"({"count":32})"),
    };
    for (const auto& reply : replies) {
        const auto e = run_schema({kTruncated, reply, kCreated});
        EXPECT_FALSE(e.failed);
        EXPECT_EQ(e.output, kNotFoundLine + "{'ddl': 'OK'}\n") << reply;
        ASSERT_EQ(e.queries.size(), 3u);
        EXPECT_EQ(e.queries[2], kCreateTable);
    }
}

TEST(TableSchema, AbsentShowColumnsAnswerLeadsToCreation) {
    const auto e = run_schema({kTruncated, "", kCreated});
    EXPECT_FALSE(e.failed);
    EXPECT_EQ(e.output, "Error: Empty reply from server\n" + kNotFoundLine + "{'ddl': 'OK'}\n");
    EXPECT_EQ(e.queries.size(), 3u);
}

// A failure inside the migration loop abandons it and takes the creation path, although the
// table exists; the creation's error answer is printed.
TEST(TableSchema, FailureInMigrationLoopTakesCreationPath) {
    std::vector<std::string> replies = {kTruncated, columns_reply(10)};
    for (int i = 0; i < 4; ++i) replies.push_back(http_reply(200, R"({"ddl":"OK"})"));
    replies.push_back(kNotJson);
    replies.push_back(http_reply(400, R"({"error":"table already exists"})"));
    const auto e = run_schema(replies);
    EXPECT_FALSE(e.failed);
    EXPECT_EQ(e.output, kOutdatedLine + "{'ddl': 'OK'}\n{'ddl': 'OK'}\n{'ddl': 'OK'}\n" +
                            "{'ddl': 'OK'}\n" + kNotFoundLine +
                            "{'error': 'table already exists'}\n");
    auto expected = with_alters(opening_queries(), 5);
    expected.emplace_back(kCreateTable);
    EXPECT_EQ(e.queries, expected);
}

// Outside the guarded check a body that is not JSON escapes the phase.
TEST(TableSchema, NonJsonOutsideTheCheckEscapes) {
    {
        const auto e = run_schema({kNotJson});
        EXPECT_TRUE(e.failed);
        EXPECT_EQ(e.output, "");
        EXPECT_EQ(e.queries.size(), 1u);
    }
    {
        const auto e = run_schema({kTruncated, kNotJson});
        EXPECT_TRUE(e.failed);
        EXPECT_EQ(e.output, "");
        EXPECT_EQ(e.queries, opening_queries());
    }
    {
        const auto e = run_schema({kTruncated, kNoTable, kNotJson});
        EXPECT_TRUE(e.failed);
        EXPECT_EQ(e.output, kNotFoundLine);
        EXPECT_EQ(e.queries.size(), 3u);
    }
}

// An absent truncation answer is dropped like any other.
TEST(TableSchema, AbsentTruncationAnswerIsDropped) {
    const auto e = run_schema({"", columns_reply(kColumns)});
    EXPECT_FALSE(e.failed);
    EXPECT_EQ(e.output, "Error: Empty reply from server\n");
    EXPECT_EQ(e.queries, opening_queries());
}

// Nothing listens on port 9000 of 127.0.0.254: every request fails in transport.
TEST(TableSchema, UnreachableQuestDB) {
    const std::string base = questdb_exec_base("127.0.0.254");
    CaptureStdout();
    truncate_and_fit_table([&](const std::string& sql) { return run_query(base, sql); });
    const std::string output = GetCapturedStdout();

    std::vector<std::string> rows;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) rows.push_back(line);
    ASSERT_EQ(rows.size(), 5u) << output;
    const std::string failure = "Error: Failed to connect to 127.0.0.254 port 9000";
    EXPECT_EQ(rows[0].rfind(failure, 0), 0u) << rows[0];
    EXPECT_EQ(rows[1].rfind(failure, 0), 0u) << rows[1];
    EXPECT_EQ(rows[2] + "\n", kNotFoundLine);
    EXPECT_EQ(rows[3].rfind(failure, 0), 0u) << rows[3];
    EXPECT_EQ(rows[4], "None");
}

}  // namespace
}  // namespace tessim
