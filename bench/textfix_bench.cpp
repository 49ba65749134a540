// Throughput of fix_text on the shapes of names the customer table carries.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "textfix/fix_text.hpp"

namespace {

const std::vector<std::string> kAscii = {
    "MARIA DA SILVA", "Jose Carlos Pereira",    "Rua Sete de Setembro, 100",
    "Centro",         "Plano Fibra 300 Mega",   "Joao Batista",
    "Sao Paulo",      "Comercial Tavares Ltda",
};
const std::vector<std::string> kAccented = {
    "João da Silva",
    "MARIA DA CONCEIÇÃO",
    "Rua São Benedito, nº 12",
    "Jardim Paulistânia",
    "Plano Fibra 300 Mega – Promoção",
    "SEBASTIÃO MAGALHÃES",
    "Florianópolis",
    "Ângela Araújo",
};
const std::vector<std::string> kBroken = {
    "JoÃ£o da Silva",
    "MARIA DA CONCEIÃ‡ÃƒO",
    "Rua SÃ£o Benedito, nÂº 12",
    "Jardim PaulistÃ¢nia",
    "Plano Fibra 300 Mega â€“ PromoÃ§Ã£o",
    "SEBASTIÃƒO MAGALHÃƒES",
    "FlorianÃ³polis",
    "Ã‚ngela AraÃºjo",
};
const std::vector<std::string> kDoubleBroken = {
    "JoÃƒÂ£o da Silva",
    "ConceiÃƒÂ§ÃƒÂ£o",
    "SÃƒÂ£o Paulo",
    "FlorianÃƒÂ³polis",
};

void run(benchmark::State& state, const std::vector<std::string>& names) {
    std::string out;
    std::size_t changed = 0;
    for (auto _ : state) {
        for (const std::string& name : names) {
            changed += textfix::fix_text_into(name, out) ? 1 : 0;
            benchmark::DoNotOptimize(out);
        }
    }
    benchmark::DoNotOptimize(changed);
    state.counters["records/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * names.size()), benchmark::Counter::kIsRate);
}

void BM_FixTextInto_Ascii(benchmark::State& state) {
    run(state, kAscii);
}
void BM_FixTextInto_AccentedClean(benchmark::State& state) {
    run(state, kAccented);
}
void BM_FixTextInto_Broken(benchmark::State& state) {
    run(state, kBroken);
}
void BM_FixTextInto_DoubleBroken(benchmark::State& state) {
    run(state, kDoubleBroken);
}

void BM_FixText_AccentedClean(benchmark::State& state) {
    for (auto _ : state) {
        for (const std::string& name : kAccented) benchmark::DoNotOptimize(textfix::fix_text(name));
    }
    state.counters["records/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * kAccented.size()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_FixTextInto_Ascii);
BENCHMARK(BM_FixTextInto_AccentedClean);
BENCHMARK(BM_FixTextInto_Broken);
BENCHMARK(BM_FixTextInto_DoubleBroken);
BENCHMARK(BM_FixText_AccentedClean);

}  // namespace
