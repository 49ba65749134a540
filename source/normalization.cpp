#include "source/normalization.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>

#include "source/blanks.hpp"
#include "textfix/fix_text.hpp"
#include "utf8/utf8.hpp"

namespace tessim {
namespace {

// The rules with a parameter, defined below.
Value zero_padding(const Value& v, std::size_t width, TextStore& texts);
// A date or date-time read as a wall time of the local zone (mktime's reading, seconds only)
// becomes that instant; fields outside the calendar (a year 0) stay the local date-time mktime
// carries them to, and the store refuses them. Fails the record when mktime fails.
Value local_datetime(const CustomerRecord& raw, std::size_t field, LocalClock& clock);

bool all_zero_digits(std::string_view digits) {
    for (char c : digits)
        if (c >= '1' && c <= '9') return false;
    return true;
}

[[noreturn]] void fail(const CustomerRecord& record, std::size_t field, const std::string& why) {
    throw DatabaseFailure(std::string(kFields[field].name), as_text(record[idServico]), why);
}

Value repaired(const Value& v, TextStore& texts, std::string& scratch) {
    if (!has_value(v)) return Value::null();
    // Only texts can be mended; a number or date in a text column is left as read.
    if (v.kind() != Kind::text) return v;
    scratch.clear();
    if (!textfix::fix_text_into(v.text(), scratch)) return v;
    return Value::of_text(texts.keep(scratch));
}

std::int64_t whole_number(const CustomerRecord& raw, std::size_t field) {
    const Value& v = raw[field];
    switch (v.kind()) {
        case Kind::integer:
            return v.integer();
        case Kind::text: {
            std::string_view s = trim_blanks(v.text());
            if (!s.empty() && s[0] == '+') s.remove_prefix(1);
            std::int64_t day = 0;
            auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), day);
            if (s.empty() || ec != std::errc() || end != s.data() + s.size())
                fail(raw, field, "'" + std::string(v.text()) + "' não é um inteiro");
            return day;
        }
        case Kind::decimal: {
            std::string_view s = v.text();
            s = s.substr(0, s.find('.'));
            bool negative = !s.empty() && s[0] == '-';
            if (negative) s.remove_prefix(1);
            std::int64_t day = 0;
            auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), day);
            if (s.empty()) return 0;  // ".5" and "-.5" truncate to 0
            if (ec != std::errc() || end != s.data() + s.size())
                fail(raw, field, "decimal fora do intervalo: " + as_text(v));
            return negative ? -day : day;
        }
        case Kind::floating: {
            double d = std::trunc(v.floating());
            // 2^63 is exactly representable; anything at or above it does not fit.
            if (!std::isfinite(d) || d < -9223372036854775808.0 || d >= 9223372036854775808.0)
                fail(raw, field, "número fora do intervalo: " + as_text(v));
            return static_cast<std::int64_t>(d);
        }
        default:
            fail(raw, field, "não é um inteiro: " + as_text(v));
    }
}

double price(const CustomerRecord& raw, std::size_t field) {
    const Value& v = raw[field];
    if (!has_value(v)) return 0.0;
    switch (v.kind()) {
        case Kind::floating:
            return v.floating();
        case Kind::integer:
            return static_cast<double>(v.integer());
        case Kind::decimal:
        case Kind::text: {
            std::string_view s = v.kind() == Kind::text ? trim_blanks(v.text()) : v.text();
            if (!s.empty() && s[0] == '+') s.remove_prefix(1);
            double d = 0;
            auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
            if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(d))
                fail(raw, field, "'" + std::string(v.text()) + "' não é um número decimal");
            return d;
        }
        default:
            fail(raw, field, "não é um número: " + as_text(v));
    }
}

// One field by its rule. Each field is its own instance, so the rule is settled when this
// is compiled and a record costs no lookup in the table.
template <std::size_t F>
void normalize_field(CustomerRecord& record, TextStore& texts, std::string& scratch,
                     LocalClock& clock) {
    constexpr Rule rule = kFields[F].rule;
    Value& v = record[F];
    if constexpr (rule == Rule::repaired_text) {
        v = repaired(v, texts, scratch);
    } else if constexpr (rule == Rule::padded_11) {
        v = zero_padding(v, 11, texts);
    } else if constexpr (rule == Rule::padded_14) {
        v = zero_padding(v, 14, texts);
    } else if constexpr (rule == Rule::local_datetime) {
        v = local_datetime(record, F, clock);
    } else if constexpr (rule == Rule::whole_number) {
        v = Value::of_integer(whole_number(record, F));
    } else if constexpr (rule == Rule::price) {
        v = Value::of_double(price(record, F));
    }
}

}  // namespace

bool has_value(const Value& v) {
    switch (v.kind()) {
        case Kind::null:
            return false;
        case Kind::text:
            return !v.text().empty();
        case Kind::integer:
            return v.integer() != 0;
        case Kind::floating:
            return v.floating() != 0.0;
        case Kind::decimal:
            return !all_zero_digits(v.text());
        case Kind::date:
        case Kind::datetime:
        case Kind::instant:
            return true;
    }
    return true;
}

namespace {

Value zero_padding(const Value& v, std::size_t width, TextStore& texts) {
    if (!has_value(v)) return v;
    std::string_view text = v.kind() == Kind::text ? v.text() : std::string_view{};
    std::string converted;
    if (v.kind() != Kind::text) {
        converted = as_text(v);
        text = converted;
    }
    std::size_t length = utf8::code_points(text);
    if (length >= width) {
        return v.kind() == Kind::text ? v : Value::of_text(texts.keep(text));
    }
    std::string padded;
    padded.reserve(text.size() + width - length);
    std::size_t sign = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    padded.append(text.substr(0, sign));
    padded.append(width - length, '0');
    padded.append(text.substr(sign));
    return Value::of_text(texts.keep(padded));
}

Value local_datetime(const CustomerRecord& raw, std::size_t field, LocalClock& clock) {
    const Value& v = raw[field];
    if (!has_value(v)) return Value::null();
    if (v.kind() != Kind::date && v.kind() != Kind::datetime)
        fail(raw, field, "não é data nem data/hora: " + as_text(v));
    CivilTime c = v.time();
    c.microsecond = 0;
    const std::optional<std::int64_t> seconds = clock.epoch_seconds(c);
    if (!seconds) fail(raw, field, "mktime não converte " + as_text(v));
    if (is_calendar_time(c)) return Value::of_instant(*seconds * 1000000);
    const auto instant = static_cast<std::time_t>(*seconds);
    std::tm local{};
    if (!localtime_r(&instant, &local)) fail(raw, field, "localtime não converte " + as_text(v));
    return Value::of_datetime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec, 0});
}

}  // namespace

void Normalizer::normalize(CustomerRecord& record) {
    [&]<std::size_t... F>(std::index_sequence<F...>) {
        (normalize_field<F>(record, texts_, scratch_, clock_), ...);
    }
    (std::make_index_sequence<kFieldCount>{});
}

}  // namespace tessim
