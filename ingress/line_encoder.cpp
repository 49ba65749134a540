#include "ingress/line_encoder.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "ingress/errors.hpp"

namespace ingress {
namespace {

// Characters that need a backslash: inside a quoted text, and inside a name.
constexpr std::array<bool, 256> make_table(std::string_view chars) {
    std::array<bool, 256> t{};
    for (char c : chars) t[static_cast<unsigned char>(c)] = true;
    return t;
}
constexpr auto text_escapes = make_table("\"\\\n\r");
constexpr auto name_escapes = make_table(" ,=");

// Appends `s` with a backslash before each marked byte. Copies unmarked runs in one go.
void append_escaped(std::string& out, std::string_view s, const std::array<bool, 256>& marks) {
    const char* p = s.data();
    const char* end = p + s.size();
    const char* run = p;
    for (; p != end; ++p) {
        if (marks[static_cast<unsigned char>(*p)]) {
            out.append(run, p);
            out.push_back('\\');
            run = p;
        }
    }
    out.append(run, end);
}

void append_int(std::string& out, std::int64_t v) {
    char tmp[24];
    const auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
    out.append(tmp, r.ptr);
}

[[noreturn]] void refuse(ErrorCode code, std::string_view table, std::string_view column,
                         const std::string& why) {
    throw IngressError(
        code, "table \"" + printable(table) + "\", column \"" + printable(column) + "\": " + why);
}

void append_double(std::string& out, double v, std::string_view table, std::string_view column) {
    if (!std::isfinite(v)) {
        refuse(ErrorCode::invalid_value, table, column,
               std::isnan(v) ? "NaN cannot be sent" : "infinity cannot be sent");
    }
    char tmp[40];
    const auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
    out.append(tmp, r.ptr);
    // "1" alone would be fine for QuestDB too, but "1.0" can never be read as an integer
    // by any line-protocol reader.
    if (std::memchr(tmp, '.', r.ptr - tmp) == nullptr &&
        std::memchr(tmp, 'e', r.ptr - tmp) == nullptr) {
        out.append(".0");
    }
}

// [+-]?[0-9]+(\.[0-9]+)?  Anything else (exponents, "1.", ".5", spaces) is refused rather
// than guessed at.
bool is_decimal_digits(std::string_view d) {
    std::size_t i = 0;
    if (i < d.size() && (d[i] == '-' || d[i] == '+')) ++i;
    const std::size_t int_start = i;
    while (i < d.size() && d[i] >= '0' && d[i] <= '9') ++i;
    if (i == int_start) return false;
    if (i == d.size()) return true;
    if (d[i] != '.') return false;
    const std::size_t frac_start = ++i;
    while (i < d.size() && d[i] >= '0' && d[i] <= '9') ++i;
    return i != frac_start && i == d.size();
}

}  // namespace

void LineEncoder::put_value(std::string_view table, std::string_view column,
                            const ColumnValue& value) {
    std::string& out = buf_;
    switch (value.get().index()) {
        case 1:  // int64
            append_int(out, std::get<std::int64_t>(value.get()));
            out.push_back('i');
            return;
        case 2:  // double
            append_double(out, std::get<double>(value.get()), table, column);
            return;
        case 3: {  // Decimal
            std::string_view d = std::get<Decimal>(value.get()).digits;
            if (!is_decimal_digits(d)) {
                refuse(ErrorCode::invalid_value, table, column,
                       "\"" + printable(d) + "\" is not a decimal number");
            }
            if (d.front() == '+') d.remove_prefix(1);  // from_chars takes no '+'
            double v = 0;
            // from_chars is correctly rounded and, unlike strtod, ignores the C locale's
            // decimal separator.
            const auto r = std::from_chars(d.data(), d.data() + d.size(), v);
            if (r.ec != std::errc()) {
                refuse(ErrorCode::invalid_value, table, column,
                       "decimal \"" + printable(d) + "\" is out of the range of a double");
            }
            append_double(out, v, table, column);
            return;
        }
        case 4: {  // Text
            const std::string_view s = std::get<Text>(value.get()).bytes;
            if (const std::size_t bad = find_invalid_utf8(s); bad != std::string_view::npos) {
                refuse(ErrorCode::invalid_utf8, table, column,
                       "text is not valid UTF-8 (bad byte at offset " + std::to_string(bad) + ")");
            }
            if (const void* nul = std::memchr(s.data(), '\0', s.size())) {
                refuse(ErrorCode::invalid_value, table, column,
                       "text holds a NUL byte at offset " +
                           std::to_string(static_cast<const char*>(nul) - s.data()));
            }
            out.push_back('"');
            append_escaped(out, s, text_escapes);
            out.push_back('"');
            return;
        }
        case 5: {  // LocalDateTime
            std::int64_t us;
            try {
                us = local_time_.to_micros(std::get<LocalDateTime>(value.get()));
            } catch (const IngressError& e) {
                refuse(e.code(), table, column, e.what());
            }
            append_int(out, us);
            out.push_back('t');
            return;
        }
        case 6:  // TimestampMicros
            append_int(out, std::get<TimestampMicros>(value.get()).as_i64());
            out.push_back('t');
            return;
        case 7:  // TimestampNanos
            append_int(out,
                       TimestampMicros::from_nanos(std::get<TimestampNanos>(value.get())).as_i64());
            out.push_back('t');
            return;
        default:
            return;  // Null is filtered out by the caller
    }
}

void LineEncoder::add_row(TableName table, std::span<const Column> columns, TimestampNanos at) {
    const std::size_t row_start = buf_.size();
    try {
        append_escaped(buf_, table.view(), name_escapes);
        char sep = ' ';
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const auto& [name, value] = columns[i];
            // QuestDB keeps one of two same-named fields without a word; refuse instead.
            for (std::size_t k = 0; k < i; ++k) {
                if (columns[k].first.view() == name.view()) {
                    refuse(ErrorCode::invalid_name, table.view(), name.view(),
                           "column given twice in one row");
                }
            }
            if (value.is_null()) continue;
            buf_.push_back(sep);
            sep = ',';
            append_escaped(buf_, name.view(), name_escapes);
            buf_.push_back('=');
            put_value(table.view(), name.view(), value);
        }
        if (sep == ' ') {
            throw IngressError(ErrorCode::invalid_value,
                               "table \"" + printable(table.view()) +
                                   "\": a row needs at least one non-null column");
        }
        buf_.push_back(' ');
        append_int(buf_, at.as_i64());
        buf_.push_back('\n');
    } catch (...) {
        buf_.resize(row_start);
        throw;
    }
    ++rows_;
}

}  // namespace ingress
