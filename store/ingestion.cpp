#include "store/ingestion.hpp"

#include <sys/time.h>

#include <array>
#include <cstring>
#include <ctime>
#include <optional>
#include <span>

#include "core/failure.hpp"
#include "ingress/errors.hpp"
#include "ingress/sender.hpp"
#include "store/printed_form.hpp"
#include "store/run_query.hpp"

namespace tessim {
namespace {

using Json = nlohmann::ordered_json;

std::string service_id(const CustomerRecord& contract) {
    const Value& id = contract[idServico];
    if (id.kind() == Kind::integer) return std::to_string(id.integer());
    return describe(id);
}

// The one place where the line-protocol client's refusal becomes the run's failure: of a
// value, while a contract's column was handed over, or of the rows otherwise.
[[noreturn]] void client_refused(const ingress::IngressError& e, const CustomerRecord* contract,
                                 std::string_view column = {}) {
    if (contract == nullptr) throw RowsRefused(e.what());
    throw ValueRefused(ValueRefused::By::client, service_id(*contract), std::string(column),
                       e.what());
}

}  // namespace

std::int64_t get_timestamp() {
    timeval now{};
    gettimeofday(&now, nullptr);
    std::tm local{};
    if (!localtime_r(&now.tv_sec, &local))
        throw SystemFailure(std::string("localtime: ") + std::strerror(errno));
    // Back through the local time zone. The daylight-saving flag that localtime gave is
    // kept, so that the repeated hour at the end of summer time maps back to the instant
    // it came from and not to the other one.
    const std::time_t seconds = std::mktime(&local);
    const double epoch =
        static_cast<double>(seconds) + static_cast<double>(now.tv_usec) / 1000000.0;
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
    std::vector<ingress::ColumnName> names;
    names.reserve(kColumnCount);
    for (const std::size_t f : kRowOrder) names.emplace_back(kFields[f].column);
    names.emplace_back(kRunTimestampColumn);
    return ingress::RowShape(kTable, names, kDesignatedColumn);
}

}  // namespace

RowPlan plan_rows(const std::vector<std::pair<std::string, std::string>>& declared,
                  std::int64_t timestamp) {
    RowPlan plan{.declared = {},
                 .family = {},
                 .minimum = {},
                 .maximum = {},
                 .timestamp = timestamp,
                 .shape = row_shape(),
                 .clock = {}};
    // Declared type of every column we write: what the table says, else the one the
    // creation statement gives it.
    for (std::size_t i = 0; i < kFieldCount; ++i)
        plan.declared[i] = std::string(type_of(kFields[kRowOrder[i]].clause));
    plan.declared[kFieldCount] = std::string(type_of(kRunTimestampClause));
    for (const auto& [name, type] : declared)
        for (std::size_t i = 0; i < kColumnCount; ++i)
            if (plan.shape.column(i) == name) plan.declared[i] = type;
    for (std::size_t i = 0; i < kColumnCount; ++i) {
        plan.family[i] = static_cast<std::uint8_t>(family_of(plan.declared[i]));
        const IntRange range = int_range(plan.declared[i]).value_or(IntRange{0, 0});
        plan.minimum[i] = range.min;
        plan.maximum[i] = range.max;
    }
    return plan;
}

template <class Row>
void write_row(const RowPlan& plan, const CustomerRecord& contract, Row& row) {
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const Value& value = contract[kRowOrder[i]];
        if (value.is_null()) continue;
        auto put = [&](auto form) {
            if constexpr (std::is_same_v<decltype(form), MadeText>) {
                row.column(i, ingress::Text{form.bytes});
            } else if constexpr (std::is_same_v<decltype(form), LocalWallTime>) {
                row.column(i, ingress::TimestampMicros(local_micros(form.t, plan.clock)));
            } else {
                row.column(i, form);
            }
        };
        try {
            if (!convert_for(value, static_cast<Family>(plan.family[i]),
                             IntRange{plan.minimum[i], plan.maximum[i]}, put))
                does_not_fit(value, plan.declared[i]);
        } catch (const ValueRefused& e) {
            // The conversions know the value only; the operator needs the contract and the
            // column to mend it.
            throw ValueRefused(e.by(), service_id(contract), std::string(plan.shape.column(i)),
                               e.what());
        } catch (const ingress::IngressError& e) {
            client_refused(e, &contract, plan.shape.column(i));
        }
    }
    // The run's time as a time value: an integer would be read as microseconds.
    row.column(kFieldCount, ingress::TimestampNanos(plan.timestamp));
}

template void write_row(const RowPlan&, const CustomerRecord&, ingress::RowWriter&);
template void write_row(const RowPlan&, const CustomerRecord&, ingress::RowChecker&);

void check_values(std::span<const CustomerRecord> contracts,
                  const std::vector<std::pair<std::string, std::string>>& declared) {
    try {
        const RowPlan plan = plan_rows(declared, 0);
        ingress::RowChecker row(plan.shape);
        for (const CustomerRecord& contract : contracts) write_row(plan, contract, row);
    } catch (const ingress::IngressError& e) {
        client_refused(e, nullptr);
    }
}

void ingestion_phase(std::span<const CustomerRecord> contracts, const QuestDbQuery& query,
                     const std::string& sender_conf) {
    const std::int64_t timestamp = get_timestamp();
    const std::optional<Json> lista_colunas = query(std::string(kShowColumns));
    if (!lista_colunas)
        throw QueryEndpointFailure("sem resposta a SHOW COLUMNS na verificação final");
    // Without "dataset" the table is still missing, and nothing is written.
    if (!lista_colunas->is_object() || !lista_colunas->contains("dataset"))
        throw QueryEndpointFailure(
            "resposta de SHOW COLUMNS sem \"dataset\" na verificação final: a tabela não existe");
    if (lista_colunas->at("dataset").empty()) return;

    // A refused value here means a column's declared type changed since check_values looked.
    try {
        const RowPlan plan = plan_rows(existing_columns(*lista_colunas), timestamp);
        auto sender = ingress::Sender::from_conf(sender_conf);
        sender.write_rows(plan.shape, contracts.size(),
                          [&](std::size_t i, ingress::RowWriter& row) {
                              write_row(plan, contracts[i], row);
                              return ingress::TimestampNanos::now();
                          });
        sender.close();
    } catch (const ingress::IngressError& e) {
        client_refused(e, nullptr);
    }
}

}  // namespace tessim
