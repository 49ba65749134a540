#pragma once
// Encodes rows as InfluxDB line protocol, the way QuestDB reads it, into one reusable
// buffer. A row is all or nothing: when any value is refused the buffer is cut back to
// where the row began, so a failed row() leaves no half line behind.
//
// Wire form of each value kind (the server-side result of each is covered by the
// integration tests):
//   Null            column left out of the line
//   int64           123i
//   double          shortest round-trip text, always with '.' or an exponent: 1.0, 0.1,
//                   1e+22; NaN and infinities are refused
//   Decimal         validated digits -> nearest double -> as double
//   Text            "..." with  "  \  LF  CR  preceded by a backslash
//   LocalDateTime   microseconds since the epoch through the local zone, suffix t
//   TimestampMicros microseconds, suffix t
//   TimestampNanos  microseconds (rounded down), suffix t
//   row time        nanoseconds, no suffix (the request asks for precision=n)

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ingress/column_value.hpp"
#include "ingress/local_time.hpp"
#include "ingress/names.hpp"
#include "ingress/timestamp.hpp"

namespace ingress {

class LineEncoder {
  public:
    // Appends one line. Throws IngressError naming the table and column for a refused
    // value (invalid UTF-8, NUL byte in a text, NaN, malformed decimal, impossible date),
    // for a row whose columns are all null, and for a column named twice.
    void add_row(TableName table, std::span<const Column> columns, TimestampNanos at);
    void add_row(TableName table, std::initializer_list<Column> columns, TimestampNanos at) {
        add_row(table, std::span<const Column>(columns.begin(), columns.size()), at);
    }

    std::string_view data() const noexcept { return {buf_.data(), len_}; }
    std::size_t rows() const noexcept { return rows_; }
    // Forgets the rows but keeps the buffer's capacity.
    void clear() noexcept {
        len_ = 0;
        rows_ = 0;
    }

  private:
    char* put_value(char* p, std::string_view table, std::string_view column,
                    const ColumnValue& value);
    bool names_known_distinct(std::span<const Column> columns);

    // Rows are written through a raw cursor into room made in advance; buf_.size() is the
    // room, len_ the part in use.
    std::string buf_;
    std::size_t len_ = 0;
    std::size_t rows_ = 0;
    LocalTimeConverter local_time_;
    // Copies of the names of the last row checked for repeats: the caller may reuse a
    // name's storage for another name, so an address proves nothing.
    std::vector<std::string> last_names_;
};

}  // namespace ingress
