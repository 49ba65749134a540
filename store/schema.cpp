#include "store/schema.hpp"

#include "core/failure.hpp"
#include "core/palette.hpp"
#include "process/console.hpp"
#include "store/printed_form.hpp"
#include "store/run_query.hpp"
#include "utf8/utf8.hpp"

namespace tessim {

using Json = nlohmann::ordered_json;

// Kept byte for byte, trailing spaces included: operators compare it with what QuestDB
// logs. A test holds its column lines to the field table.
const std::string_view kCreateTable =
    "\n"
    "        CREATE TABLE 'tessimClientes' (\n"
    "            idServico INT,                          \n"
    "            idCliente INT,\n"
    "            nomeCliente SYMBOL capacity 1048576 CACHE,\n"
    "            cpf STRING,\n"
    "            cnpj STRING,\n"
    "            bairro SYMBOL capacity 4096 CACHE,\n"
    "            cidade SYMBOL capacity 512 CACHE,\n"
    "            estado SYMBOL capacity 512 CACHE,\n"
    "            statusCliente INT,\n"
    "            ativo INT,\n"
    "            dataInstalacao TIMESTAMP,\n"
    "            dataCadastro TIMESTAMP,\n"
    "            dataRescisao TIMESTAMP,\n"
    "            dataSuspensao TIMESTAMP,\n"
    "            dataFinalFidelidade TIMESTAMP,\n"
    "            diaVencimento INT,\n"
    "            motivoSuspensao SYMBOL capacity 1048576 CACHE,\n"
    "            motivoRescisao SYMBOL capacity 1048576 CACHE,\n"
    "            ruc STRING,\n"
    "            tipoPessoa SYMBOL capacity 16 CACHE,\n"
    "            nomeEmpresa SYMBOL capacity 512 CACHE,\n"
    "            nomePlano SYMBOL capacity 512 CACHE,\n"
    "            valorPlano DOUBLE,\n"
    "            nomeVendedor SYMBOL capacity 512 CACHE,\n"
    "            dataNascimento TIMESTAMP,\n"
    "            titulosAtraso INT,\n"
    "            valorAtraso DOUBLE,\n"
    "            dataAtraso TIMESTAMP,                                           \n"
    "            isento INT,\n"
    "            dataVencimentoContrato TIMESTAMP,\n"
    "            contratosSemAssinatura SYMBOL capacity 1048576 CACHE,\n"
    "            timestamp TIMESTAMP\n"
    "        )  timestamp (dataCadastro) PARTITION BY WEEK WAL\n"
    "        DEDUP UPSERT KEYS(idServico, dataCadastro);\n"
    "        ";

std::vector<std::pair<std::string, std::string>> colunas_tabela() {
    std::vector<std::pair<std::string, std::string>> statements;
    statements.reserve(kColumnCount);
    auto add = [&statements](std::string_view column, std::string_view clause) {
        std::string alter = "ALTER TABLE tessimClientes ADD COLUMN ";
        alter.append(column).append(" ").append(clause);
        statements.emplace_back(std::string(column), std::move(alter));
    };
    for (const std::size_t f : kAlterOrder) add(kFields[f].column, kFields[f].clause);
    add(kRunTimestampColumn, kRunTimestampClause);
    return statements;
}

namespace {

// Where a SHOW COLUMNS row keeps a piece: the answer's "columns" description names them;
// QuestDB puts "column" and "type" first, which is the fallback.
std::size_t cell_position(const Json& lista_colunas, std::string_view name, std::size_t fallback) {
    const auto description = lista_colunas.find("columns");
    if (description == lista_colunas.end() || !description->is_array()) return fallback;
    for (std::size_t i = 0; i < description->size(); ++i) {
        const Json& column = (*description)[i];
        if (column.is_object() && column.value("name", std::string()) == name) return i;
    }
    return fallback;
}

[[noreturn]] void malformed(const char* why) {
    throw QueryEndpointFailure(why);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> existing_columns(const Json& lista_colunas) {
    if (!lista_colunas.is_object()) malformed("resposta de SHOW COLUMNS não é um objeto");
    const auto dataset = lista_colunas.find("dataset");
    if (dataset == lista_colunas.end() || !dataset->is_array())
        malformed("resposta de SHOW COLUMNS sem lista \"dataset\"");
    const std::size_t name_at = cell_position(lista_colunas, "column", 0);
    const std::size_t type_at = cell_position(lista_colunas, "type", 1);
    std::vector<std::pair<std::string, std::string>> columns;
    columns.reserve(dataset->size());
    try {
        // .at() and get<std::string>() throw on a short row or a non-text cell.
        for (const Json& row : *dataset)
            columns.emplace_back(row.at(name_at).get<std::string>(),
                                 row.at(type_at).get<std::string>());
    } catch (const nlohmann::json::exception&) {
        malformed("linha de SHOW COLUMNS sem nome e tipo em texto");
    }
    return columns;
}

std::vector<std::pair<std::string, std::string>> declared_columns(
    const std::optional<Json>& lista_colunas) {
    if (!lista_colunas) return {};
    try {
        return existing_columns(*lista_colunas);
    } catch (const QueryEndpointFailure&) {
        return {};
    }
}

std::size_t dataset_size(const std::optional<Json>& lista_colunas) {
    if (!lista_colunas) malformed("sem resposta a SHOW COLUMNS");
    if (!lista_colunas->is_object()) malformed("resposta de SHOW COLUMNS não é um objeto");
    const Json& dataset = lista_colunas->at("dataset");
    if (dataset.is_array() || dataset.is_object()) return dataset.size();
    if (dataset.is_string()) return utf8::code_points(dataset.get_ref<const std::string&>());
    malformed("\"dataset\" sem comprimento");
}

void truncate_and_fit_table(const QuestDbQuery& query) {
    using tavmolibrary::process_library::print_line;
    // The truncation's answer is not looked at: for a missing table it is an error answer,
    // and the check below finds that out anyway.
    query(std::string(kTruncateTable));
    const auto alters = colunas_tabela();
    const std::optional<Json> lista_colunas = query(std::string(kShowColumns));

    // Whatever fails while counting or migrating (an absent or malformed answer, a body that
    // is not JSON, an answer that cannot be printed), the table is not in a state we can
    // widen, and creating it is the recovery.
    try {
        if (dataset_size(lista_colunas) > kColumnCount - 1) return;
        print_line(std::string(YELLOW) +
                   "O QuestDB se encontra com a tabela desatualizada, atualizando tabela!" +
                   std::string(RESET));
        for (const auto& [column, alter] : alters) print_line(printed_form(query(alter)));
        return;
    } catch (const std::exception&) {
    }

    print_line(std::string(YELLOW) + "Tabela tessimClientes não encontrada, criando tabela!" +
               std::string(RESET));
    const std::optional<Json> criacaoTabela = query(std::string(kCreateTable));
    print_line(printed_form(criacaoTabela));
}

}  // namespace tessim
