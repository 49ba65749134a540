#include "ingress/wire_spelling.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include "ingress/errors.hpp"
#include "ingress/names.hpp"
#include "ingress/row_shape.hpp"
#include "utf8/utf8.hpp"

namespace ingress::wire {
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

[[noreturn]] void refuse(ErrorCode code, Where where, const std::string& why) {
    throw column_error(code, where.shape->table(), where.shape->column(where.column), why);
}

// A quoted text with  " \ LF CR  behind a backslash; refuses ill-formed UTF-8 and NUL.
// Without Write it only refuses what it would refuse, and writes nothing (p may be null).
template <bool Write>
char* spell_text(char* p, std::string_view text, Where where) {
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
                refuse(ErrorCode::invalid_value, where,
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
                refuse(ErrorCode::invalid_utf8, where,
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

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

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

}  // namespace

std::string spelled_name(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 1);
    for (char c : name) {
        if (c == ' ' || c == '=') out += '\\';
        out += c;
    }
    return out;
}

char* put_text(char* p, std::string_view text, Where where) {
    return spell_text<true>(p, text, where);
}

void check_text(std::string_view text, Where where) {
    spell_text<false>(nullptr, text, where);
}

char* put_int(char* p, std::int64_t v) {
    if (v < 0) {
        *p++ = '-';
        // Through unsigned, so that the smallest int64 has a magnitude too.
        return put_uint(p, 0 - static_cast<std::uint64_t>(v));
    }
    return put_uint(p, static_cast<std::uint64_t>(v));
}

void check_double(double v, Where where) {
    if (!std::isfinite(v)) {
        refuse(ErrorCode::invalid_value, where,
               std::isnan(v) ? "NaN cannot be sent" : "infinity cannot be sent");
    }
}

// Needs room for 26 bytes ("-2.2250738585072014e-308" is 24).
char* put_double(char* p, double v, Where where) {
    check_double(v, where);
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

char* put_decimal(char* p, std::string_view d, Where where) {
    if (!is_decimal_digits(d)) {
        refuse(ErrorCode::invalid_value, where, "\"" + printable(d) + "\" is not a decimal number");
    }
    if (char* plain = put_plain_decimal(p, d)) return plain;
    if (d.front() == '+') d.remove_prefix(1);  // from_chars takes no '+'
    double v = 0;
    // from_chars is correctly rounded and, unlike strtod, ignores the C locale's decimal
    // separator.
    const auto r = std::from_chars(d.data(), d.data() + d.size(), v);
    if (r.ec != std::errc()) {
        refuse(ErrorCode::invalid_value, where,
               "decimal \"" + printable(d) + "\" is out of the range of a double");
    }
    return put_double(p, v, where);
}

// Decimals are refused in the course of writing them, so they are written to a scratch.
void check_decimal(std::string_view digits, Where where) {
    char scratch[number_room];
    put_decimal(scratch, digits, where);
}

char* put_micros(char* p, TimestampMicros t) {
    p = put_int(p, t.as_i64());
    *p++ = 't';
    return p;
}

}  // namespace ingress::wire
