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
#include "discovery/entry.hpp"
#include "ingress/column_value.hpp"
#include "ingress/line_encoder.hpp"
#include "ingress/row_shape.hpp"
#include "source/value.hpp"
#include "store/schema.hpp"

namespace tessim {

// The local wall clock to the microsecond, turned back into epoch seconds through the local
// time zone as a double, times 1e9, truncated: nanoseconds with a double's precision.
std::int64_t get_timestamp();

// "http::addr=IP:PORT;username=...;password=...;" for the sender.
std::string configuracao_sender(std::string_view quest_db_ip, std::string_view quest_db_port);

// A value that cannot reach its column without changing: thrown for the contract and column
// it names, and not an ingestion failure (nothing the server said caused it).
class ConversaoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The form of `valor` that a column declared as `tipo` (QuestDB's type name, as SHOW COLUMNS
// gives it) accepts, when the conversion is exact: an integer for a STRING or SYMBOL column
// as its decimal text, a text holding a decimal integer for an INT column as that integer,
// and so on. QuestDB refuses a whole write for one value of the wrong kind, and stores an
// out-of-range integer as null, so anything that cannot be converted exactly throws
// ConversaoError; a date that is no calendar time throws ingress::IngressError. Texts made
// here live in `scratch`, which must outlive the row.
ingress::ColumnValue valor_para_coluna(const Value& valor, std::string_view tipo,
                                       std::string& scratch);

// What writing the rows of one call needs once: the declared type of each of the 32 columns
// (the re-check's answer over the catalogue), what each type means for the conversion, the
// row shape (table and column names, checked once), where each column's value sits in an
// entry, and the run timestamp; and the local clock for dates that still need the zone.
struct MontagemLinha {
    std::array<std::string, kColumnCount> declarado;
    std::array<std::uint8_t, kColumnCount> familia{};
    std::array<std::int64_t, kColumnCount> minimo{}, maximo{};
    std::array<std::size_t, kColumnCount - 1> indices{};
    std::int64_t timestamp = 0;
    ingress::RowShape forma;
    // Remembers the zone's offsets as it converts; writing a row changes nothing else here.
    mutable LocalClock relogio;
};

// `existentes` are the (name, type) pairs of SHOW COLUMNS; columns it lacks take the
// catalogue's type.
MontagemLinha prepara_linhas(const std::vector<std::pair<std::string, std::string>>& existentes,
                             std::int64_t timestamp);

// Writes the 32 column values of one entry into `linha` (a row of `m.forma`), in the order
// they are handed over, each in the form its column accepts (valor_para_coluna); null values
// are left out. Throws ConversaoError naming the contract and the column; a value the client
// refuses (ill-formed UTF-8, a NUL byte) throws its IngressError, naming the contract too.
// `linha` is an ingress::RowWriter, which writes the row, or an ingress::RowChecker, which
// only judges it: both passes go through these same conversions.
template <class Linha>
void escreve_linha(const MontagemLinha& m, const DiscoveryEntry& contrato, Linha& linha);
extern template void escreve_linha(const MontagemLinha&, const DiscoveryEntry&,
                                   ingress::RowWriter&);
extern template void escreve_linha(const MontagemLinha&, const DiscoveryEntry&,
                                   ingress::RowChecker&);

// Every entry judged as a row of the columns `declaradas` (SHOW COLUMNS pairs, as for
// prepara_linhas) would be written: the same conversions and the same refusals as the rows
// that are sent, with nothing written and nothing sent. The first value that cannot be
// stored gets its "Erro: " line on standard error (naming the contract and the column) and
// the answer false. This runs before the table is touched, so that one bad value does not
// leave it emptied.
bool confereValores(const DescobertaClientesDB& lista,
                    const std::vector<std::pair<std::string, std::string>>& declaradas);

enum class Ingestao {
    entregue,  // every row accepted (or nothing to write)
    falhou,    // the rows did not all arrive; the "Erro: " line is on standard error
};

// The ingestion phase: takes the run timestamp, re-checks the columns through `consulta`,
// and writes every entry with one sender made from `conf_sender`. An ingestion failure or a
// value that does not fit its column is reported on standard error and returned; every
// other failure (no "dataset" in the re-check) throws.
Ingestao faseIngestao(const DescobertaClientesDB& lista, const ConsultaQuestDB& consulta,
                      const std::string& conf_sender);

}  // namespace tessim
