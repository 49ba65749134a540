#pragma once
// The text values a row can carry. Each kind has its own wrapper type so that nothing is
// encoded by an accident of C++ conversions: a bare char pointer or a std::string does not
// compile as a column value, and a text is never taken for a decimal.

#include <concepts>
#include <string>
#include <string_view>

namespace ingress {

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

}  // namespace ingress
