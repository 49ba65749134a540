#pragma once
// The schema phase of the store writer: empty tessimClientes, then make sure it exists with
// its 32 columns, widening it or creating it when needed. Also the table's catalogue, which
// the ingestion phase reads too.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/constants.hpp"

namespace tessim {

struct ColunaTabela {
    std::string_view nome;
    // The type as QuestDB names it in SHOW COLUMNS ("INT", "SYMBOL", ...).
    std::string_view tipo;
    // The type clause used in ALTER and CREATE statements.
    std::string_view clausula;
};

inline constexpr std::string_view kTruncateTable = "TRUNCATE TABLE tessimClientes;";
inline constexpr std::string_view kShowColumns = "SHOW COLUMNS FROM tessimClientes";
inline constexpr std::size_t kColumnCount = 32;
// The designated timestamp of the creation statement.
inline constexpr std::string_view kDesignatedColumn = "dataCadastro";

// The 32 columns in the order of the migration list (which differs from the creation
// statement in where motivoRescisao, ruc and tipoPessoa stand).
extern const std::array<ColunaTabela, kColumnCount> catalogo_colunas;

// Column name -> its ALTER ... ADD COLUMN statement, in catalogue order.
std::vector<std::pair<std::string, std::string>> colunas_tabela();

// The CREATE TABLE statement, sent byte for byte as it stands (1476 characters).
extern const std::string_view criacao_tabela;

// The (name, type) pairs of the "dataset" of a SHOW COLUMNS answer. Throws when the answer
// is not an object with a list "dataset" whose rows carry a name and a type text.
std::vector<std::pair<std::string, std::string>> colunas_existentes(
    const nlohmann::ordered_json& lista_colunas);

// The (name, type) pairs of a SHOW COLUMNS answer read before anything changes the table:
// empty when the answer is absent or holds no column list (the table does not exist, or
// QuestDB could not say), in which case the rows will meet the catalogue's types, those of
// the creation statement.
std::vector<std::pair<std::string, std::string>> colunas_declaradas(
    const std::optional<nlohmann::ordered_json>& lista_colunas);

// The number of elements of the answer's "dataset": rows of a list, members of an object,
// characters of a text. Throws when the answer is absent or not an object, when "dataset"
// is missing, or when it is a value without a length (number, true/false, null).
std::size_t tamanho_dataset(const std::optional<nlohmann::ordered_json>& lista_colunas);

using ConsultaQuestDB =
    std::function<std::optional<nlohmann::ordered_json>(const std::string& sql_query)>;

// The schema phase over run_query.
void esquemaTabela();
// The same over another way of reaching /exec (tests point it at a local responder).
void esquemaTabela(const ConsultaQuestDB& consulta);

}  // namespace tessim
