#pragma once
// Rows given as name and value pairs, for tests whose rows each have columns of their own:
// the names become a shape for the one row, and the values go through its RowWriter.

#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

#include "ingress/row_writer.hpp"

namespace ingress_test {

using Column = std::pair<ingress::ColumnName, ingress::ColumnValue>;
using Columns = std::vector<Column>;

// `to` is a LineEncoder or a Sender.
template <class To>
void add_row(To& to, ingress::TableName table, std::span<const Column> columns,
             ingress::TimestampNanos at) {
    std::vector<ingress::ColumnName> names;
    for (const Column& c : columns) names.push_back(c.first);
    const ingress::RowShape shape(table, names);
    ingress::RowWriter row = to.begin_row(shape);
    for (std::size_t i = 0; i < columns.size(); ++i) row.column(i, columns[i].second);
    to.end_row(row, at);
}

template <class To>
void add_row(To& to, ingress::TableName table, std::initializer_list<Column> columns,
             ingress::TimestampNanos at) {
    add_row(to, table, std::span<const Column>(columns.begin(), columns.size()), at);
}

}  // namespace ingress_test
