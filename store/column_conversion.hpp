#pragma once
// The conversion of one value to the form its QuestDB column takes: exact or refused. The
// rows and the check before the truncation go through these same conversions.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/clock.hpp"
#include "ingress/column_value.hpp"
#include "ingress/timestamp.hpp"
#include "source/value.hpp"
#include "store/printed_form.hpp"

namespace tessim {

// What a column's declared type (QuestDB's name, as SHOW COLUMNS gives it) accepts.
enum class Family { integer, floating, text, time, other };

struct IntRange {
    std::int64_t min, max;
};

// QuestDB keeps the smallest INT and LONG as their null, so those values would come back
// as null: they are out of range here.
std::optional<IntRange> int_range(std::string_view type);

Family family_of(std::string_view type);

// A date or date-time as the database delivered it: a field the normalisation keeps as read,
// or a date whose fields mktime carried outside the calendar. It still has to go through the
// local zone.
struct LocalWallTime {
    CivilTime t;
};

// Microseconds since the epoch of a local wall time. Throws ValueRefused (by the clock,
// without the contract and column, which the caller adds) when it is not a calendar time or
// mktime cannot convert it.
std::int64_t local_micros(const CivilTime& t, LocalClock& clock);

std::optional<std::int64_t> int_from_text(std::string_view s);

// Digits of an exact decimal whose fraction is all zeros, as an integer.
std::optional<std::int64_t> int_from_decimal(std::string_view digits);

std::optional<std::int64_t> int_from_double(double d);

// Integers up to 2^53 in magnitude are exact doubles.
std::optional<double> double_from_int(std::int64_t v);

std::optional<double> double_from_text(std::string_view s);

// A text made by the conversion itself (an integer's digits, for instance): it lives only
// during the call that receives it.
struct MadeText {
    std::string_view bytes;
};

// Hands `put` a non-null `v` as it stands, the form a column of its own kind takes.
template <class Put>
bool in_own_kind(const Value& v, Put&& put) {
    switch (v.kind()) {
        case Kind::integer:
            put(v.integer());
            return true;
        case Kind::floating:
            put(v.floating());
            return true;
        case Kind::decimal:
            put(ingress::Decimal{v.text()});
            return true;
        case Kind::text:
            put(ingress::Text{v.text()});
            return true;
        case Kind::date:
        case Kind::datetime:
            put(LocalWallTime{v.time()});
            return true;
        case Kind::instant:
            put(ingress::TimestampMicros(v.instant()));
            return true;
        default:
            return false;
    }
}

// Hands `put` the form of a non-null `v` that a column of family `fam` (and, for integers,
// range `range`) accepts, and answers true; answers false, without calling `put`, when there
// is no exact form. `put` takes std::int64_t, double, ingress::Decimal, ingress::Text,
// MadeText, ingress::TimestampMicros and LocalWallTime.
template <class Put>
bool convert_for(const Value& v, Family fam, const IntRange& range, Put&& put) {
    switch (fam) {
        case Family::integer: {
            std::optional<std::int64_t> n;
            switch (v.kind()) {
                case Kind::integer:
                    n = v.integer();
                    break;
                case Kind::text:
                    n = int_from_text(v.text());
                    break;
                case Kind::decimal:
                    n = int_from_decimal(v.text());
                    break;
                case Kind::floating:
                    n = int_from_double(v.floating());
                    break;
                default:
                    break;
            }
            if (!n || *n < range.min || *n > range.max) return false;
            put(*n);
            return true;
        }
        case Family::floating:
            switch (v.kind()) {
                case Kind::floating:
                case Kind::decimal:
                    return in_own_kind(v, put);
                case Kind::integer:
                    if (auto d = double_from_int(v.integer())) {
                        put(*d);
                        return true;
                    }
                    return false;
                case Kind::text:
                    if (auto d = double_from_text(v.text())) {
                        put(*d);
                        return true;
                    }
                    return false;
                default:
                    return false;
            }
        case Family::text:
            switch (v.kind()) {
                case Kind::text:
                    return in_own_kind(v, put);
                case Kind::decimal:
                    put(MadeText{v.text()});
                    return true;
                case Kind::integer: {
                    char buf[24];
                    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v.integer());
                    put(MadeText{std::string_view(buf, static_cast<std::size_t>(end - buf))});
                    return true;
                }
                case Kind::floating: {
                    if (!std::isfinite(v.floating())) return false;
                    const std::string printed = printed_float(v.floating());
                    put(MadeText{printed});
                    return true;
                }
                default:
                    return false;
            }
        case Family::time:
            if (v.kind() != Kind::date && v.kind() != Kind::datetime && v.kind() != Kind::instant)
                return false;
            return in_own_kind(v, put);
        case Family::other:
            return in_own_kind(v, put);
    }
    return false;
}

// How a refused value reads in a message: its kind and, for texts and numbers, the value.
std::string describe(const Value& v);

// Refuses `value` for a column declared as `type`: ValueRefused by the column's type,
// describing both (without the contract and column, which the caller adds). Out of line, so
// that the row loop stays small.
[[noreturn]] void does_not_fit(const Value& value, std::string_view type);

}  // namespace tessim
