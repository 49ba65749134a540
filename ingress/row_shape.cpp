#include "ingress/row_shape.hpp"

#include "ingress/errors.hpp"
#include "ingress/wire_spelling.hpp"

namespace ingress {

RowShape::RowShape(TableName table, std::span<const ColumnName> columns,
                   std::string_view designated)
    : table_(table.view()), spelled_table_(wire::spelled_name(table.view())) {
    if (columns.empty())
        throw table_error(ErrorCode::invalid_name, table_, "a row shape needs a column");
    names_.reserve(columns.size());
    spelled_.reserve(columns.size());
    for (const ColumnName& c : columns) {
        for (const std::string& earlier : names_) {
            if (earlier == c.view()) {
                throw column_error(ErrorCode::invalid_name, table_, c.view(),
                                   "column given twice in one row");
            }
        }
        names_.emplace_back(c.view());
        spelled_.push_back(wire::spelled_name(c.view()) + "=" + std::string(padding, '\0'));
    }
    designated_ = names_.size();
    if (designated.empty()) return;
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (names_[i] == designated) designated_ = i;
    if (designated_ == names_.size())
        throw column_error(ErrorCode::invalid_name, table_, designated,
                           "the designated timestamp is not a column of the row");
}

}  // namespace ingress
