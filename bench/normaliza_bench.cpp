// Records per second of normalisation plus entry building, over 100,000 synthetic raw
// records held in memory (no database involved).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>

#include "bench/synthetic_rows.hpp"
#include "discovery/discovery_list.hpp"

namespace {

using namespace tessim;

void BM_NormalizeAndBuildEntries(benchmark::State& state) {
    ::setenv("TZ", "America/Sao_Paulo", 1);
    ::tzset();
    const CustomerRows rows =
        bench::synthetic_rows(static_cast<std::size_t>(state.range(0)), bench::Letters::accented);
    for (auto _ : state) {
        DiscoveryList list = build_discovery_list(rows);
        benchmark::DoNotOptimize(list.entries.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NormalizeAndBuildEntries)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
