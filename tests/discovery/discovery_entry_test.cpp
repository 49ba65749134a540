#include "discovery/discovery_list.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/fields.hpp"
#include "tests/discovery/entry_value.hpp"
#include "tests/support/normalized.hpp"
#include "tests/support/value_equality.hpp"

namespace tessim {
namespace {

TEST(DiscoveryEntry, KeyTableIsTheAgreedOrderAndCoversEveryField) {
    const std::string_view expected[] = {
        "{#ID_CLIENTE}",
        "{#ID_SERVICO}",
        "{#NOME_CLIENTE}",
        "{#CPF_CLIENTE}",
        "{#CNPJ_CLIENTE}",
        "{#BAIRRO}",
        "{#CIDADE}",
        "{#ESTADO}",
        "{#STATUS_CLIENTE}",
        "{#DATA_INSTALACAO}",
        "{#DATA_CADASTRO}",
        "{#DIA_VENCIMENTO}",
        "{#DATA_RESCISAO}",
        "{#DATA_SUSPENSAO}",
        "{#DATA_FINAL_FIDELIDADE}",
        "{#MOTIVO_SUSPENSAO}",
        "{#NOME_EMPRESA}",
        "{#NOME_PLANO}",
        "{#VALOR_PLANO}",
        "{#NOME_VENDEDOR}",
        "{#DATA_NASCIMENTO}",
        "{#TITULOS_ATRASO}",
        "{#VALOR_ATRASO}",
        "{#DATA_ATRASO}",
        "{#ISENTO}",
        "{#ATIVO}",
        "{#DATA_VENCIMENTO_CONTRATO}",
        "{#CONTRATOS_SEM_ASSINATURA}",
        "{#MOTIVO_RESCISAO}",
        "{#RUC}",
        "{#TIPO_PESSOA}",
    };
    ASSERT_EQ(std::size(expected), kFieldCount);
    std::set<std::size_t> fields;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        EXPECT_EQ(kFields[kKeyOrder[i]].macro, expected[i]) << i;
        fields.insert(kKeyOrder[i]);
    }
    EXPECT_EQ(fields.size(), kFieldCount);  // every field lands under exactly one key
    EXPECT_EQ(kFields[dataPrimeiroAtraso].macro, "{#DATA_ATRASO}");
    EXPECT_EQ(kFields[tituloAtraso].macro, "{#TITULOS_ATRASO}");
}

CustomerRecord raw_record(std::int64_t id) {
    CustomerRecord r{};
    r[idServico] = Value::of_integer(id);
    r[diaVencimento] = Value::of_integer(10);
    r[tituloAtraso] = Value::of_integer(0);
    r[valorAtraso] = Value::of_decimal("0.00");
    r[contratosSemAssinatura] = Value::of_text("");
    r[statusCliente] = Value::of_integer(1);
    return r;
}

TEST(DiscoveryEntry, ContractWithoutCustomerKeepsAllKeysWithNulls) {
    TextStore texts;
    const DiscoveryEntry e = normalized(raw_record(20), texts);
    for (std::string_view key :
         {"{#ID_CLIENTE}", "{#NOME_CLIENTE}", "{#CPF_CLIENTE}", "{#CNPJ_CLIENTE}", "{#BAIRRO}",
          "{#CIDADE}", "{#ESTADO}", "{#DATA_NASCIMENTO}", "{#RUC}", "{#TIPO_PESSOA}",
          "{#DATA_ATRASO}"})
        EXPECT_TRUE(entry_value(e, key).is_null()) << key;
    EXPECT_EQ(entry_value(e, "{#ID_SERVICO}"), Value::of_integer(20));
    EXPECT_EQ(entry_value(e, "{#TITULOS_ATRASO}"), Value::of_integer(0));
    EXPECT_EQ(entry_value(e, "{#VALOR_ATRASO}"), Value::of_decimal("0.00"));  // kind kept
    EXPECT_EQ(entry_value(e, "{#VALOR_PLANO}"), Value::of_double(0.0));
    EXPECT_EQ(entry_value(e, "{#CONTRATOS_SEM_ASSINATURA}").kind(), Kind::text);  // empty, not null
}

TEST(DiscoveryEntry, KeysReadTheirOwnFieldsNotTheFieldsInKeyOrder) {
    DiscoveryEntry e{};
    for (std::size_t f = 0; f < kFieldCount; ++f) e[f] = Value::of_integer(100 + f);
    EXPECT_EQ(entry_value(e, "{#ID_SERVICO}"), Value::of_integer(100 + idServico));
    EXPECT_EQ(entry_value(e, "{#DATA_FINAL_FIDELIDADE}"),
              Value::of_integer(100 + dataFinalFidelidade));
    EXPECT_EQ(entry_value(e, "{#TIPO_PESSOA}"), Value::of_integer(100 + tipoPessoa));
    EXPECT_EQ(e[kKeyOrder[1]], Value::of_integer(100 + idServico));
}

TEST(DiscoveryList, KeepsQueryOrderAndDuplicates) {
    CustomerRows rows;
    for (const std::int64_t id : {3, 1, 3}) rows.records.emplace_back(raw_record(id));
    rows.records[0][nomeCliente] = Value::of_text(rows.texts.keep("Jo\xC3\x83\xC2\xA3o"));
    rows.records[2][nomeCliente] = rows.records[0][nomeCliente];
    DiscoveryList list = build_discovery_list(rows);
    ASSERT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(entry_value(list.entries[0], "{#ID_SERVICO}"), Value::of_integer(3));
    EXPECT_EQ(entry_value(list.entries[1], "{#ID_SERVICO}"), Value::of_integer(1));
    EXPECT_EQ(list.entries[2], list.entries[0]);
    EXPECT_EQ(entry_value(list.entries[0], "{#NOME_CLIENTE}").text(), "Jo\xC3\xA3o");
    EXPECT_EQ(list.entries.capacity(), 3u);

    // One bad record stops the whole list.
    rows.records[1][diaVencimento] = Value::null();
    EXPECT_THROW(build_discovery_list(rows), DatabaseFailure);
}

TEST(DiscoveryList, FromConsumedRowsMatchesAndStopsAtABadRecord) {
    auto make = [] {
        CustomerRows rows;
        for (const std::int64_t id : {3, 1, 3}) rows.records.emplace_back(raw_record(id));
        rows.records[0][nomeCliente] = Value::of_text(rows.texts.keep("Jo\xC3\x83\xC2\xA3o"));
        rows.records[1][nomeCliente] = Value::of_text(rows.texts.keep("Ana"));
        return rows;
    };
    CustomerRows kept = make();
    const DiscoveryList expected = build_discovery_list(kept);
    DiscoveryList list = build_discovery_list(make());
    ASSERT_EQ(list.entries.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(list.entries[i], expected.entries[i]);
    // "Ana" needed no repair: the entry still points into the raw texts, now the list's.
    EXPECT_EQ(entry_value(list.entries[1], "{#NOME_CLIENTE}").text(), "Ana");

    CustomerRows bad = make();
    bad.records[1][diaVencimento] = Value::of_text(bad.texts.keep("dez"));
    EXPECT_THROW(build_discovery_list(std::move(bad)), DatabaseFailure);
    EXPECT_EQ(bad.records.size(), 0u);
}

// A million entries must fit comfortably in memory.
static_assert(sizeof(DiscoveryEntry) == kFieldCount * sizeof(Value));

}  // namespace
}  // namespace tessim
