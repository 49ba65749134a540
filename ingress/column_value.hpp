#pragma once
// The values a row can carry, one per column. Each kind has its own wrapper type so that
// nothing is encoded by an accident of C++ conversions: a bool, a 64-bit unsigned integer or
// a bare char pointer does not compile as a column value.

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "ingress/timestamp.hpp"

namespace ingress {

// The column is left out of the line, so QuestDB stores its null for that row.
struct Null {
    bool operator==(const Null&) const = default;
};

// Bytes the caller keeps alive until the row is written: a temporary std::string would be
// gone before the row is encoded, so none is taken.
template <class Kind>
struct BytesView {
    explicit constexpr BytesView(std::string_view b) noexcept : bytes(b) {}
    template <class S>
    requires std::same_as<S, std::string>
    explicit BytesView(S&&) = delete;
    std::string_view bytes;
};

// A text value (QuestDB STRING/VARCHAR/SYMBOL column). Validated as UTF-8 when the row is
// written, so that the error can name the column.
using Text = BytesView<struct TextKind>;
// An exact decimal given as its digits, e.g. "-12.50": optional sign, digits, optional
// '.' followed by digits. Sent as the nearest double (the target columns are DOUBLE).
using Decimal = BytesView<struct DecimalKind>;

// Any one of the kinds. Used by tests.
class ColumnValue {
  public:
    using Variant =
        std::variant<Null, std::int64_t, double, Decimal, Text, TimestampMicros, TimestampNanos>;

    ColumnValue() noexcept : v_(Null{}) {}
    ColumnValue(Null) noexcept : v_(Null{}) {}
    template <std::signed_integral T>
    ColumnValue(T v) noexcept : v_(static_cast<std::int64_t>(v)) {}
    template <std::unsigned_integral T>
    requires(!std::same_as<T, bool> && sizeof(T) < sizeof(std::int64_t)) ColumnValue(T v)
    noexcept : v_(static_cast<std::int64_t>(v)) {}
    // A 64-bit unsigned value may not fit the signed 64-bit LONG column.
    template <std::unsigned_integral T>
    requires(sizeof(T) >= sizeof(std::int64_t)) ColumnValue(T)
    = delete;
    ColumnValue(bool) = delete;
    ColumnValue(double v) noexcept : v_(v) {}
    ColumnValue(float v) noexcept : v_(static_cast<double>(v)) {}
    ColumnValue(long double) = delete;
    // Texts must be wrapped in Text{...} (or Decimal{...}): say which one is meant.
    ColumnValue(const char*) = delete;
    ColumnValue(std::string_view) = delete;
    ColumnValue(const std::string&) = delete;
    ColumnValue(Text v) noexcept : v_(v) {}
    ColumnValue(Decimal v) noexcept : v_(v) {}
    ColumnValue(TimestampMicros v) noexcept : v_(v) {}
    ColumnValue(TimestampNanos v) noexcept : v_(v) {}

    const Variant& get() const noexcept { return v_; }
    bool is_null() const noexcept { return std::holds_alternative<Null>(v_); }

  private:
    Variant v_;
};

}  // namespace ingress
