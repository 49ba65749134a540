// Per-record cost of the collector's own work between the fetch and the network: normalise
// a copy of the raw record into its discovery entry, judge its row as the check before the
// truncation does, convert each value to its column's declared type and encode the row as line
// protocol. Three data sets: the records of a generated
// database (the realistic mix: accents, a few per cent of names as mojibake), synthetic
// accented records with a third of the names broken, and the same all in ASCII, so that the
// text-repair fast path shows separately.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <sstream>
#include <string>

#include "bench/synthetic_rows.hpp"
#include "discovery/discovery_list.hpp"
#include "ingress/row_writer.hpp"
#include "source/mysql_source.hpp"
#include "source/normalization.hpp"
#include "store/ingestion.hpp"
#include "store/schema.hpp"

namespace {

using namespace tessim;

// PIPELINE_BENCH_DB="host port user password database": the raw records of that database
// (as scripts/gen-contracts made them for the end-to-end benchmark), fetched once.
const CustomerRows* database_rows() {
    static const std::optional<CustomerRows> rows = []() -> std::optional<CustomerRows> {
        const char* server = std::getenv("PIPELINE_BENCH_DB");
        if (server == nullptr) return std::nullopt;
        std::istringstream in(server);
        ConnectionSettings settings;
        in >> settings.host >> settings.port >> settings.user >> settings.password >>
            settings.database;
        MysqlConnection conn = connect_to_mysql(settings);
        return obterDadosCliente(conn.get());
    }();
    return rows ? &*rows : nullptr;
}

// One record at a time through the same steps as a run: normalise into the entry, judge its
// row as the check before the truncation does, encode its row (with the column conversions
// of the ingestion phase). The encoder is emptied every 4 MiB, as the sender's automatic
// flush does.
void run_pipeline(benchmark::State& state, const CustomerRows& rows) {
    ::setenv("TZ", "America/Sao_Paulo", 1);
    ::tzset();
    const std::size_t kRows = rows.records.size();
    const RowPlan plan = plan_rows({}, get_timestamp());
    ingress::LineEncoder encoder;
    ingress::RowChecker checker(plan.shape);
    TextStore texts;
    Normalizer normalizer(texts);
    std::size_t i = 0;
    for (auto _ : state) {
        DiscoveryEntry entry = rows.records[i];
        normalizer.normalize(entry);
        write_row(plan, entry, checker);
        ingress::RowWriter row = encoder.begin_row(plan.shape);
        write_row(plan, entry, row);
        encoder.end_row(row, ingress::TimestampNanos::now());
        if (encoder.data().size() >= (4u << 20)) encoder.clear();
        if (++i == kRows) {
            i = 0;
            state.PauseTiming();
            texts = TextStore();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// The records of the end-to-end benchmark's database: the realistic mix.
void BM_RecordToLine_Database(benchmark::State& state) {
    const CustomerRows* rows = database_rows();
    if (rows == nullptr || rows->records.size() == 0) {
        state.SkipWithError("set PIPELINE_BENCH_DB=\"host port user password database\"");
        for (auto _ : state) {
        }
        return;
    }
    run_pipeline(state, *rows);
}
// Accented Portuguese text with every third name broken: a heavy load for text repair.
void BM_RecordToLine_Accented(benchmark::State& state) {
    static const CustomerRows rows = bench::synthetic_rows(50'000, bench::Letters::accented);
    run_pipeline(state, rows);
}
void BM_RecordToLine_Ascii(benchmark::State& state) {
    static const CustomerRows rows = bench::synthetic_rows(50'000, bench::Letters::ascii);
    run_pipeline(state, rows);
}
// No MinTime here, so that --benchmark_min_time decides (bench/run asks for 2 s).
BENCHMARK(BM_RecordToLine_Database);
BENCHMARK(BM_RecordToLine_Accented);
BENCHMARK(BM_RecordToLine_Ascii);

// Under callgrind time means little: PIPELINE_BENCH_ITERATIONS=N adds runs of exactly N
// records each, so that instruction counts compare from one build to the next.
const int kFixed = [] {
    const char* n = std::getenv("PIPELINE_BENCH_ITERATIONS");
    if (n == nullptr) return 0;
    const auto its = static_cast<benchmark::IterationCount>(std::strtoll(n, nullptr, 10));
    benchmark::RegisterBenchmark("Fixed_Accented", BM_RecordToLine_Accented)->Iterations(its);
    benchmark::RegisterBenchmark("Fixed_Ascii", BM_RecordToLine_Ascii)->Iterations(its);
    return 1;
}();

}  // namespace
