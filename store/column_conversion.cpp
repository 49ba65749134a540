#include "store/column_conversion.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

#include "ingress/errors.hpp"
#include "store/printed_form.hpp"

namespace tessim {

std::optional<IntRange> int_range(std::string_view tipo) {
    if (tipo == "BYTE") return IntRange{-128, 127};
    if (tipo == "SHORT") return IntRange{-32768, 32767};
    if (tipo == "INT") return IntRange{-2147483647, 2147483647};
    if (tipo == "LONG")
        return IntRange{std::numeric_limits<std::int64_t>::min() + 1,
                        std::numeric_limits<std::int64_t>::max()};
    return std::nullopt;
}

Family family_of(std::string_view tipo) {
    if (int_range(tipo)) return Family::integer;
    if (tipo == "DOUBLE" || tipo == "FLOAT") return Family::floating;
    if (tipo == "STRING" || tipo == "VARCHAR" || tipo == "SYMBOL") return Family::text;
    if (tipo == "TIMESTAMP" || tipo == "DATE") return Family::time;
    return Family::other;
}

std::int64_t local_micros(const CivilTime& t, LocalClock& clock) {
    auto refusal = [&t](const char* why) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%06d", t.year, t.month, t.day,
                      t.hour, t.minute, t.second, t.microsecond);
        return ingress::IngressError(ingress::ErrorCode::invalid_value,
                                     std::string("local date-time ") + buf + why);
    };
    if (!is_calendar_time(t)) throw refusal(" is not a calendar time");
    const std::optional<std::int64_t> seconds = clock.epoch_seconds(t);
    if (!seconds) throw refusal(" cannot be converted by mktime");
    return *seconds * 1000000 + t.microsecond;
}

std::optional<std::int64_t> int_from_text(std::string_view s) {
    // from_chars takes a '-' but no '+'; a '+' is dropped only before a digit, so that
    // "+-42" is not read as -42.
    if (s.size() > 1 && s.front() == '+' && s[1] >= '0' && s[1] <= '9') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<std::int64_t> int_from_decimal(std::string_view digits) {
    const auto ponto = digits.find('.');
    if (ponto != std::string_view::npos) {
        if (digits.find_first_not_of('0', ponto + 1) != std::string_view::npos) return std::nullopt;
        digits = digits.substr(0, ponto);
    }
    if (digits == "-" || digits.empty()) return 0;
    return int_from_text(digits);
}

std::optional<std::int64_t> int_from_double(double d) {
    // Doubles from -2^63 up to but excluding 2^63 fit; anything with a fraction does not.
    if (!std::isfinite(d) || d != std::trunc(d) || d < -9223372036854775808.0 ||
        d >= 9223372036854775808.0)
        return std::nullopt;
    return static_cast<std::int64_t>(d);
}

std::optional<double> double_from_int(std::int64_t v) {
    constexpr std::int64_t limite = std::int64_t{1} << 53;
    if (v < -limite || v > limite) return std::nullopt;
    return static_cast<double>(v);
}

std::optional<double> double_from_text(std::string_view s) {
    double d = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(d)) return std::nullopt;
    return d;
}

std::string describe(const Value& v) {
    std::string s = kind_name(v.kind());
    if (v.kind() == Kind::text || v.kind() == Kind::decimal) {
        std::string_view t = v.text().substr(0, 64);
        s += " " + printed_text(std::string(t));
        if (v.text().size() > 64) s += "...";
    } else if (v.kind() == Kind::integer) {
        s += " " + std::to_string(v.integer());
    } else if (v.kind() == Kind::floating) {
        s += " " + printed_float(v.floating());
    }
    return s;
}

void does_not_fit(const Value& valor, std::string_view tipo) {
    throw ConversionError("o valor " + describe(valor) + " não cabe numa coluna " +
                          std::string(tipo));
}

}  // namespace tessim
