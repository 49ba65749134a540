#pragma once
// The discovery entry: one contract as a Zabbix low-level-discovery row, 31 macro keys in a
// fixed order, each holding the normalised value of one field (kinds kept, nothing turned
// into text). An entry is just the 31 values in key order; the key table says which key and
// which record field each slot belongs to, so iterating an entry is iterating that table.

#include <array>
#include <cstddef>
#include <string_view>

#include "source/big_memory.hpp"
#include "source/customer_record.hpp"
#include "source/value.hpp"

namespace tessim {

struct MacroKey {
    std::string_view key;
    Campo campo;
};

inline constexpr std::size_t kMacroKeys = 31;

// The keys in entry order. This is not the record's field order.
inline constexpr std::array<MacroKey, kMacroKeys> kMacroKeyTable = {{
    {"{#ID_CLIENTE}", idCliente},
    {"{#ID_SERVICO}", idServico},
    {"{#NOME_CLIENTE}", nomeCliente},
    {"{#CPF_CLIENTE}", cpfCliente},
    {"{#CNPJ_CLIENTE}", cnpjCliente},
    {"{#BAIRRO}", bairroCliente},
    {"{#CIDADE}", cidadeCliente},
    {"{#ESTADO}", estadoCliente},
    {"{#STATUS_CLIENTE}", statusCliente},
    {"{#DATA_INSTALACAO}", dataInstalacao},
    {"{#DATA_CADASTRO}", dataCadastro},
    {"{#DIA_VENCIMENTO}", diaVencimento},
    {"{#DATA_RESCISAO}", dataRescisao},
    {"{#DATA_SUSPENSAO}", dataSuspensao},
    {"{#DATA_FINAL_FIDELIDADE}", dataFinalFidelidade},
    {"{#MOTIVO_SUSPENSAO}", motivoSuspensao},
    {"{#NOME_EMPRESA}", nomeEmpresa},
    {"{#NOME_PLANO}", nomePlano},
    {"{#VALOR_PLANO}", valorPlano},
    {"{#NOME_VENDEDOR}", nomeVendedor},
    {"{#DATA_NASCIMENTO}", dataNascimento},
    {"{#TITULOS_ATRASO}", tituloAtraso},
    {"{#VALOR_ATRASO}", valorAtraso},
    {"{#DATA_ATRASO}", dataPrimeiroAtraso},
    {"{#ISENTO}", isento},
    {"{#ATIVO}", ativo},
    {"{#DATA_VENCIMENTO_CONTRATO}", dataVencimentoContrato},
    {"{#CONTRATOS_SEM_ASSINATURA}", contratosSemAssinatura},
    {"{#MOTIVO_RESCISAO}", motivoRescisao},
    {"{#RUC}", ruc},
    {"{#TIPO_PESSOA}", tipoPessoa},
}};

struct DiscoveryEntry {
    std::array<Value, kMacroKeys> values;  // values[i] belongs to kMacroKeyTable[i].key

    // Reading by key; throws std::out_of_range for a key that is not one of the 31.
    const Value& at(std::string_view key) const;
};

// Position of `key` in the table; throws std::out_of_range for an unknown key.
std::size_t macro_index(std::string_view key);

// Builds the entry of one normalised record.
DiscoveryEntry build_entry(const CustomerRecord& normalised);

// The discovery list: one entry per raw record, in query order, duplicates kept. Texts
// created by the normalisation live in `texts`; texts that were already right still point
// into the raw rows' texts, so either the CustomerRows they came from outlives the list or,
// when the list was made from rows it consumed, it holds those texts in `raw_texts`.
struct DescobertaClientesDB {
    TextStore texts;
    TextStore raw_texts;
    BigArray<DiscoveryEntry> entries;
};

// Normalises every raw record and appends its entry, one record at a time, in order. The
// first record that fails normalisation throws and the partial list is dropped.
DescobertaClientesDB build_discovery_list(const CustomerRows& rows);

// The same, consuming the rows: each entry is written over the raw record it came from once
// that record has been read, so the records and the entries never take room side by side
// (an entry is as large as a record). The rows' texts move into the list. If a record fails,
// the exception leaves `rows` empty.
DescobertaClientesDB build_discovery_list(CustomerRows&& rows);

}  // namespace tessim
