#include "ingress/row_shape.hpp"

#include "ingress/errors.hpp"

namespace ingress {
namespace {

// Only ' ' and '=' need a backslash in a validated name (',' is refused by validation).
std::string spelled(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 1);
    for (char c : name) {
        if (c == ' ' || c == '=') out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

RowShape::RowShape(TableName table, std::span<const ColumnName> columns,
                   std::string_view designated)
    : table_(table.view()), spelled_table_(spelled(table.view())) {
    if (columns.empty())
        throw IngressError(ErrorCode::invalid_name,
                           "table \"" + printable(table_) + "\": a row shape needs a column");
    names_.reserve(columns.size());
    spelled_.reserve(columns.size());
    for (const ColumnName& c : columns) {
        for (const std::string& earlier : names_) {
            if (earlier == c.view()) {
                throw IngressError(ErrorCode::invalid_name,
                                   "table \"" + printable(table_) + "\", column \"" +
                                       printable(c.view()) + "\": column given twice in one row");
            }
        }
        names_.emplace_back(c.view());
        spelled_.push_back(spelled(c.view()) + "=" + std::string(padding, '\0'));
    }
    designated_ = names_.size();
    if (designated.empty()) return;
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (names_[i] == designated) designated_ = i;
    if (designated_ == names_.size())
        throw IngressError(ErrorCode::invalid_name,
                           "table \"" + printable(table_) + "\", column \"" +
                               printable(designated) +
                               "\": the designated timestamp is not a column of the row");
}

}  // namespace ingress
