#pragma once
// The schema phase of the store writer: empty tessimClientes, then make sure it exists with
// all its columns, widening it or creating it when needed.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/constants.hpp"
#include "core/fields.hpp"

namespace tessim {

inline constexpr std::string_view kTruncateTable = "TRUNCATE TABLE tessimClientes;";
inline constexpr std::string_view kShowColumns = "SHOW COLUMNS FROM tessimClientes";

// Column name -> its ALTER ... ADD COLUMN statement, for every column in the migration
// order (which differs from the creation statement in where motivoRescisao, ruc and
// tipoPessoa stand).
std::vector<std::pair<std::string, std::string>> colunas_tabela();

// The CREATE TABLE statement, sent byte for byte as it stands. Its column
// lines are the field table's columns and clauses in creation order, then the run timestamp.
extern const std::string_view kCreateTable;

// The (name, type) pairs of the "dataset" of a SHOW COLUMNS answer. Throws
// QueryEndpointFailure when the answer is not an object with a list "dataset" of rows with a
// name and a type text.
std::vector<std::pair<std::string, std::string>> existing_columns(
    const nlohmann::ordered_json& lista_colunas);

// The (name, type) pairs of a SHOW COLUMNS answer read before anything changes the table:
// empty when the answer is absent or holds no column list (the table does not exist, or
// QuestDB could not say), in which case the rows will meet the types of the creation
// statement.
std::vector<std::pair<std::string, std::string>> declared_columns(
    const std::optional<nlohmann::ordered_json>& lista_colunas);

// The number of elements of the answer's "dataset": rows of a list, members of an object,
// characters of a text. Throws QueryEndpointFailure when the answer is absent, not an object
// or its "dataset" a value without a length (number, true/false, null), and
// nlohmann::json::exception when "dataset" is missing.
std::size_t dataset_size(const std::optional<nlohmann::ordered_json>& lista_colunas);

using QuestDbQuery =
    std::function<std::optional<nlohmann::ordered_json>(const std::string& sql_query)>;

// The schema phase: empties the table, then widens it (an ALTER statement per column) when it has
// fewer columns than ours, or creates it when the check fails in any way; the lines it
// writes go to standard output.
void truncate_and_fit_table(const QuestDbQuery& query);

}  // namespace tessim
