#include "store/ingestion.hpp"

#include <sys/time.h>

#include <array>
#include <ctime>
#include <optional>
#include <system_error>

#include "core/failure.hpp"
#include "ingress/errors.hpp"
#include "ingress/sender.hpp"
#include "store/printed_form.hpp"
#include "store/run_query.hpp"

namespace tessim {
namespace {

using Json = nlohmann::ordered_json;

std::string service_id(const DiscoveryEntry& contrato) {
    const Value& id = contrato[idServico];
    if (id.kind() == Kind::integer) return std::to_string(id.integer());
    return describe(id);
}

// The one place where a value the table cannot take, or QuestDB refusing the rows, becomes
// the run's failure: the "Erro: " line.
template <class Work>
void failing_as_store(Work&& work) {
    try {
        work();
    } catch (const ConversionError& e) {
        throw StoreFailure(e.what());
    } catch (const ingress::IngressError& e) {
        throw StoreFailure(e.what());
    }
}

}  // namespace

std::int64_t get_timestamp() {
    timeval agora{};
    gettimeofday(&agora, nullptr);
    std::tm local{};
    if (!localtime_r(&agora.tv_sec, &local))
        throw std::system_error(errno, std::generic_category(), "localtime");
    // Back through the local time zone. The daylight-saving flag that localtime gave is
    // kept, so that the repeated hour at the end of summer time maps back to the instant
    // it came from and not to the other one.
    const std::time_t seconds = std::mktime(&local);
    const double epoch =
        static_cast<double>(seconds) + static_cast<double>(agora.tv_usec) / 1000000.0;
    return static_cast<std::int64_t>(epoch * 1000000000.0);
}

std::string sender_conf(std::string_view quest_db_ip, std::string_view quest_db_port) {
    std::string conf = "http::addr=";
    conf.append(quest_db_ip).append(":").append(quest_db_port);
    conf.append(";username=").append(kQuestDbUser);
    conf.append(";password=").append(kQuestDbPassword).append(";");
    return conf;
}

namespace {

ingress::RowShape row_shape() {
    std::vector<ingress::ColumnName> nomes;
    nomes.reserve(kColumnCount);
    for (const std::size_t f : kRowOrder) nomes.emplace_back(kFields[f].column);
    nomes.emplace_back(kRunTimestampColumn);
    return ingress::RowShape(kTable, nomes, kDesignatedColumn);
}

}  // namespace

RowPlan plan_rows(const std::vector<std::pair<std::string, std::string>>& existentes,
                  std::int64_t timestamp) {
    RowPlan m{.declared = {},
              .family = {},
              .minimum = {},
              .maximum = {},
              .timestamp = timestamp,
              .shape = row_shape(),
              .clock = {}};
    // Declared type of every column we write: what the table says, else the one the
    // creation statement gives it.
    for (std::size_t i = 0; i < kFieldCount; ++i)
        m.declared[i] = std::string(type_of(kFields[kRowOrder[i]].clause));
    m.declared[kFieldCount] = std::string(type_of(kRunTimestampClause));
    for (const auto& [nome, tipo] : existentes)
        for (std::size_t i = 0; i < kColumnCount; ++i)
            if (m.shape.column(i) == nome) m.declared[i] = tipo;
    for (std::size_t i = 0; i < kColumnCount; ++i) {
        m.family[i] = static_cast<std::uint8_t>(family_of(m.declared[i]));
        const IntRange faixa = int_range(m.declared[i]).value_or(IntRange{0, 0});
        m.minimum[i] = faixa.min;
        m.maximum[i] = faixa.max;
    }
    return m;
}

template <class Linha>
void write_row(const RowPlan& m, const DiscoveryEntry& contrato, Linha& linha) {
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const Value& valor = contrato[kRowOrder[i]];
        if (valor.is_null()) continue;
        auto poe = [&](auto forma) {
            if constexpr (std::is_same_v<decltype(forma), MadeText>) {
                linha.column(i, ingress::Text{forma.bytes});
            } else if constexpr (std::is_same_v<decltype(forma), LocalWallTime>) {
                std::int64_t micros = 0;
                try {
                    micros = local_micros(forma.t, m.clock);
                } catch (const ingress::IngressError& e) {
                    throw ingress::IngressError(
                        e.code(), "table \"" + ingress::printable(m.shape.table()) +
                                      "\", column \"" + ingress::printable(m.shape.column(i)) +
                                      "\": " + e.what());
                }
                linha.column(i, ingress::TimestampMicros(micros));
            } else {
                linha.column(i, forma);
            }
        };
        try {
            if (!convert_for(valor, static_cast<Family>(m.family[i]),
                             IntRange{m.minimum[i], m.maximum[i]}, poe))
                does_not_fit(valor, m.declared[i]);
        } catch (const ConversionError& e) {
            throw ConversionError("contrato idServico=" + service_id(contrato) + ", coluna " +
                                  std::string(m.shape.column(i)) + ": " + e.what());
        } catch (const ingress::IngressError& e) {
            // A value the client refuses before the wire (a NUL byte, ill-formed UTF-8)
            // names its column; the operator also needs the contract to mend it.
            throw ingress::IngressError(
                e.code(), "contrato idServico=" + service_id(contrato) + ": " + e.what());
        }
    }
    // The run's time as a time value: an integer would be read as microseconds.
    linha.column(kFieldCount, ingress::TimestampNanos(m.timestamp));
}

template void write_row(const RowPlan&, const DiscoveryEntry&, ingress::RowWriter&);
template void write_row(const RowPlan&, const DiscoveryEntry&, ingress::RowChecker&);

void check_values(const DiscoveryList& lista,
                  const std::vector<std::pair<std::string, std::string>>& declaradas) {
    failing_as_store([&] {
        const RowPlan montagem = plan_rows(declaradas, 0);
        ingress::RowChecker linha(montagem.shape);
        for (const DiscoveryEntry& contrato : lista.entries) write_row(montagem, contrato, linha);
    });
}

void ingestion_phase(const DiscoveryList& lista, const QuestDbQuery& consulta,
                     const std::string& conf_sender) {
    const std::int64_t timestamp = get_timestamp();
    // A conversion failure here means a column's declared type changed since check_values
    // looked.
    failing_as_store([&] {
        const std::optional<Json> lista_colunas = consulta(std::string(kShowColumns));
        if (!lista_colunas)
            throw std::runtime_error("sem resposta a SHOW COLUMNS na verificação final");
        // Missing "dataset" (the table is still missing) is not an ingestion failure: it
        // throws through, and nothing is written.
        if (lista_colunas->at("dataset").empty()) return;

        const RowPlan montagem = plan_rows(existing_columns(*lista_colunas), timestamp);

        auto sender = ingress::Sender::from_conf(conf_sender);
        sender.write_rows(montagem.shape, lista.entries.size(),
                          [&](std::size_t i, ingress::RowWriter& linha) {
                              write_row(montagem, lista.entries[i], linha);
                              return ingress::TimestampNanos::now();
                          });
        sender.close();
    });
}

}  // namespace tessim
