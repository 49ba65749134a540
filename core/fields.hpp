#pragma once
// The contract's fields, each said once: the alias the customer statement selects it under,
// its place in the record, its macro key, the QuestDB column that stores it and how the
// normalisation treats it. Everything that lists the fields is made from this table; only
// the customer statement and the creation statement are written out as texts, and a test
// holds each of them to the table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessim {

// What the normalisation makes of a field's raw value.
enum class Rule : std::uint8_t {
    as_read,         // kept as the database delivered it
    repaired_text,   // fix_text; no value becomes null
    padded_11,       // zero-padded to 11 characters (CPF)
    padded_14,       // zero-padded to 14 characters (CNPJ)
    local_datetime,  // a wall time of the local zone, kept as the instant it names
    whole_number,    // an integer, truncated toward zero; no value fails the run
    price,           // a double, 0.0 when there is no value
};

struct Field {
    std::string_view name;    // as the rest of the program calls it
    std::string_view alias;   // the name the customer statement gives its column
    std::string_view macro;   // the discovery entry's key
    std::string_view column;  // the QuestDB column
    std::string_view clause;  // the column's type clause; its first word is QuestDB's type name
    Rule rule;
    // 1-based places in the other orders the fields are listed in.
    std::uint8_t key;     // the discovery entry's keys
    std::uint8_t row;     // the columns of a written row
    std::uint8_t alter;   // the migration list colunas_tabela
    std::uint8_t create;  // the column lines of the creation statement
};

// In record order: a field's index is its position in the statement's select list, and the
// normalisation treats the fields in this order (which decides the failure reported first).
// clang-format off
inline constexpr auto kFields = std::to_array<Field>({
    // name                   alias                        macro key                      column                    type clause                      rule                 key row alter create
    {"idCliente",              "idCliente",                  "{#ID_CLIENTE}",                "idCliente",              "INT",                           Rule::as_read,        1,  2,  2,  2},
    {"nomeCliente",            "nomeCliente",                "{#NOME_CLIENTE}",              "nomeCliente",            "SYMBOL capacity 1048576 CACHE", Rule::repaired_text,  3,  3,  3,  3},
    {"cpfCliente",             "cpfCliente",                 "{#CPF_CLIENTE}",               "cpf",                    "STRING",                        Rule::padded_11,      4,  4,  4,  4},
    {"cnpjCliente",            "cnpjCliente",                "{#CNPJ_CLIENTE}",              "cnpj",                   "STRING",                        Rule::padded_14,      5,  5,  5,  5},
    {"bairroCliente",          "bairroCliente",              "{#BAIRRO}",                    "bairro",                 "SYMBOL capacity 4096 CACHE",    Rule::repaired_text,  6,  6,  6,  6},
    {"cidadeCliente",          "cidadeCliente",              "{#CIDADE}",                    "cidade",                 "SYMBOL capacity 512 CACHE",     Rule::repaired_text,  7,  7,  7,  7},
    {"estadoCliente",          "estadoCliente",              "{#ESTADO}",                    "estado",                 "SYMBOL capacity 512 CACHE",     Rule::repaired_text,  8,  8,  8,  8},
    {"statusCliente",          "statusCliente",              "{#STATUS_CLIENTE}",            "statusCliente",          "INT",                           Rule::as_read,        9,  9,  9,  9},
    {"dataInstalacao",         "dataInstalacao",             "{#DATA_INSTALACAO}",           "dataInstalacao",         "TIMESTAMP",                     Rule::local_datetime, 10, 11, 11, 11},
    {"dataCadastro",           "dataCadastro",               "{#DATA_CADASTRO}",             "dataCadastro",           "TIMESTAMP",                     Rule::local_datetime, 11, 12, 12, 12},
    {"diaVencimento",          "diaVencimento",              "{#DIA_VENCIMENTO}",            "diaVencimento",          "INT",                           Rule::whole_number,   12, 13, 16, 16},
    {"dataRescisao",           "dataRescisao",               "{#DATA_RESCISAO}",             "dataRescisao",           "TIMESTAMP",                     Rule::local_datetime, 13, 14, 13, 13},
    {"dataSuspensao",          "dataSuspensao",              "{#DATA_SUSPENSAO}",            "dataSuspensao",          "TIMESTAMP",                     Rule::local_datetime, 14, 15, 14, 14},
    {"motivoSuspensao",        "motivoSuspensao",            "{#MOTIVO_SUSPENSAO}",          "motivoSuspensao",        "SYMBOL capacity 1048576 CACHE", Rule::repaired_text,  16, 17, 17, 17},
    {"nomeEmpresa",            "nomeEmpresa",                "{#NOME_EMPRESA}",              "nomeEmpresa",            "SYMBOL capacity 512 CACHE",     Rule::repaired_text,  17, 21, 18, 21},
    {"nomePlano",              "nomePlano",                  "{#NOME_PLANO}",                "nomePlano",              "SYMBOL capacity 512 CACHE",     Rule::repaired_text,  18, 22, 19, 22},
    {"valorPlano",             "valorPlano",                 "{#VALOR_PLANO}",               "valorPlano",             "DOUBLE",                        Rule::price,          19, 23, 20, 23},
    {"nomeVendedor",           "nomeVendedor",               "{#NOME_VENDEDOR}",             "nomeVendedor",           "SYMBOL capacity 512 CACHE",     Rule::repaired_text,  20, 24, 21, 24},
    {"dataNascimento",         "dataNascimento",             "{#DATA_NASCIMENTO}",           "dataNascimento",         "TIMESTAMP",                     Rule::local_datetime, 21, 25, 22, 25},
    {"isento",                 "ContratoIsento",             "{#ISENTO}",                    "isento",                 "INT",                           Rule::as_read,        25, 29, 26, 29},
    {"tituloAtraso",           "qtdTitulosAtraso",           "{#TITULOS_ATRASO}",            "titulosAtraso",          "INT",                           Rule::as_read,        22, 26, 23, 26},
    {"valorAtraso",            "valorEmAtraso",              "{#VALOR_ATRASO}",              "valorAtraso",            "DOUBLE",                        Rule::as_read,        23, 27, 24, 27},
    {"dataPrimeiroAtraso",     "primeiroVencimentoEmAtraso", "{#DATA_ATRASO}",               "dataAtraso",             "TIMESTAMP",                     Rule::local_datetime, 24, 28, 25, 28},
    {"dataVencimentoContrato", "dataVencimentoContrato",     "{#DATA_VENCIMENTO_CONTRATO}",  "dataVencimentoContrato", "TIMESTAMP",                     Rule::local_datetime, 27, 30, 27, 30},
    {"ativo",                  "ativo",                      "{#ATIVO}",                     "ativo",                  "INT",                           Rule::as_read,        26, 10, 10, 10},
    {"idServico",              "idServico",                  "{#ID_SERVICO}",                "idServico",              "INT",                           Rule::as_read,        2,  1,  1,  1},
    {"contratosSemAssinatura", "contratosSemAssinatura",     "{#CONTRATOS_SEM_ASSINATURA}",  "contratosSemAssinatura", "SYMBOL capacity 1048576 CACHE", Rule::as_read,        28, 31, 28, 31},
    {"motivoRescisao",         "motivoRescisao",             "{#MOTIVO_RESCISAO}",           "motivoRescisao",         "SYMBOL capacity 1048576 CACHE", Rule::repaired_text,  29, 18, 29, 18},
    {"dataFinalFidelidade",    "fidelidade_data_final",      "{#DATA_FINAL_FIDELIDADE}",     "dataFinalFidelidade",    "TIMESTAMP",                     Rule::local_datetime, 15, 16, 15, 15},
    {"ruc",                    "Ruc",                        "{#RUC}",                       "ruc",                    "STRING",                        Rule::as_read,        30, 19, 30, 19},
    {"tipoPessoa",             "tipoPessoa",                 "{#TIPO_PESSOA}",               "tipoPessoa",             "SYMBOL capacity 16 CACHE",      Rule::as_read,        31, 20, 31, 20},
});
// clang-format on

inline constexpr std::size_t kFieldCount = kFields.size();

// The column after the fields in the row, migration and creation orders: the time of the run
// that wrote the row.
inline constexpr std::string_view kRunTimestampColumn = "timestamp";
inline constexpr std::string_view kRunTimestampClause = "TIMESTAMP";
inline constexpr std::size_t kColumnCount = kFieldCount + 1;

// The table's designated timestamp (the creation statement names it).
inline constexpr std::string_view kDesignatedColumn = "dataCadastro";

// QuestDB's name for the type a clause declares: its first word.
constexpr std::string_view type_of(std::string_view clause) {
    return clause.substr(0, clause.find(' '));
}

// The position of the field called `name`; a name that is no field's does not compile.
consteval std::size_t position_of(std::string_view name) {
    for (std::size_t i = 0; i < kFieldCount; ++i)
        if (kFields[i].name == name) return i;
    throw "no field has this name";
}

using FieldOrder = std::array<std::size_t, kFieldCount>;

// The positions of the fields in the order `place` gives them. Two fields in one place, or a
// place past the last, do not compile.
consteval FieldOrder order_by(std::uint8_t Field::*place) {
    FieldOrder order{};
    std::array<bool, kFieldCount> taken{};
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const std::size_t at = kFields[i].*place - 1u;
        if (at >= kFieldCount || taken[at]) throw "fields out of order";
        taken[at] = true;
        order[at] = i;
    }
    return order;
}

inline constexpr FieldOrder kKeyOrder = order_by(&Field::key);
inline constexpr FieldOrder kRowOrder = order_by(&Field::row);
inline constexpr FieldOrder kAlterOrder = order_by(&Field::alter);
inline constexpr FieldOrder kCreateOrder = order_by(&Field::create);

// A record's positions under the fields' own names, for the code that names one field.
inline constexpr std::size_t idCliente = position_of("idCliente");
inline constexpr std::size_t nomeCliente = position_of("nomeCliente");
inline constexpr std::size_t cpfCliente = position_of("cpfCliente");
inline constexpr std::size_t cnpjCliente = position_of("cnpjCliente");
inline constexpr std::size_t bairroCliente = position_of("bairroCliente");
inline constexpr std::size_t cidadeCliente = position_of("cidadeCliente");
inline constexpr std::size_t estadoCliente = position_of("estadoCliente");
inline constexpr std::size_t statusCliente = position_of("statusCliente");
inline constexpr std::size_t dataInstalacao = position_of("dataInstalacao");
inline constexpr std::size_t dataCadastro = position_of("dataCadastro");
inline constexpr std::size_t diaVencimento = position_of("diaVencimento");
inline constexpr std::size_t dataRescisao = position_of("dataRescisao");
inline constexpr std::size_t dataSuspensao = position_of("dataSuspensao");
inline constexpr std::size_t motivoSuspensao = position_of("motivoSuspensao");
inline constexpr std::size_t nomeEmpresa = position_of("nomeEmpresa");
inline constexpr std::size_t nomePlano = position_of("nomePlano");
inline constexpr std::size_t valorPlano = position_of("valorPlano");
inline constexpr std::size_t nomeVendedor = position_of("nomeVendedor");
inline constexpr std::size_t dataNascimento = position_of("dataNascimento");
inline constexpr std::size_t isento = position_of("isento");
inline constexpr std::size_t tituloAtraso = position_of("tituloAtraso");
inline constexpr std::size_t valorAtraso = position_of("valorAtraso");
inline constexpr std::size_t dataPrimeiroAtraso = position_of("dataPrimeiroAtraso");
inline constexpr std::size_t dataVencimentoContrato = position_of("dataVencimentoContrato");
inline constexpr std::size_t ativo = position_of("ativo");
inline constexpr std::size_t idServico = position_of("idServico");
inline constexpr std::size_t contratosSemAssinatura = position_of("contratosSemAssinatura");
inline constexpr std::size_t motivoRescisao = position_of("motivoRescisao");
inline constexpr std::size_t dataFinalFidelidade = position_of("dataFinalFidelidade");
inline constexpr std::size_t ruc = position_of("ruc");
inline constexpr std::size_t tipoPessoa = position_of("tipoPessoa");

}  // namespace tessim
