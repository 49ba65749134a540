#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "store/answer_parse.hpp"
#include "store/schema.hpp"

namespace tessim {
namespace {

// The column lines of the creation statement (its lines that start with twelve blanks).
std::vector<std::string> column_lines(std::string_view statement) {
    std::vector<std::string> lines;
    std::istringstream text{std::string(statement)};
    for (std::string line; std::getline(text, line);)
        if (line.rfind("            ", 0) == 0) lines.push_back(line);
    return lines;
}

// The statement keeps its own blanks: the padding after two column lines and the blank
// last line. Everything but the column lines is a fixed frame, so its size does not move
// when a column is added.
TEST(CreationStatement, ExactBytes) {
    std::size_t column_bytes = 0;
    for (const std::string& line : column_lines(kCreateTable)) column_bytes += line.size() + 1;
    EXPECT_EQ(kCreateTable.size() - column_bytes, 159u);
    EXPECT_EQ(kCreateTable.substr(0, 41), "\n        CREATE TABLE 'tessimClientes' (\n");
    EXPECT_EQ(kCreateTable.substr(kCreateTable.size() - 9), "\n        ");
    EXPECT_NE(kCreateTable.find("idServico INT," + std::string(26, ' ') + "\n"), std::string::npos);
    EXPECT_NE(kCreateTable.find("dataAtraso TIMESTAMP," + std::string(43, ' ') + "\n"),
              std::string::npos);
    EXPECT_NE(kCreateTable.find("timestamp (" + std::string(kDesignatedColumn) + ")"),
              std::string::npos);
}

// The column lines of the creation statement are the field table's columns and clauses in
// creation order, then the run timestamp.
TEST(CreationStatement, ColumnLinesAgreeWithTheFieldTable) {
    std::vector<std::string> expected;
    for (const std::size_t f : kCreateOrder)
        expected.push_back(std::string(kFields[f].column) + " " + std::string(kFields[f].clause));
    expected.push_back(std::string(kRunTimestampColumn) + " " + std::string(kRunTimestampClause));
    std::vector<std::string> found;
    for (std::string line : column_lines(kCreateTable)) {
        line.erase(0, 12);
        line.erase(line.find_last_not_of(' ') + 1);
        if (!line.empty() && line.back() == ',') line.pop_back();
        found.push_back(line);
    }
    EXPECT_EQ(found, expected);
}

TEST(TableColumns, OneAlterStatementPerColumnInMigrationOrder) {
    const auto alters = colunas_tabela();
    ASSERT_EQ(alters.size(), kColumnCount);
    EXPECT_EQ(alters.front().first, "idServico");
    EXPECT_EQ(alters.front().second, "ALTER TABLE tessimClientes ADD COLUMN idServico INT");
    EXPECT_EQ(alters[2].second,
              "ALTER TABLE tessimClientes ADD COLUMN nomeCliente SYMBOL capacity 1048576 CACHE");
    EXPECT_EQ(alters[27].first, "contratosSemAssinatura");
    EXPECT_EQ(alters[28].second,
              "ALTER TABLE tessimClientes ADD COLUMN motivoRescisao SYMBOL capacity 1048576 CACHE");
    EXPECT_EQ(alters[30].second,
              "ALTER TABLE tessimClientes ADD COLUMN tipoPessoa SYMBOL capacity 16 CACHE");
    EXPECT_EQ(alters.back().second, "ALTER TABLE tessimClientes ADD COLUMN timestamp TIMESTAMP");
    std::set<std::string> names;
    for (const auto& [name, alter] : alters) {
        names.insert(name);
        EXPECT_EQ(alter.rfind("ALTER TABLE tessimClientes ADD COLUMN " + name + " ", 0), 0u);
        EXPECT_EQ(alter.find(';'), std::string::npos);
    }
    EXPECT_EQ(names.size(), kColumnCount);
}

TEST(DatasetSize, CountsOrRefuses) {
    const struct {
        const char* answer;
        long expected;  // -1: refused
    } cases[] = {
        {R"({"dataset":[]})", 0},
        {R"({"query":"x","dataset":[[1],[2],[3]],"count":3})", 3},
        {R"({"dataset":{"a":1,"b":2}})", 2},
        {R"({"dataset":"ação"})", 4},
        {R"({"error":"table does not exist [table=tessimClientes]","position":18})", -1},
        {R"({"dataset":7})", -1},
        {R"({"dataset":null})", -1},
        {R"({"dataset":true})", -1},
        {R"([{"dataset":[]}])", -1},
        {R"("dataset")", -1},
        {"null", -1},
    };
    for (const auto& c : cases) {
        const std::optional<nlohmann::ordered_json> answer = parse_answer(c.answer);
        if (c.expected < 0)
            EXPECT_ANY_THROW(dataset_size(answer)) << c.answer;
        else
            EXPECT_EQ(dataset_size(answer), static_cast<std::size_t>(c.expected)) << c.answer;
    }
    EXPECT_ANY_THROW(dataset_size(std::nullopt));
}

TEST(ExistingColumns, ReadsNameAndTypeOfEachRow) {
    const auto answer = parse_answer(
        R"({"query":"SHOW COLUMNS FROM tessimClientes","columns":[{"name":"column","type":"STRING"},)"
        R"({"name":"type","type":"STRING"},{"name":"indexed","type":"BOOLEAN"}],)"
        R"("dataset":[["idServico","INT",false],["nomeCliente","SYMBOL",false]],"count":2})");
    const std::vector<std::pair<std::string, std::string>> expected = {{"idServico", "INT"},
                                                                       {"nomeCliente", "SYMBOL"}};
    EXPECT_EQ(existing_columns(answer), expected);

    // A description that orders the cells differently is followed.
    const auto swapped = parse_answer(
        R"({"columns":[{"name":"type"},{"name":"column"}],"dataset":[["DOUBLE","valorPlano"]]})");
    EXPECT_EQ(existing_columns(swapped),
              (std::vector<std::pair<std::string, std::string>>{{"valorPlano", "DOUBLE"}}));
    EXPECT_TRUE(existing_columns(parse_answer(R"({"dataset":[]})")).empty());

    for (const char* bad : {R"({"error":"x"})", R"({"dataset":[["solo"]]})",
                            R"({"dataset":[[1,"INT"]]})", R"({"dataset":{}})", "[]"})
        EXPECT_ANY_THROW(existing_columns(parse_answer(bad))) << bad;
}

}  // namespace
}  // namespace tessim
