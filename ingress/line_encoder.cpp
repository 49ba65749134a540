#include "ingress/line_encoder.hpp"

#include <algorithm>
#include <cstring>

#include "ingress/errors.hpp"
#include "ingress/row_writer.hpp"
#include "ingress/wire_spelling.hpp"

namespace ingress {

void LineEncoder::grow(std::size_t size) {
    buf_.resize(std::max(size, 2 * buf_.size()));
}

RowWriter LineEncoder::begin_row(const RowShape& shape) {
    if (row_open_) {
        throw table_error(ErrorCode::invalid_api_call, shape.table(),
                          "a row is still being written");
    }
    written_.assign((shape.size() + 63) / 64, 0);
    ++row_id_;
    const std::string_view table = shape.spelled_table();
    reserve_at(len_, table.size());
    std::memcpy(buf_.data() + len_, table.data(), table.size());
    row_open_ = true;
    return RowWriter(*this, shape);
}

void LineEncoder::end_row(RowWriter& row, TimestampNanos at) {
    if (row.encoder_ != this || !row.live() || row.spoilt_) {
        throw table_error(ErrorCode::invalid_api_call, row.shape_->table(),
                          "the row cannot be ended (another encoder's, ended already, or "
                          "refused a value)");
    }
    if (!row.any_) {
        throw table_error(ErrorCode::invalid_value, row.shape_->table(),
                          "a row needs at least one non-null column");
    }
    reserve_at(row.pos_, wire::number_room + 2);
    char* const start = buf_.data() + row.pos_;
    char* p = start;
    *p++ = ' ';
    p = wire::put_int(p, at.as_i64());
    *p++ = '\n';
    len_ = row.pos_ + static_cast<std::size_t>(p - start);
    ++rows_;
    row_open_ = false;
    ++row_id_;
}

}  // namespace ingress
