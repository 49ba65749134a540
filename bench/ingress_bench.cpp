// Encoding throughput of the ingestion client for rows shaped like the customer rows:
// 32 columns of texts, integers, decimals, a double, local date-times and a few nulls.
#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "ingress/line_encoder.hpp"
#include "ingress/row_shape.hpp"
#include "ingress/row_writer.hpp"

namespace {

using namespace ingress;

struct Record {
    std::vector<std::string> texts;     // 14
    std::array<std::int64_t, 9> dates;  // microseconds since the epoch
    std::string price;
    std::string debt;
};

std::vector<Record> make_records(std::size_t n) {
    std::mt19937 rng(1);
    const char* words[] = {"Maria",         "Jos\xC3\xA9", "Concei\xC3\xA7\xC3\xA3o",
                           "Rua",           "Centro",      "S\xC3\xA3o Paulo",
                           "Fibra 300M",    "Ativo",       "Jardim",
                           "Vila \"Nova\"", "Campinas",    "PF"};
    std::vector<Record> out(n);
    for (auto& r : out) {
        for (int t = 0; t < 14; ++t) {
            std::string s;
            const int len = 1 + static_cast<int>(rng() % 4);
            for (int w = 0; w < len; ++w) s += std::string(words[rng() % 12]) + " ";
            r.texts.push_back(s);
        }
        for (auto& d : r.dates) {
            // Whole seconds of 2005..2024, as the normalisation makes them.
            d = (1104537600 + static_cast<std::int64_t>(rng() % 631152000)) * 1000000;
        }
        r.price = std::to_string(rng() % 500) + "." + std::to_string(10 + rng() % 90);
        r.debt = std::to_string(rng() % 5000) + ".00";
    }
    return out;
}

void BM_EncodeCustomerRows(benchmark::State& state) {
    const auto records = make_records(4096);
    static const char* names[32] = {"idServico",
                                    "idCliente",
                                    "nomeCliente",
                                    "cpf",
                                    "cnpj",
                                    "bairro",
                                    "cidade",
                                    "estado",
                                    "statusCliente",
                                    "ativo",
                                    "dataInstalacao",
                                    "dataCadastro",
                                    "diaVencimento",
                                    "dataRescisao",
                                    "dataSuspensao",
                                    "dataFinalFidelidade",
                                    "motivoSuspensao",
                                    "motivoRescisao",
                                    "ruc",
                                    "tipoPessoa",
                                    "nomeEmpresa",
                                    "nomePlano",
                                    "valorPlano",
                                    "nomeVendedor",
                                    "dataNascimento",
                                    "titulosAtraso",
                                    "valorAtraso",
                                    "dataAtraso",
                                    "isento",
                                    "dataVencimentoContrato",
                                    "contratosSemAssinatura",
                                    "timestamp"};
    std::vector<ColumnName> cols;
    for (const char* n : names) cols.emplace_back(n);
    const RowShape shape("tessimClientes", cols);

    LineEncoder enc;
    std::size_t i = 0;
    std::int64_t rows = 0;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        const Record& r = records[i++ % records.size()];
        // Column 4 is null: a null is not written, as the ingestion does.
        RowWriter row = enc.begin_row(shape);
        row.column(0, static_cast<std::int64_t>(i));
        row.column(1, static_cast<std::int64_t>(i / 2));
        row.column(2, Text{r.texts[0]});
        row.column(3, Text{"01234567890"});
        row.column(5, Text{r.texts[1]});
        row.column(6, Text{r.texts[2]});
        row.column(7, Text{"SP"});
        row.column(8, Text{r.texts[3]});
        row.column(9, Text{"S"});
        row.column(10, TimestampMicros(r.dates[0]));
        row.column(11, TimestampMicros(r.dates[1]));
        row.column(12, 10);
        row.column(13, TimestampMicros(r.dates[2]));
        row.column(14, TimestampMicros(r.dates[3]));
        row.column(15, TimestampMicros(r.dates[4]));
        if (i % 3 != 0) row.column(16, Text{r.texts[4]});
        row.column(17, Text{r.texts[5]});
        row.column(18, Text{r.texts[6]});
        row.column(19, Text{"PF"});
        row.column(20, Text{r.texts[7]});
        row.column(21, Text{r.texts[8]});
        row.column(22, 99.9);
        row.column(23, Text{r.texts[9]});
        row.column(24, TimestampMicros(r.dates[5]));
        row.column(25, 2);
        row.column(26, Decimal{r.debt});
        row.column(27, TimestampMicros(r.dates[6]));
        row.column(28, Decimal{r.price});
        row.column(29, TimestampMicros(r.dates[7]));
        row.column(30, 0);
        row.column(31, TimestampNanos(1'709'214'330'123'456'768));
        enc.end_row(row, TimestampNanos(1'709'214'330'123'456'789));
        ++rows;
        // What auto flush does: the buffer is handed off every few MiB.
        if (enc.data().size() >= (4u << 20)) {
            bytes += static_cast<std::int64_t>(enc.data().size());
            enc.clear();
        }
    }
    state.SetItemsProcessed(rows);
    bytes += static_cast<std::int64_t>(enc.data().size());
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_EncodeCustomerRows);

}  // namespace
