#include "source/sql_values.hpp"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

#include "core/clock.hpp"
#include "core/failure.hpp"

namespace tessim {
namespace {

[[noreturn]] void bad_value(std::string_view column, std::string_view bytes, const char* why) {
    throw DatabaseFailure(DatabaseFailure::Cause::value, 0,
                          "valor inválido na coluna '" + std::string(column) + "' (" + why +
                              "): '" + std::string(bytes) + "'");
}

template <typename T>
bool parse_whole(std::string_view s, T& out) {
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

// Fixed-width run of ASCII digits at `pos`; -1 when anything else is there.
int digits_at(std::string_view s, std::size_t pos, std::size_t width) {
    if (pos + width > s.size()) return -1;
    int v = 0;
    for (std::size_t i = pos; i < pos + width; ++i) {
        if (s[i] < '0' || s[i] > '9') return -1;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

bool real_day(int year, int month, int day) {
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= days_in_month(year, month);
}

// "YYYY-MM-DD" at the start of `s`; false when the shape is wrong.
bool parse_day(std::string_view s, CivilTime& t) {
    t.year = digits_at(s, 0, 4);
    t.month = digits_at(s, 5, 2);
    t.day = digits_at(s, 8, 2);
    return s.size() >= 10 && s[4] == '-' && s[7] == '-' && t.year >= 0 && t.month >= 0 &&
           t.day >= 0;
}

Value date_value(std::string_view s, std::string_view column) {
    CivilTime t;
    if (s.size() != 10 || !parse_day(s, t)) bad_value(column, s, "data malformada");
    if (!real_day(t.year, t.month, t.day)) return Value::null();
    return Value::of_date(t.year, t.month, t.day);
}

Value datetime_value(std::string_view s, std::string_view column) {
    CivilTime t;
    if (!parse_day(s, t) || s.size() < 19 || s[10] != ' ' || s[13] != ':' || s[16] != ':')
        bad_value(column, s, "data/hora malformada");
    t.hour = digits_at(s, 11, 2);
    t.minute = digits_at(s, 14, 2);
    t.second = digits_at(s, 17, 2);
    if (t.hour < 0 || t.minute < 0 || t.second < 0 || t.hour > 23 || t.minute > 59 || t.second > 59)
        bad_value(column, s, "hora malformada");
    if (s.size() > 19) {
        std::string_view frac = s.substr(20);
        if (s[19] != '.' || frac.empty() || frac.size() > 6) bad_value(column, s, "fração");
        int micro = digits_at(frac, 0, frac.size());
        if (micro < 0) bad_value(column, s, "fração");
        for (std::size_t i = frac.size(); i < 6; ++i) micro *= 10;
        t.microsecond = micro;
    }
    if (!real_day(t.year, t.month, t.day)) return Value::null();
    return Value::of_datetime(t);
}

bool decimal_shape(std::string_view s) {
    std::size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
    bool digit = false, dot = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') {
            digit = true;
        } else if (s[i] == '.' && !dot) {
            dot = true;
        } else {
            return false;
        }
    }
    return digit;
}

}  // namespace

ColumnKind column_kind(const MYSQL_FIELD& field) {
    switch (field.type) {
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
            return ColumnKind::decimal;
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_NEWDATE:
            return ColumnKind::date;
        case MYSQL_TYPE_DATETIME:
        case MYSQL_TYPE_TIMESTAMP:
            return ColumnKind::datetime;
        case MYSQL_TYPE_TINY:
        case MYSQL_TYPE_SHORT:
        case MYSQL_TYPE_INT24:
        case MYSQL_TYPE_LONG:
        case MYSQL_TYPE_LONGLONG:
            return (field.flags & UNSIGNED_FLAG) ? ColumnKind::unsigned_integer
                                                 : ColumnKind::integer;
        case MYSQL_TYPE_YEAR:
            return ColumnKind::integer;
        case MYSQL_TYPE_BIT:
            return ColumnKind::bit;
        case MYSQL_TYPE_FLOAT:
        case MYSQL_TYPE_DOUBLE:
            return ColumnKind::floating;
        default:
            return ColumnKind::text;
    }
}

Value column_value(ColumnKind kind, const char* data, unsigned long length, TextStore& texts,
                   std::string_view column) {
    if (data == nullptr) return Value::null();
    std::string_view s(data, length);
    switch (kind) {
        case ColumnKind::integer: {
            std::int64_t v;
            if (!parse_whole(s, v)) bad_value(column, s, "inteiro");
            return Value::of_integer(v);
        }
        case ColumnKind::unsigned_integer: {
            std::uint64_t v;
            if (!parse_whole(s, v)) bad_value(column, s, "inteiro sem sinal");
            if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                bad_value(column, s, "inteiro sem sinal acima de 9223372036854775807");
            return Value::of_integer(static_cast<std::int64_t>(v));
        }
        case ColumnKind::bit: {
            if (s.size() > 8) bad_value(column, "", "BIT com mais de 64 bits");
            std::uint64_t v = 0;
            for (unsigned char byte : s) v = (v << 8) | byte;
            if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                bad_value(column, std::to_string(v), "BIT acima de 9223372036854775807");
            return Value::of_integer(static_cast<std::int64_t>(v));
        }
        case ColumnKind::decimal:
            if (!decimal_shape(s)) bad_value(column, s, "decimal");
            return Value::of_decimal(texts.keep(s));
        case ColumnKind::floating: {
            double v;
            if (!parse_whole(s, v)) bad_value(column, s, "ponto flutuante");
            return Value::of_double(v);
        }
        case ColumnKind::date:
            return date_value(s, column);
        case ColumnKind::datetime:
            return datetime_value(s, column);
        case ColumnKind::text:
            return Value::of_text(texts.keep(s));
    }
    return Value::null();
}

}  // namespace tessim
