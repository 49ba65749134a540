#include "ingress/line_encoder.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include "ingress/errors.hpp"
#include "utf8/utf8.hpp"

namespace ingress {
namespace {

constexpr std::uint64_t ones = 0x0101010101010101ull;
constexpr std::uint64_t highs = utf8::kHighBits;

// Non-zero when one of the eight bytes of w is zero.
constexpr std::uint64_t has_zero(std::uint64_t w) {
    return (w - ones) & ~w & highs;
}

// Non-zero when one of the eight bytes needs a look of its own inside a text: non-ASCII,
// NUL, '"', '\', LF or CR.
constexpr std::uint64_t has_special(std::uint64_t w) {
    return (w & highs) | has_zero(w) | has_zero(w ^ (ones * '"')) | has_zero(w ^ (ones * '\\')) |
           has_zero(w ^ (ones * '\n')) | has_zero(w ^ (ones * '\r'));
}

[[noreturn]] void refuse(ErrorCode code, std::string_view table, std::string_view column,
                         const std::string& why) {
    throw IngressError(
        code, "table \"" + printable(table) + "\", column \"" + printable(column) + "\": " + why);
}

// A quoted text with  " \ LF CR  behind a backslash; refuses ill-formed UTF-8 and NUL.
// Needs room for 2 * size + 2 bytes (plus the 8 bytes of slack every row is given, since
// runs of plain bytes are copied a whole word at a time). Without Write it only refuses what
// it would refuse, and writes nothing (p may be null).
template <bool Write>
char* put_text(char* p, std::string_view text, std::string_view table, std::string_view column) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    if constexpr (Write) *p++ = '"';
    std::size_t i = 0;
    while (i < n) {
        // Eight bytes at a time; the last few are padded with a plain byte so that short
        // texts and tails take the same path. The lowest flagged byte is the first special
        // one (has_zero can only misflag bytes above a real match), so the plain bytes in
        // front of it go out in one copy.
        const std::size_t take = std::min<std::size_t>(8, n - i);
        std::uint64_t w;
        if (take == 8) {
            std::memcpy(&w, s + i, 8);
        } else {
            w = utf8::tail_word(s, i, n);
        }
        // Quotes, backslashes and line ends only matter to the writing.
        const std::uint64_t special = Write ? has_special(w) : (w & highs) | has_zero(w);
        if (special == 0) {
            if constexpr (Write) {
                std::memcpy(p, &w, 8);
                p += take;
            }
            i += take;
            continue;
        }
        const auto plain = static_cast<std::size_t>(std::countr_zero(special)) / 8;
        if constexpr (Write) {
            std::memcpy(p, &w, 8);
            p += plain;
        }
        i += plain;
        const unsigned char c = s[i];
        if (c < 0x80) {
            if (c == 0) {
                refuse(ErrorCode::invalid_value, table, column,
                       "text holds a NUL byte at offset " + std::to_string(i));
            }
            if constexpr (Write) {
                if (c == '"' || c == '\\' || c == '\n' || c == '\r') *p++ = '\\';
                *p++ = static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // Accented Latin letters, most of what is not ASCII in these texts, are two bytes.
        std::size_t len = 2;
        if (!(c >= 0xC2 && c <= 0xDF && i + 1 < n && (s[i + 1] & 0xC0) == 0x80)) {
            char32_t cp = 0;
            len = utf8::read(text.substr(i), cp);
            if (len == 0) {
                refuse(ErrorCode::invalid_utf8, table, column,
                       "text is not valid UTF-8 (bad byte at offset " + std::to_string(i) + ")");
            }
        }
        if constexpr (Write) {
            std::memcpy(p, s + i, len);
            p += len;
        }
        i += len;
    }
    if constexpr (Write) *p++ = '"';
    return p;
}

// A validated name; only ' ' and '=' need a backslash (',' is refused by validation).
// Needs room for 2 * size bytes.
char* put_name(char* p, std::string_view name, bool needs_escape) {
    if (!needs_escape) {
        std::memcpy(p, name.data(), name.size());
        return p + name.size();
    }
    for (char c : name) {
        if (c == ' ' || c == '=') *p++ = '\\';
        *p++ = c;
    }
    return p;
}

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Exactly eight digits, with 32-bit arithmetic.
// Exactly eight digits, with 32-bit arithmetic; the two halves are independent, so the
// processor works on both at once.
char* put_8_digits(char* p, std::uint32_t v) {
    const std::uint32_t high = v / 10000, low = v % 10000;
    std::memcpy(p, kPairs + 2 * (high / 100), 2);
    std::memcpy(p + 2, kPairs + 2 * (high % 100), 2);
    std::memcpy(p + 4, kPairs + 2 * (low / 100), 2);
    std::memcpy(p + 6, kPairs + 2 * (low % 100), 2);
    return p + 8;
}

// Up to eight digits, no leading zeros.
char* put_small(char* p, std::uint32_t v) {
    // Times in microseconds have 16 digits: their high half always takes this path.
    if (v >= 10000000) return put_8_digits(p, v);
    const int digits = 1 + (v >= 10) + (v >= 100) + (v >= 1000) + (v >= 10000) + (v >= 100000) +
                       (v >= 1000000) + (v >= 10000000);
    char* end = p + digits;
    char* q = end;
    while (v >= 100) {
        q -= 2;
        std::memcpy(q, kPairs + 2 * (v % 100), 2);
        v /= 100;
    }
    if (v >= 10) {
        std::memcpy(q - 2, kPairs + 2 * v, 2);
    } else {
        q[-1] = static_cast<char>('0' + v);
    }
    return end;
}

// Times in microseconds and nanoseconds have 16 to 19 digits; cutting them into 8-digit
// groups keeps the work in 32-bit divisions.
char* put_uint(char* p, std::uint64_t v) {
    if (v < 100000000) return put_small(p, static_cast<std::uint32_t>(v));
    std::uint64_t high = v / 100000000;
    const auto low = static_cast<std::uint32_t>(v - high * 100000000);
    if (high < 100000000) {
        p = put_small(p, static_cast<std::uint32_t>(high));
    } else {
        const std::uint64_t top = high / 100000000;  // at most 1844
        p = put_small(p, static_cast<std::uint32_t>(top));
        p = put_8_digits(p, static_cast<std::uint32_t>(high - top * 100000000));
    }
    return put_8_digits(p, low);
}

char* put_int(char* p, std::int64_t v) {
    if (v < 0) {
        *p++ = '-';
        // Through unsigned, so that the smallest int64 has a magnitude too.
        return put_uint(p, 0 - static_cast<std::uint64_t>(v));
    }
    return put_uint(p, static_cast<std::uint64_t>(v));
}

char* put_plain_decimal(char* p, std::string_view d);

// Prices and the like: a double that is the nearest double of a decimal with at most two
// decimals (r / 100, both exact doubles, rounds as reading the decimal does) goes out as that
// decimal when put_plain_decimal can tell it is the shortest text. Returns nullptr for
// anything else, negative zero included.
char* put_cents(char* p, double v) {
    if (!(std::fabs(v) < 1e13) || (v == 0 && std::signbit(v))) return nullptr;
    const double r = std::nearbyint(v * 100);
    if (r / 100 != v) return nullptr;
    const auto cents = static_cast<std::int64_t>(r);
    const std::uint64_t magnitude = cents < 0 ? 0 - static_cast<std::uint64_t>(cents) : cents;
    char digits[24];
    char* q = digits;
    if (cents < 0) *q++ = '-';
    q = std::to_chars(q, digits + sizeof digits, magnitude / 100).ptr;
    *q++ = '.';
    std::memcpy(q, kPairs + 2 * (magnitude % 100), 2);
    q += 2;
    return put_plain_decimal(p, std::string_view(digits, static_cast<std::size_t>(q - digits)));
}

void check_double(double v, std::string_view table, std::string_view column) {
    if (!std::isfinite(v)) {
        refuse(ErrorCode::invalid_value, table, column,
               std::isnan(v) ? "NaN cannot be sent" : "infinity cannot be sent");
    }
}

// Needs room for 26 bytes ("-2.2250738585072014e-308" is 24).
char* put_double(char* p, double v, std::string_view table, std::string_view column) {
    check_double(v, table, column);
    if (char* q = put_cents(p, v)) return q;
    char* start = p;
    p = std::to_chars(p, p + 32, v).ptr;
    // QuestDB reads "1" as a float too, but "1.0" can never be mistaken for an integer.
    if (std::find_if(start, p, [](char c) { return c == '.' || c == 'e'; }) == p) {
        *p++ = '.';
        *p++ = '0';
    }
    return p;
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

// Decimal digits that already are the shortest text of their nearest double, as put_double
// would write it, go out as they are: no '+', no leading zeros, at most 15 significant
// digits (two different such decimals never reach the same double, so no shorter text
// does), a fraction whose first digit is not 0 and an integer without trailing zeros (so
// the fixed notation is the shorter one). Returns nullptr for anything else.
char* put_plain_decimal(char* p, std::string_view d) {
    if (d.front() == '+') return nullptr;
    const bool negative = d.front() == '-';
    if (negative) d.remove_prefix(1);
    const std::size_t point = d.find('.');
    std::string_view whole = d.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? "" : d.substr(point + 1);
    while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
    const bool zero_whole = whole == "0";
    if (whole.size() > 1 && whole.front() == '0') return nullptr;
    if (zero_whole) {
        if (fraction.empty() ? negative : fraction.front() == '0') return nullptr;
    } else if (fraction.empty() && whole.back() == '0') {
        return nullptr;
    }
    if ((zero_whole ? 0 : whole.size()) + fraction.size() > 15) return nullptr;
    if (negative) *p++ = '-';
    std::memcpy(p, whole.data(), whole.size());
    p += whole.size();
    *p++ = '.';
    if (fraction.empty()) {
        *p++ = '0';
    } else {
        std::memcpy(p, fraction.data(), fraction.size());
        p += fraction.size();
    }
    return p;
}

constexpr std::size_t number_room = 32;

std::size_t value_room(const ColumnValue& v) {
    if (const Text* t = std::get_if<Text>(&v.get())) return 2 * t->bytes.size() + 2;
    return number_room;
}

}  // namespace

namespace {

char* put_decimal(char* p, std::string_view d, std::string_view table, std::string_view column) {
    if (!is_decimal_digits(d)) {
        refuse(ErrorCode::invalid_value, table, column,
               "\"" + printable(d) + "\" is not a decimal number");
    }
    if (char* plain = put_plain_decimal(p, d)) return plain;
    if (d.front() == '+') d.remove_prefix(1);  // from_chars takes no '+'
    double v = 0;
    // from_chars is correctly rounded and, unlike strtod, ignores the C locale's decimal
    // separator.
    const auto r = std::from_chars(d.data(), d.data() + d.size(), v);
    if (r.ec != std::errc()) {
        refuse(ErrorCode::invalid_value, table, column,
               "decimal \"" + printable(d) + "\" is out of the range of a double");
    }
    return put_double(p, v, table, column);
}

char* put_micros(char* p, TimestampMicros t) {
    p = put_int(p, t.as_i64());
    *p++ = 't';
    return p;
}

// QuestDB refuses a time before the epoch in the designated timestamp column.
void check_time(const RowShape& shape, std::size_t i, std::int64_t micros) {
    if (micros < 0 && i == shape.designated()) [[unlikely]]
        refuse(ErrorCode::invalid_value, shape.table(), shape.column(i),
               "a designated timestamp before 1970-01-01 cannot be stored");
}

}  // namespace

char* LineEncoder::put_value(char* p, std::string_view table, std::string_view column,
                             const ColumnValue& value) {
    const ColumnValue::Variant& v = value.get();
    switch (v.index()) {
        case 1:  // int64
            p = put_int(p, std::get<std::int64_t>(v));
            *p++ = 'i';
            return p;
        case 2:  // double
            return put_double(p, std::get<double>(v), table, column);
        case 3:  // Decimal
            return put_decimal(p, std::get<Decimal>(v).digits, table, column);
        case 4:  // Text
            return put_text<true>(p, std::get<Text>(v).bytes, table, column);
        case 5:  // TimestampMicros
            return put_micros(p, std::get<TimestampMicros>(v));
        case 6:  // TimestampNanos
            return put_micros(p, TimestampMicros::from_nanos(std::get<TimestampNanos>(v)));
        default:
            return p;  // Null is filtered out by the caller
    }
}

// QuestDB silently keeps the first of two same-named fields of a line, so a repeated name
// is refused. Rows usually carry the same names, so the pairwise check runs only when the
// names differ from the last row that passed it.
bool LineEncoder::names_known_distinct(std::span<const Column> columns) {
    if (columns.size() == last_names_.size()) {
        bool same = true;
        for (std::size_t i = 0; i < columns.size() && same; ++i) {
            same = columns[i].first.view() == last_names_[i];
        }
        if (same) return true;
    }
    return false;
}

void LineEncoder::add_row(TableName table, std::span<const Column> columns, TimestampNanos at) {
    if (!names_known_distinct(columns)) {
        for (std::size_t i = 1; i < columns.size(); ++i) {
            for (std::size_t k = 0; k < i; ++k) {
                if (columns[k].first.view() == columns[i].first.view()) {
                    refuse(ErrorCode::invalid_name, table.view(), columns[i].first.view(),
                           "column given twice in one row");
                }
            }
        }
        last_names_.resize(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            last_names_[i].assign(columns[i].first.view());
        }
    }
    // Room for the worst case, so that the writing below needs no checks.
    std::size_t room = 2 * table.view().size() + 1 + number_room + 2 + 8;
    for (const auto& [name, value] : columns) {
        room += 2 * name.view().size() + 2 + value_room(value);
    }
    if (row_open_) {
        throw IngressError(ErrorCode::invalid_api_call, "table \"" + printable(table.view()) +
                                                            "\": a row is still being written");
    }
    reserve_at(len_, room);

    // Nothing below touches len_ until the row is complete: a refused value leaves the
    // buffer as it was.
    char* const start = buf_.data() + len_;
    char* p = put_name(start, table.view(), table.needs_escape());
    char sep = ' ';
    for (const auto& [name, value] : columns) {
        if (value.is_null()) continue;
        *p++ = sep;
        sep = ',';
        p = put_name(p, name.view(), name.needs_escape());
        *p++ = '=';
        p = put_value(p, table.view(), name.view(), value);
    }
    if (sep == ' ') {
        throw IngressError(
            ErrorCode::invalid_value,
            "table \"" + printable(table.view()) + "\": a row needs at least one non-null column");
    }
    *p++ = ' ';
    p = put_int(p, at.as_i64());
    *p++ = '\n';
    len_ += static_cast<std::size_t>(p - start);
    ++rows_;
}

void LineEncoder::grow(std::size_t size) {
    buf_.resize(std::max(size, 2 * buf_.size()));
}

RowWriter LineEncoder::begin_row(const RowShape& shape) {
    if (row_open_) {
        throw IngressError(ErrorCode::invalid_api_call, "table \"" + printable(shape.table()) +
                                                            "\": a row is still being written");
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
        throw IngressError(ErrorCode::invalid_api_call,
                           "table \"" + printable(row.shape_->table()) +
                               "\": the row cannot be ended (another encoder's, ended already, or "
                               "refused a value)");
    }
    if (!row.any_) {
        throw IngressError(ErrorCode::invalid_value,
                           "table \"" + printable(row.shape_->table()) +
                               "\": a row needs at least one non-null column");
    }
    reserve_at(row.pos_, number_room + 2);
    char* const start = buf_.data() + row.pos_;
    char* p = start;
    *p++ = ' ';
    p = put_int(p, at.as_i64());
    *p++ = '\n';
    len_ = row.pos_ + static_cast<std::size_t>(p - start);
    ++rows_;
    row_open_ = false;
    ++row_id_;
}

RowWriter::RowWriter(LineEncoder& encoder, const RowShape& shape)
    : encoder_(&encoder),
      shape_(&shape),
      id_(encoder.row_id_),
      pos_(encoder.len_ + shape.spelled_table().size()) {}

RowWriter::~RowWriter() {
    if (live()) encoder_->row_open_ = false;
}

void RowWriter::refuse(std::size_t i, ErrorCode code, const std::string& why) const {
    ingress::refuse(code, shape_->table(), shape_->column(i), why);
}

void RowWriter::refuse_misuse(std::size_t i) const {
    if (!live() || spoilt_) {
        throw IngressError(ErrorCode::invalid_api_call,
                           "table \"" + printable(shape_->table()) +
                               "\": the row was ended, dropped or refused a value");
    }
    if (i >= shape_->size()) {
        throw IngressError(ErrorCode::invalid_api_call, "table \"" + printable(shape_->table()) +
                                                            "\": no column " + std::to_string(i) +
                                                            " in a row of " +
                                                            std::to_string(shape_->size()));
    }
    refuse(i, ErrorCode::invalid_api_call, "column given twice in one row");
}

void RowWriter::put_integer(std::size_t i, std::int64_t v) {
    char* p = open(i, number_room);
    p = put_int(p, v);
    *p++ = 'i';
    commit(p);
}

void RowWriter::column(std::size_t i, double v) {
    char* p = open(i, number_room);
    commit(put_double(p, v, shape_->table(), shape_->column(i)));
}

void RowWriter::column(std::size_t i, Text v) {
    char* p = open(i, 2 * v.bytes.size() + 2);
    commit(put_text<true>(p, v.bytes, shape_->table(), shape_->column(i)));
}

void RowWriter::column(std::size_t i, Decimal v) {
    char* p = open(i, number_room);
    commit(put_decimal(p, v.digits, shape_->table(), shape_->column(i)));
}

void RowWriter::column(std::size_t i, TimestampMicros v) {
    char* p = open(i, number_room);
    check_time(*shape_, i, v.as_i64());
    commit(put_micros(p, v));
}

void RowWriter::column(std::size_t i, TimestampNanos v) {
    column(i, TimestampMicros::from_nanos(v));
}

void RowWriter::column(std::size_t i, Null) {
    mark(i);
}

void RowWriter::column(std::size_t i, const ColumnValue& v) {
    std::visit([&](const auto& value) { column(i, value); }, v.get());
}

// The checker runs the refusals of RowWriter's column calls above and skips their writing.

void RowChecker::column(std::size_t i, double v) {
    check_double(v, shape_->table(), shape_->column(i));
}

void RowChecker::column(std::size_t i, Text v) {
    put_text<false>(nullptr, v.bytes, shape_->table(), shape_->column(i));
}

// Decimals are refused in the course of writing them, so they are written to a scratch.
void RowChecker::column(std::size_t i, Decimal v) {
    char scratch[number_room];
    put_decimal(scratch, v.digits, shape_->table(), shape_->column(i));
}

void RowChecker::column(std::size_t i, TimestampMicros v) {
    check_time(*shape_, i, v.as_i64());
}

void RowChecker::column(std::size_t i, TimestampNanos v) {
    column(i, TimestampMicros::from_nanos(v));
}

void RowChecker::column(std::size_t i, const ColumnValue& v) {
    std::visit([&](const auto& value) { column(i, value); }, v.get());
}

}  // namespace ingress
