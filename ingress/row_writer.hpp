#pragma once
// The columns of one row of a RowShape, one call each. A RowWriter (LineEncoder::begin_row)
// writes them into the encoder's buffer; a RowChecker judges them as the writer would, with
// the same refusals and messages, and writes nothing: for checking every row before any is
// sent. Both are one template, so that they take the same overloads and share each check.
//
// A writer takes each column of the shape at most once, in any order (the wire keeps the
// order of the calls); columns not written are left out, so QuestDB stores null for them. A
// refused value throws IngressError naming the table and column (so does a time before the
// epoch in the shape's designated timestamp column); the row is then spoilt and is never
// completed, but the rows before it are untouched. A checker serves any number of rows; it
// refuses no integer.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ingress/column_value.hpp"
#include "ingress/errors.hpp"
#include "ingress/line_encoder.hpp"
#include "ingress/row_shape.hpp"
#include "ingress/timestamp.hpp"
#include "ingress/wire_spelling.hpp"

namespace ingress {

using RowChecker = BasicRow<RowMode::check>;

template <RowMode Mode>
class BasicRow {
    static constexpr bool writes = Mode == RowMode::write;

  public:
    explicit BasicRow(const RowShape& shape) requires(!writes) : shape_(&shape) {}
    BasicRow(const BasicRow&) = delete;
    BasicRow& operator=(const BasicRow&) = delete;
    // A writer's row not ended is dropped: none of its bytes count.
    ~BasicRow() {
        if constexpr (writes)
            if (live()) encoder_->row_open_ = false;
    }

    template <std::signed_integral T>
    void column(std::size_t i, T v) {
        if constexpr (writes) put_integer(i, v);
    }
    template <std::unsigned_integral T>
    requires(!std::same_as<T, bool> && sizeof(T) < sizeof(std::int64_t)) void column(std::size_t i,
                                                                                     T v) {
        if constexpr (writes) put_integer(i, v);
    }
    void column(std::size_t i, double v);
    void column(std::size_t i, Text v);
    void column(std::size_t i, Decimal v);
    void column(std::size_t i, TimestampMicros v);
    void column(std::size_t i, TimestampNanos v) { column(i, TimestampMicros::from_nanos(v)); }
    // Nothing is encoded by an accident of C++ conversions.
    void column(std::size_t, bool) = delete;
    template <std::unsigned_integral T>
    requires(sizeof(T) >= sizeof(std::int64_t)) void column(std::size_t, T) = delete;
    void column(std::size_t, long double) = delete;

  private:
    friend class LineEncoder;
    BasicRow(LineEncoder& encoder, const RowShape& shape) requires writes
        : encoder_(&encoder),
          shape_(&shape),
          id_(encoder.row_id_),
          pos_(encoder.len_ + shape.spelled_table().size()) {}

    wire::Where where(std::size_t i) const { return {shape_, i}; }
    void put_integer(std::size_t i, std::int64_t v);
    // Checks that column i exists and has not been written yet, and marks it written.
    void mark(std::size_t i);
    // mark(), then room for the separator, the name and `room` bytes of value: returns where
    // the value goes.
    char* open(std::size_t i, std::size_t room);
    void commit(char* end);
    // This writer's row is the encoder's open row.
    bool live() const noexcept { return encoder_->row_open_ && encoder_->row_id_ == id_; }
    // Why column i cannot be written now.
    [[noreturn]] void refuse_misuse(std::size_t i) const;

    // The rest is the writer's.
    LineEncoder* encoder_ = nullptr;
    const RowShape* shape_;
    std::uint64_t id_ = 0;
    std::size_t pos_ = 0;  // end of the row's bytes so far
    bool any_ = false;
    bool spoilt_ = false;
};

// Every column of every row goes through these, so they are here to be inlined; the
// failures are worked out out of line.
template <RowMode Mode>
inline void BasicRow<Mode>::mark(std::size_t i) {
    if (!live() || spoilt_ || i >= shape_->size()) [[unlikely]]
        refuse_misuse(i);
    std::uint64_t& word = encoder_->written_[i / 64];
    const std::uint64_t bit = std::uint64_t{1} << (i % 64);
    if (word & bit) [[unlikely]]
        refuse_misuse(i);
    word |= bit;
}

template <RowMode Mode>
inline char* BasicRow<Mode>::open(std::size_t i, std::size_t room) {
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
template <RowMode Mode>
inline void BasicRow<Mode>::commit(char* end) {
    pos_ = static_cast<std::size_t>(end - encoder_->buf_.data());
    any_ = true;
    spoilt_ = false;
}

extern template class BasicRow<RowMode::write>;
extern template class BasicRow<RowMode::check>;

}  // namespace ingress
