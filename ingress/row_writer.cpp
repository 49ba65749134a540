#include "ingress/row_writer.hpp"

#include <string>

namespace ingress {

// A writer opens the column, then spells the value into it; a checker only runs the checks
// of the spelling.

template <RowMode Mode>
void BasicRow<Mode>::put_integer(std::size_t i, std::int64_t v) {
    if constexpr (writes) {
        char* p = open(i, wire::number_room);
        p = wire::put_int(p, v);
        *p++ = 'i';
        commit(p);
    }
}

template <RowMode Mode>
void BasicRow<Mode>::column(std::size_t i, double v) {
    if constexpr (writes) {
        char* p = open(i, wire::number_room);
        commit(wire::put_double(p, v, where(i)));
    } else {
        wire::check_double(v, where(i));
    }
}

template <RowMode Mode>
void BasicRow<Mode>::column(std::size_t i, Text v) {
    if constexpr (writes) {
        char* p = open(i, 2 * v.bytes.size() + 2);
        commit(wire::put_text(p, v.bytes, where(i)));
    } else {
        wire::check_text(v.bytes, where(i));
    }
}

template <RowMode Mode>
void BasicRow<Mode>::column(std::size_t i, Decimal v) {
    if constexpr (writes) {
        char* p = open(i, wire::number_room);
        commit(wire::put_decimal(p, v.bytes, where(i)));
    } else {
        wire::check_decimal(v.bytes, where(i));
    }
}

template <RowMode Mode>
void BasicRow<Mode>::column(std::size_t i, TimestampMicros v) {
    char* p = nullptr;
    if constexpr (writes) p = open(i, wire::number_room);
    // QuestDB refuses a time before the epoch in the designated timestamp column.
    if (v.as_i64() < 0 && i == shape_->designated()) [[unlikely]]
        throw column_error(ErrorCode::invalid_value, shape_->table(), shape_->column(i),
                           "a designated timestamp before 1970-01-01 cannot be stored");
    if constexpr (writes) commit(wire::put_micros(p, v));
}

template <RowMode Mode>
void BasicRow<Mode>::refuse_misuse(std::size_t i) const {
    if (!live() || spoilt_) {
        throw table_error(ErrorCode::invalid_api_call, shape_->table(),
                          "the row was ended, dropped or refused a value");
    }
    if (i >= shape_->size()) {
        throw table_error(
            ErrorCode::invalid_api_call, shape_->table(),
            "no column " + std::to_string(i) + " in a row of " + std::to_string(shape_->size()));
    }
    throw column_error(ErrorCode::invalid_api_call, shape_->table(), shape_->column(i),
                       "column given twice in one row");
}

template class BasicRow<RowMode::write>;
template class BasicRow<RowMode::check>;

}  // namespace ingress
