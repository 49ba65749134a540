#pragma once
// Rows given as values of any kind, for tests that keep rows in tables: a row of name and
// value pairs becomes a shape for that one row, and rows of one shape go to a sender in one
// write_rows call.

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "ingress/line_encoder.hpp"
#include "ingress/row_writer.hpp"
#include "ingress/sender.hpp"

namespace ingress_test {

// The column is left out of the row, so QuestDB stores its null there.
struct Null {
    bool operator==(const Null&) const = default;
};

// Any one of the kinds a column takes. A bool or a 64-bit unsigned number does not compile,
// as it does not for the writer.
class ColumnValue {
  public:
    using Variant = std::variant<Null, std::int64_t, double, ingress::Decimal, ingress::Text,
                                 ingress::TimestampMicros, ingress::TimestampNanos>;

    ColumnValue() noexcept : v_(Null{}) {}
    ColumnValue(Null) noexcept : v_(Null{}) {}
    template <std::signed_integral T>
    ColumnValue(T v) noexcept : v_(static_cast<std::int64_t>(v)) {}
    template <std::unsigned_integral T>
    requires(!std::same_as<T, bool> && sizeof(T) < sizeof(std::int64_t)) ColumnValue(T v)
    noexcept : v_(static_cast<std::int64_t>(v)) {}
    template <std::unsigned_integral T>
    requires(sizeof(T) >= sizeof(std::int64_t)) ColumnValue(T)
    = delete;
    ColumnValue(bool) = delete;
    ColumnValue(double v) noexcept : v_(v) {}
    ColumnValue(ingress::Text v) noexcept : v_(v) {}
    ColumnValue(ingress::Decimal v) noexcept : v_(v) {}
    ColumnValue(ingress::TimestampMicros v) noexcept : v_(v) {}
    ColumnValue(ingress::TimestampNanos v) noexcept : v_(v) {}

    const Variant& get() const noexcept { return v_; }
    bool is_null() const noexcept { return std::holds_alternative<Null>(v_); }

  private:
    Variant v_;
};

// Writes `v` into column `i` of `row`; a Null writes nothing.
template <class Row>
void put(Row& row, std::size_t i, const ColumnValue& v) {
    std::visit(
        [&](const auto& value) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(value)>, Null>)
                row.column(i, value);
        },
        v.get());
}

using Column = std::pair<ingress::ColumnName, ColumnValue>;
using Columns = std::vector<Column>;

inline void add_row(ingress::LineEncoder& to, ingress::TableName table,
                    std::span<const Column> columns, ingress::TimestampNanos at) {
    std::vector<ingress::ColumnName> names;
    for (const Column& c : columns) names.push_back(c.first);
    const ingress::RowShape shape(table, names);
    ingress::RowWriter row = to.begin_row(shape);
    for (std::size_t i = 0; i < columns.size(); ++i) put(row, i, columns[i].second);
    to.end_row(row, at);
}

inline void add_row(ingress::LineEncoder& to, ingress::TableName table,
                    std::initializer_list<Column> columns, ingress::TimestampNanos at) {
    add_row(to, table, std::span<const Column>(columns.begin(), columns.size()), at);
}

struct Row {
    std::vector<ColumnValue> values;  // one per column of the shape
    ingress::TimestampNanos at;
};

// The rows, all of `shape`, through one write_rows call.
inline void send_rows(ingress::Sender& sender, const ingress::RowShape& shape,
                      const std::vector<Row>& rows) {
    sender.write_rows(shape, rows.size(), [&](std::size_t r, ingress::RowWriter& row) {
        for (std::size_t i = 0; i < rows[r].values.size(); ++i) put(row, i, rows[r].values[i]);
        return rows[r].at;
    });
}

}  // namespace ingress_test
