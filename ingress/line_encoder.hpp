#pragma once
// Encodes rows as InfluxDB line protocol, the way QuestDB reads it, into one reusable
// buffer. A row is all or nothing: when any value is refused the buffer is cut back to
// where the row began, so a failed row() leaves no half line behind.
//
// Two ways to write a row: add_row() takes all of its columns at once, as name and value
// pairs; begin_row() hands out a RowWriter for a RowShape made in advance, whose columns are
// then written one at a time straight into the buffer, and end_row() completes it. The
// second is for long runs of rows of the same columns: no names are looked at per row and
// no value passes through a ColumnValue.
//
// Wire form of each value kind (the server-side result of each is covered by the
// integration tests):
//   Null            column left out of the line
//   int64           123i
//   double          shortest round-trip text, always with '.' or an exponent: 1.0, 0.1,
//                   1e+22; NaN and infinities are refused
//   Decimal         validated digits -> nearest double -> as double
//   Text            "..." with  "  \  LF  CR  preceded by a backslash
//   TimestampMicros microseconds, suffix t
//   TimestampNanos  microseconds (rounded down), suffix t
//   row time        nanoseconds, no suffix (the request asks for precision=n)

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ingress/column_value.hpp"
#include "ingress/errors.hpp"
#include "ingress/names.hpp"
#include "ingress/row_shape.hpp"
#include "ingress/timestamp.hpp"

namespace ingress {

class LineEncoder;

// One row being written into a LineEncoder; see LineEncoder::begin_row. Each column of the
// shape is written at most once, in any order (the wire keeps the order of the calls);
// columns not written are left out, so QuestDB stores null for them. A value the encoder
// refuses throws IngressError naming the table and column, as add_row does (and so does a
// time before the epoch in the shape's designated timestamp column); the row is then spoilt
// and is never completed, but the rows before it are untouched.
class RowWriter {
  public:
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;
    // A row not ended is dropped: none of its bytes count.
    ~RowWriter();

    template <std::signed_integral T>
    void column(std::size_t i, T v) {
        put_integer(i, v);
    }
    template <std::unsigned_integral T>
    requires(!std::same_as<T, bool> && sizeof(T) < sizeof(std::int64_t)) void column(std::size_t i,
                                                                                     T v) {
        put_integer(i, v);
    }
    void column(std::size_t i, double v);
    void column(std::size_t i, Text v);
    void column(std::size_t i, Decimal v);
    void column(std::size_t i, TimestampMicros v);
    void column(std::size_t i, TimestampNanos v);
    // Leaves the column out; it may not be written later in the row.
    void column(std::size_t i, Null);
    // Any kind; Null leaves the column out as above.
    void column(std::size_t i, const ColumnValue& v);
    // As for ColumnValue: nothing is encoded by an accident of C++ conversions.
    void column(std::size_t, bool) = delete;
    template <std::unsigned_integral T>
    requires(sizeof(T) >= sizeof(std::int64_t)) void column(std::size_t, T) = delete;
    void column(std::size_t, long double) = delete;

  private:
    friend class LineEncoder;
    RowWriter(LineEncoder& encoder, const RowShape& shape);
    void put_integer(std::size_t i, std::int64_t v);
    // Checks that column i exists and has not been written yet, and marks it written.
    void mark(std::size_t i);
    // mark(), then room for the separator, the name and `room` bytes of value: returns where
    // the value goes.
    char* open(std::size_t i, std::size_t room);
    void commit(char* end);
    // This writer's row is the encoder's open row.
    bool live() const noexcept;
    [[noreturn]] void refuse(std::size_t i, ErrorCode code, const std::string& why) const;
    // Why column i cannot be written now.
    [[noreturn]] void refuse_misuse(std::size_t i) const;

    LineEncoder* encoder_;
    const RowShape* shape_;
    std::uint64_t id_;
    std::size_t pos_;  // end of the row's bytes so far
    bool any_ = false;
    bool spoilt_ = false;
};

// Judges the values of rows of one shape as RowWriter::column would write them, with the
// same refusals and messages (the same code refuses them), but writes nothing: for checking
// every row before any is sent. Integers and nulls are never refused. One checker serves any
// number of rows; it keeps its own local-time converter.
class RowChecker {
  public:
    explicit RowChecker(const RowShape& shape) : shape_(&shape) {}

    template <std::signed_integral T>
    void column(std::size_t, T) {}
    template <std::unsigned_integral T>
    requires(!std::same_as<T, bool> && sizeof(T) < sizeof(std::int64_t)) void column(std::size_t,
                                                                                     T) {}
    void column(std::size_t i, double v);
    void column(std::size_t i, Text v);
    void column(std::size_t i, Decimal v);
    void column(std::size_t i, TimestampMicros v);
    void column(std::size_t i, TimestampNanos v);
    void column(std::size_t, Null) {}
    void column(std::size_t i, const ColumnValue& v);
    void column(std::size_t, bool) = delete;
    template <std::unsigned_integral T>
    requires(sizeof(T) >= sizeof(std::int64_t)) void column(std::size_t, T) = delete;
    void column(std::size_t, long double) = delete;

  private:
    const RowShape* shape_;
};

class LineEncoder {
  public:
    // Appends one line. Throws IngressError naming the table and column for a refused
    // value (invalid UTF-8, NUL byte in a text, NaN, malformed decimal, designated time before
    // 1970), for a row whose columns are all null, and for a column named twice.
    void add_row(TableName table, std::span<const Column> columns, TimestampNanos at);
    void add_row(TableName table, std::initializer_list<Column> columns, TimestampNanos at) {
        add_row(table, std::span<const Column>(columns.begin(), columns.size()), at);
    }

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
    bool row_open() const noexcept { return row_open_; }

  private:
    friend class RowWriter;
    // Makes sure the buffer has `room` bytes beyond `pos`.
    void reserve_at(std::size_t pos, std::size_t room) {
        if (pos + room > buf_.size()) [[unlikely]]
            grow(pos + room);
    }
    void grow(std::size_t size);
    char* put_value(char* p, std::string_view table, std::string_view column,
                    const ColumnValue& value);
    bool names_known_distinct(std::span<const Column> columns);

    // Rows are written through a raw cursor into room made in advance; buf_.size() is the
    // room, len_ the part in use.
    std::string buf_;
    std::size_t len_ = 0;
    std::size_t rows_ = 0;
    // Copies of the names of the last row checked for repeats: the caller may reuse a
    // name's storage for another name, so an address proves nothing.
    std::vector<std::string> last_names_;
    // The columns the open row has written, a bit each.
    std::vector<std::uint64_t> written_;
    bool row_open_ = false;
    // Tells the open row's writer from writers of rows dropped by clear().
    std::uint64_t row_id_ = 0;
};

// Every column of every row goes through these, so they are here to be inlined; the
// failures are worked out out of line.
inline bool RowWriter::live() const noexcept {
    return encoder_->row_open_ && encoder_->row_id_ == id_;
}

inline void RowWriter::mark(std::size_t i) {
    if (!live() || spoilt_ || i >= shape_->size()) [[unlikely]]
        refuse_misuse(i);
    std::uint64_t& word = encoder_->written_[i / 64];
    const std::uint64_t bit = std::uint64_t{1} << (i % 64);
    if (word & bit) [[unlikely]]
        refuse_misuse(i);
    word |= bit;
}

inline char* RowWriter::open(std::size_t i, std::size_t room) {
    mark(i);
    const std::string_view name = shape_->spelled_column(i);
    // 8 bytes of slack: texts are copied a whole word at a time; and room for a short name
    // to be copied as one block of RowShape::padding bytes (a copy of a size known only at
    // run time is a library call).
    encoder_->reserve_at(pos_, 1 + name.size() + RowShape::padding + room + 8);
    char* p = encoder_->buf_.data() + pos_;
    *p++ = any_ ? ',' : ' ';
    if (name.size() <= RowShape::padding)
        std::memcpy(p, name.data(), RowShape::padding);
    else
        std::memcpy(p, name.data(), name.size());
    // Until commit() a value that is refused leaves the row spoilt.
    spoilt_ = true;
    return p + name.size();
}

// Only a value that was written in full moves the end of the row.
inline void RowWriter::commit(char* end) {
    pos_ = static_cast<std::size_t>(end - encoder_->buf_.data());
    any_ = true;
    spoilt_ = false;
}

}  // namespace ingress
