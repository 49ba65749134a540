#pragma once
// The ingestion phase of the store writer: one row per discovery entry into tessimClientes,
// through the line-protocol client, after a last look at the table's columns.

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/clock.hpp"
#include "core/fields.hpp"
#include "ingress/column_value.hpp"
#include "ingress/row_shape.hpp"
#include "ingress/row_writer.hpp"
#include "source/customer_record.hpp"
#include "source/value.hpp"
#include "store/column_conversion.hpp"
#include "store/schema.hpp"

namespace tessim {

// The local wall clock to the microsecond, turned back into epoch seconds through the local
// time zone as a double, times 1e9, truncated: nanoseconds with a double's precision.
std::int64_t get_timestamp();

// "http::addr=IP:PORT;username=...;password=...;" for the sender.
std::string sender_conf(std::string_view quest_db_ip, std::string_view quest_db_port);

// What writing the rows of one call needs once: the declared type of each column
// (the re-check's answer over the field table's), what each type means for the conversion, the
// row shape (table and column names, checked once) and the run timestamp; and the local clock
// for dates that still need the zone.
struct RowPlan {
    std::array<std::string, kColumnCount> declared;
    std::array<std::uint8_t, kColumnCount> family{};
    std::array<std::int64_t, kColumnCount> minimum{}, maximum{};
    std::int64_t timestamp = 0;
    ingress::RowShape shape;
    // Remembers the zone's offsets as it converts; writing a row changes nothing else here.
    mutable LocalClock clock;
};

// `declared` are the (name, type) pairs of SHOW COLUMNS; columns it lacks take the type
// the creation statement gives them.
RowPlan plan_rows(const std::vector<std::pair<std::string, std::string>>& declared,
                  std::int64_t timestamp);

// Writes the column values of one contract into `row` (a row of `plan.shape`), in the
// order they are handed over, each in the form its column accepts (convert_for); null values
// are left out. A value that does not fit throws ValueRefused naming the contract and the
// column, whoever refused it: the column's type, the local clock or the client (ill-formed
// UTF-8, a NUL byte). `row` is an ingress::RowWriter, which writes the row, or an
// ingress::RowChecker, which only judges it: both passes go through these same conversions.
template <class Row>
void write_row(const RowPlan& plan, const CustomerRecord& contract, Row& row);
extern template void write_row(const RowPlan&, const CustomerRecord&, ingress::RowWriter&);
extern template void write_row(const RowPlan&, const CustomerRecord&, ingress::RowChecker&);

// Every contract judged as a row of the columns `declared` (SHOW COLUMNS pairs, as for
// plan_rows) would be written: the same conversions and the same refusals as the rows
// that are sent, with nothing written and nothing sent. The first value that cannot be
// stored throws ValueRefused. This runs before the table is touched, so that one bad value
// does not leave it emptied.
void check_values(std::span<const CustomerRecord> contracts,
                  const std::vector<std::pair<std::string, std::string>>& declared);

// The ingestion phase: takes the run timestamp, re-checks the columns through `query`, and
// writes every contract with one sender made from `sender_conf`. A value that does not fit
// throws ValueRefused, rows QuestDB does not take RowsRefused, a re-check answer that is
// absent or without "dataset" (the table is missing) QueryEndpointFailure.
void ingestion_phase(std::span<const CustomerRecord> contracts, const QuestDbQuery& query,
                     const std::string& sender_conf);

}  // namespace tessim
