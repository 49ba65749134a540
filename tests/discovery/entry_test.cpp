#include "discovery/entry.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "source/normaliza.hpp"

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
    std::set<std::size_t> fields;
    for (std::size_t i = 0; i < kMacroKeys; ++i) {
        EXPECT_EQ(kMacroKeyTable[i].key, expected[i]) << i;
        EXPECT_EQ(macro_index(expected[i]), i);
        fields.insert(kMacroKeyTable[i].campo);
    }
    EXPECT_EQ(fields.size(), kCampos);  // every field lands under exactly one key
    EXPECT_EQ(kMacroKeyTable[macro_index("{#DATA_ATRASO}")].campo, dataPrimeiroAtraso);
    EXPECT_EQ(kMacroKeyTable[macro_index("{#TITULOS_ATRASO}")].campo, tituloAtraso);
    EXPECT_THROW(macro_index("{#NAO_EXISTE}"), std::out_of_range);
    EXPECT_THROW(macro_index("ID_CLIENTE"), std::out_of_range);
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
    DiscoveryEntry e = build_entry(normalizar(raw_record(20), texts));
    for (std::string_view key :
         {"{#ID_CLIENTE}", "{#NOME_CLIENTE}", "{#CPF_CLIENTE}", "{#CNPJ_CLIENTE}", "{#BAIRRO}",
          "{#CIDADE}", "{#ESTADO}", "{#DATA_NASCIMENTO}", "{#RUC}", "{#TIPO_PESSOA}",
          "{#DATA_ATRASO}"})
        EXPECT_TRUE(e.at(key).is_null()) << key;
    EXPECT_EQ(e.at("{#ID_SERVICO}"), Value::of_integer(20));
    EXPECT_EQ(e.at("{#TITULOS_ATRASO}"), Value::of_integer(0));
    EXPECT_EQ(e.at("{#VALOR_ATRASO}"), Value::of_decimal("0.00"));  // kind kept
    EXPECT_EQ(e.at("{#VALOR_PLANO}"), Value::of_double(0.0));
    EXPECT_EQ(e.at("{#CONTRATOS_SEM_ASSINATURA}").kind(), Kind::text);  // empty, not null
    EXPECT_THROW(e.at("{#OUTRA}"), std::out_of_range);
}

TEST(DiscoveryEntry, ValuesGoUnderTheirKeysNotInFieldOrder) {
    CustomerRecord n{};
    for (std::size_t f = 0; f < kCampos; ++f) n[f] = Value::of_integer(100 + f);
    DiscoveryEntry e = build_entry(n);
    EXPECT_EQ(e.values[1], Value::of_integer(100 + idServico));
    EXPECT_EQ(e.at("{#DATA_FINAL_FIDELIDADE}"), Value::of_integer(100 + dataFinalFidelidade));
    EXPECT_EQ(e.values[14], Value::of_integer(100 + dataFinalFidelidade));
    EXPECT_EQ(e.values[30], Value::of_integer(100 + tipoPessoa));
}

TEST(DiscoveryList, KeepsQueryOrderAndDuplicates) {
    CustomerRows rows;
    rows.records = {raw_record(3), raw_record(1), raw_record(3)};
    rows.records[0][nomeCliente] = Value::of_text(rows.texts.keep("Jo\xC3\x83\xC2\xA3o"));
    rows.records[2][nomeCliente] = rows.records[0][nomeCliente];
    DescobertaClientesDB list = build_discovery_list(rows);
    ASSERT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(list.entries[0].at("{#ID_SERVICO}"), Value::of_integer(3));
    EXPECT_EQ(list.entries[1].at("{#ID_SERVICO}"), Value::of_integer(1));
    EXPECT_EQ(list.entries[2].values, list.entries[0].values);
    EXPECT_EQ(list.entries[0].at("{#NOME_CLIENTE}").text(), "Jo\xC3\xA3o");
    EXPECT_EQ(list.entries.capacity(), 3u);

    // One bad record stops the whole list.
    rows.records[1][diaVencimento] = Value::null();
    EXPECT_THROW(build_discovery_list(rows), NormalizationError);
}

TEST(DiscoveryList, FromConsumedRowsMatchesAndStopsAtABadRecord) {
    auto make = [] {
        CustomerRows rows;
        rows.records = {raw_record(3), raw_record(1), raw_record(3)};
        rows.records[0][nomeCliente] = Value::of_text(rows.texts.keep("Jo\xC3\x83\xC2\xA3o"));
        rows.records[1][nomeCliente] = Value::of_text(rows.texts.keep("Ana"));
        return rows;
    };
    CustomerRows kept = make();
    const DescobertaClientesDB expected = build_discovery_list(kept);
    DescobertaClientesDB list = build_discovery_list(make());
    ASSERT_EQ(list.entries.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(list.entries[i].values, expected.entries[i].values);
    // "Ana" needed no repair: the entry still points into the raw texts, now the list's.
    EXPECT_EQ(list.entries[1].at("{#NOME_CLIENTE}").text(), "Ana");

    CustomerRows bad = make();
    bad.records[1][diaVencimento] = Value::of_text(bad.texts.keep("dez"));
    EXPECT_THROW(build_discovery_list(std::move(bad)), NormalizationError);
    EXPECT_TRUE(bad.records.empty());
}

TEST(DiscoveryEntry, StaysCompact) {
    // A million raw records plus their entries must fit comfortably in memory.
    static_assert(sizeof(DiscoveryEntry) == 31 * sizeof(Value));
    EXPECT_LT(sizeof(DiscoveryEntry) + sizeof(CustomerRecord), 1024u);
}

}  // namespace
}  // namespace tessim
