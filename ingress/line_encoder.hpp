#pragma once
// Rows of line protocol, the way QuestDB reads them, in one reusable buffer. A row is begun
// for a RowShape made in advance, its columns go straight into the buffer through the
// RowWriter that begin_row() hands out (row_writer.hpp), and end_row() completes it. A row is
// all or nothing: one that is dropped or refuses a value leaves the buffer as it was before
// the row began. How each value is spelled is wire_spelling.hpp's business.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ingress/row_shape.hpp"
#include "ingress/timestamp.hpp"

namespace ingress {

enum class RowMode { write, check };
template <RowMode Mode>
class BasicRow;
using RowWriter = BasicRow<RowMode::write>;

class LineEncoder {
  public:
    // Starts a row of `shape` at the end of the buffer. Only one row may be open at a time:
    // throws IngressError(invalid_api_call) while another RowWriter of this encoder lives.
    // The encoder must outlive the writer, and nothing else may be added until the row is
    // ended or dropped.
    RowWriter begin_row(const RowShape& shape);
    // Completes the row with its time. Throws IngressError(invalid_value) for a row with no
    // column written (QuestDB refuses a line without fields) and IngressError
    // (invalid_api_call) for a writer of another encoder, one already ended, or one spoilt
    // by a refused value.
    void end_row(RowWriter& row, TimestampNanos at);

    std::string_view data() const noexcept { return {buf_.data(), len_}; }
    std::size_t rows() const noexcept { return rows_; }
    // Forgets the rows but keeps the buffer's capacity. A row being written is dropped:
    // its writer can no longer be used.
    void clear() noexcept {
        len_ = 0;
        rows_ = 0;
        row_open_ = false;
        ++row_id_;
    }

  private:
    template <RowMode>
    friend class BasicRow;
    // Makes sure the buffer has `room` bytes beyond `pos`.
    void reserve_at(std::size_t pos, std::size_t room) {
        if (pos + room > buf_.size()) [[unlikely]]
            grow(pos + room);
    }
    void grow(std::size_t size);

    // Rows are written through a raw cursor into room made in advance; buf_.size() is the
    // room, len_ the part in use.
    std::string buf_;
    std::size_t len_ = 0;
    std::size_t rows_ = 0;
    // The columns the open row has written, a bit each.
    std::vector<std::uint64_t> written_;
    bool row_open_ = false;
    // Tells the open row's writer from writers of rows dropped by clear().
    std::uint64_t row_id_ = 0;
};

}  // namespace ingress
