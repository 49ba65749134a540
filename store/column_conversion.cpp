#include "store/column_conversion.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "core/failure.hpp"
#include "store/printed_form.hpp"

namespace tessim {

std::optional<IntRange> int_range(std::string_view type) {
    if (type == "BYTE") return IntRange{-128, 127};
    if (type == "SHORT") return IntRange{-32768, 32767};
    if (type == "INT") return IntRange{-2147483647, 2147483647};
    if (type == "LONG")
        return IntRange{std::numeric_limits<std::int64_t>::min() + 1,
                        std::numeric_limits<std::int64_t>::max()};
    return std::nullopt;
}

Family family_of(std::string_view type) {
    if (int_range(type)) return Family::integer;
    if (type == "DOUBLE" || type == "FLOAT") return Family::floating;
    if (type == "STRING" || type == "VARCHAR" || type == "SYMBOL") return Family::text;
    if (type == "TIMESTAMP" || type == "DATE") return Family::time;
    return Family::other;
}

std::int64_t local_micros(const CivilTime& t, LocalClock& clock) {
    auto refusal = [&t](const char* why) {
        return ValueRefused(ValueRefused::By::clock, {}, {},
                            "local date-time " + civil_text(t, CivilForm::date_time_micros) + why);
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
    const auto point = digits.find('.');
    if (point != std::string_view::npos) {
        if (digits.find_first_not_of('0', point + 1) != std::string_view::npos) return std::nullopt;
        digits = digits.substr(0, point);
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
    constexpr std::int64_t exact = std::int64_t{1} << 53;
    if (v < -exact || v > exact) return std::nullopt;
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
        s += " " + as_text(v);
    } else if (v.kind() == Kind::floating) {
        s += " " + printed_float(v.floating());
    }
    return s;
}

void does_not_fit(const Value& value, std::string_view type) {
    throw ValueRefused(ValueRefused::By::column_type, {}, {},
                       "o valor " + describe(value) + " não cabe numa coluna " + std::string(type));
}

}  // namespace tessim
