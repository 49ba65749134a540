#pragma once
// A table and its columns, fixed in advance for rows written column by column.
//
// A caller that writes millions of rows of the same columns should not pay for the names on
// every row: the shape checks them once (each a valid name, no name twice, since QuestDB
// silently keeps the first of two same-named fields of a line) and keeps their line-protocol
// spelling ready, so a row only copies bytes that are known to be right.

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ingress/names.hpp"

namespace ingress {

class RowShape {
  public:
    // `designated` names the column that QuestDB keeps as the table's designated timestamp,
    // if the rows carry it: it refuses a time before the epoch there (with an error for the
    // whole request), so rows of this shape refuse it as they are written. Throws
    // IngressError(invalid_name) when a column is named twice, no column is given, or
    // `designated` is not one of them.
    RowShape(TableName table, std::span<const ColumnName> columns,
             std::string_view designated = {});
    RowShape(TableName table, std::initializer_list<ColumnName> columns,
             std::string_view designated = {})
        : RowShape(table, std::span<const ColumnName>(columns.begin(), columns.size()),
                   designated) {}

    std::size_t size() const noexcept { return names_.size(); }
    std::string_view table() const noexcept { return table_; }
    std::string_view column(std::size_t i) const noexcept { return names_[i]; }
    // Index of the designated timestamp column; size() when there is none.
    std::size_t designated() const noexcept { return designated_; }

    // The escaped table name, and the escaped column name followed by '='.
    std::string_view spelled_table() const noexcept { return spelled_table_; }
    std::string_view spelled_column(std::size_t i) const noexcept {
        return {spelled_[i].data(), spelled_[i].size() - padding};
    }
    // Every spelled column name is followed by at least this many readable bytes past its
    // end, so that a short name can be copied as one fixed-size block.
    static constexpr std::size_t padding = 32;

  private:
    // Copies: the shape outlives whatever the names were made from.
    std::string table_;
    std::string spelled_table_;
    std::vector<std::string> names_;
    std::vector<std::string> spelled_;  // each followed by `padding` zero bytes
    std::size_t designated_ = 0;
};

}  // namespace ingress
