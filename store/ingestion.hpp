#pragma once
// The ingestion phase of the store writer: one row per discovery entry into tessimClientes,
// through the line-protocol client, after a last look at the table's columns.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/clock.hpp"
#include "core/fields.hpp"
#include "discovery/discovery_list.hpp"
#include "ingress/column_value.hpp"
#include "ingress/row_writer.hpp"
#include "ingress/row_shape.hpp"
#include "source/value.hpp"
#include "store/column_conversion.hpp"
#include "store/schema.hpp"

namespace tessim {

// The local wall clock to the microsecond, turned back into epoch seconds through the local
// time zone as a double, times 1e9, truncated: nanoseconds with a double's precision.
std::int64_t get_timestamp();

// "http::addr=IP:PORT;username=...;password=...;" for the sender.
std::string sender_conf(std::string_view quest_db_ip, std::string_view quest_db_port);

// What writing the rows of one call needs once: the declared type of each of the 32 columns
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

// `existentes` are the (name, type) pairs of SHOW COLUMNS; columns it lacks take the type
// the creation statement gives them.
RowPlan plan_rows(const std::vector<std::pair<std::string, std::string>>& existentes,
                  std::int64_t timestamp);

// Writes the 32 column values of one entry into `linha` (a row of `m.shape`), in the order
// they are handed over, each in the form its column accepts (convert_for); null values
// are left out. Throws ConversionError naming the contract and the column; a value the client
// refuses (ill-formed UTF-8, a NUL byte) throws its IngressError, naming the contract too.
// `linha` is an ingress::RowWriter, which writes the row, or an ingress::RowChecker, which
// only judges it: both passes go through these same conversions.
template <class Linha>
void write_row(const RowPlan& m, const DiscoveryEntry& contrato, Linha& linha);
extern template void write_row(const RowPlan&, const DiscoveryEntry&, ingress::RowWriter&);
extern template void write_row(const RowPlan&, const DiscoveryEntry&, ingress::RowChecker&);

// Every entry judged as a row of the columns `declaradas` (SHOW COLUMNS pairs, as for
// plan_rows) would be written: the same conversions and the same refusals as the rows
// that are sent, with nothing written and nothing sent. The first value that cannot be
// stored throws StoreFailure naming the contract and the column. This runs before the table
// is touched, so that one bad value does not leave it emptied.
void check_values(const DiscoveryList& lista,
                  const std::vector<std::pair<std::string, std::string>>& declaradas);

// The ingestion phase: takes the run timestamp, re-checks the columns through `consulta`,
// and writes every entry with one sender made from `conf_sender`. An ingestion failure or a
// value that does not fit its column throws StoreFailure; every other failure (no "dataset"
// in the re-check) throws as it is.
void ingestion_phase(const DiscoveryList& lista, const QuestDbQuery& consulta,
                     const std::string& conf_sender);

}  // namespace tessim
