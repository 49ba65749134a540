// Records per second of normalisation plus entry building, over 100,000 synthetic raw
// records held in memory (no database involved).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include "discovery/entry.hpp"

namespace {

using namespace tessim;

CustomerRows synthetic_rows(std::size_t n) {
    static const char* kNomes[] = {
        "Maria da Concei\xC3\xA7\xC3\xA3o", "Jos\xC3\xA9 Ant\xC3\xB4nio", "Ana Paula Ribeiro",
        "Jo\xC3\x83\xC2\xA3o Batista",  // mojibake
        "Francisca Ara\xC3\xBAjo",          "Luiz Ot\xC3\x83\xC2\xA1vio"};
    static const char* kBairros[] = {"Centro", "Jardim Am\xC3\xA9rica",
                                     "Vila S\xC3\xA3o Jos\xC3\xA9", ""};
    static const char* kCidades[] = {"S\xC3\xA3o Paulo", "Goi\xC3\xA2nia", "Bel\xC3\xA9m",
                                     "Curitiba"};
    static const char* kPlanos[] = {"Fibra 300 Mega", "Fibra 600 Mega",
                                    "R\xC3\xA1"
                                    "dio 10 Mega"};
    static const char* kValores[] = {"99.90", "129.90", "0.00", "79.90"};
    std::mt19937 rng(42);
    CustomerRows rows;
    rows.records.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        CustomerRecord& r = rows.records[i];
        auto pick = [&](auto& arr) { return arr[rng() % std::size(arr)]; };
        auto text = [&](const char* s) { return Value::of_text(rows.texts.keep(s)); };
        r[idCliente] = Value::of_integer(static_cast<std::int64_t>(i / 13 * 10 + 1));
        r[nomeCliente] = text(pick(kNomes));
        r[cpfCliente] = rng() % 2
                            ? Value::of_integer(1000000000 + rng() % 999999999)
                            : text(std::to_string(10000000000ull + rng() % 89999999999ull).c_str());
        r[cnpjCliente] = rng() % 10 ? Value::null() : text("191");
        r[bairroCliente] = text(pick(kBairros));
        r[cidadeCliente] = text(pick(kCidades));
        r[estadoCliente] = text("SP");
        r[statusCliente] = Value::of_integer(1 + rng() % 4);
        r[dataInstalacao] = Value::of_datetime({2015 + int(rng() % 10), 1 + int(rng() % 12),
                                                1 + int(rng() % 28), int(rng() % 24), 30, 15, 0});
        r[dataCadastro] = Value::of_datetime(
            {2014 + int(rng() % 10), 1 + int(rng() % 12), 1 + int(rng() % 28), 9, 0, 0, 0});
        r[diaVencimento] = Value::of_integer(5 + 5 * int(rng() % 5));
        r[dataRescisao] = rng() % 5 ? Value::null() : Value::of_date(2023, 5, 10);
        r[dataSuspensao] = rng() % 8 ? Value::null() : Value::of_date(2024, 2, 1);
        r[motivoSuspensao] = rng() % 8 ? Value::null() : text("Inadimpl\xC3\xAAncia");
        r[nomeEmpresa] = text("Provedor Exemplo Telecom Ltda");
        r[nomePlano] = text(pick(kPlanos));
        r[valorPlano] = Value::of_decimal(rows.texts.keep(pick(kValores)));
        r[nomeVendedor] = rng() % 3 ? text("Carlos Vendedor") : Value::null();
        r[dataNascimento] =
            Value::of_date(1940 + int(rng() % 65), 1 + int(rng() % 12), 1 + int(rng() % 28));
        r[isento] = Value::of_integer(0);
        bool atraso = rng() % 5 == 0;
        r[tituloAtraso] = Value::of_integer(atraso ? 2 : 0);
        r[valorAtraso] = Value::of_decimal(rows.texts.keep(atraso ? "199.80" : "0.00"));
        r[dataPrimeiroAtraso] = atraso ? Value::of_date(2024, 3, 10) : Value::null();
        r[dataVencimentoContrato] = Value::of_date(2026, 1, 1 + int(rng() % 28));
        r[ativo] = Value::of_integer(1);
        r[idServico] = Value::of_integer(static_cast<std::int64_t>(i + 1));
        r[contratosSemAssinatura] = text(rng() % 10 ? "" : "1021 | 1022");
        r[motivoRescisao] = r[dataRescisao].is_null() ? Value::null()
                                                      : text(
                                                            "Mudan\xC3\xA7"
                                                            "a");
        r[dataFinalFidelidade] = rng() % 2 ? Value::null() : Value::of_date(2025, 6, 30);
        r[ruc] = Value::null();
        r[tipoPessoa] = text(r[cnpjCliente].is_null() ? "F" : "J");
    }
    return rows;
}

void BM_NormalizeAndBuildEntries(benchmark::State& state) {
    ::setenv("TZ", "America/Sao_Paulo", 1);
    ::tzset();
    const CustomerRows rows = synthetic_rows(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        DescobertaClientesDB list = build_discovery_list(rows);
        benchmark::DoNotOptimize(list.entries.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NormalizeAndBuildEntries)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
