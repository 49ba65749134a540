// Rows of arbitrary names and values through one LineEncoder. Each row is either refused
// with an IngressError that leaves the buffer exactly as it was, or appended as exactly one
// protocol line: the only unescaped line feed is its last byte (a line feed inside a text
// travels behind a backslash, inside the quotes). The line is then read back with a decoder
// written here from the wire rules, and every name and value must come back as given; the
// local clock must agree with mktime in the zone the input picks. Each value is also judged
// by a RowChecker, which must refuse it exactly when a RowWriter does.
//
// Names live in a fixed pool of buffers that each row overwrites, as a caller reusing its
// own storage would: a view made for one row says nothing about the bytes at the same
// address in the next.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/clock.hpp"
#include "ingress/errors.hpp"
#include "ingress/line_encoder.hpp"
#include "ingress/row_writer.hpp"
#include "tests/fuzz/fuzz_check.hpp"
#include "tests/ingress/rows.hpp"
#include "tests/support/civil_tm.hpp"

namespace {

using namespace ingress;
using namespace ingress_test;

struct Expected {
    std::string name;
    std::string value;  // the wire text of the value, or for a text its raw bytes
    bool is_text = false;
    std::optional<double> number;  // doubles and decimals: compared as values
};

struct Field {
    std::string name;
    std::string value;
    bool quoted = false;
};

struct Decoded {
    std::string table;
    std::vector<Field> fields;
    std::string at;
};

// A name runs to an unescaped ' ' (table) or '=' (field); a backslash takes the next byte.
bool read_name(std::string_view line, std::size_t& i, char end, std::string& out) {
    while (i < line.size() && line[i] != end) {
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        out.push_back(line[i++]);
    }
    return i < line.size();
}

std::optional<Decoded> decode(std::string_view line) {
    Decoded d;
    std::size_t i = 0;
    if (!read_name(line, i, ' ', d.table)) return std::nullopt;
    ++i;
    for (;;) {
        Field f;
        if (!read_name(line, i, '=', f.name)) return std::nullopt;
        ++i;
        if (i < line.size() && line[i] == '"') {
            f.quoted = true;
            ++i;
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < line.size()) ++i;
                f.value.push_back(line[i++]);
            }
            if (i == line.size()) return std::nullopt;
            ++i;
        } else {
            while (i < line.size() && line[i] != ',' && line[i] != ' ')
                f.value.push_back(line[i++]);
        }
        d.fields.push_back(std::move(f));
        if (i == line.size()) return std::nullopt;
        if (line[i++] == ' ') break;
    }
    d.at = std::string(line.substr(i));
    return d;
}

bool plain_decimal(std::string_view d) {
    std::size_t i = 0;
    if (i < d.size() && (d[i] == '+' || d[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < d.size() && d[i] >= '0' && d[i] <= '9') ++i, ++digits;
    if (digits == 0) return false;
    if (i == d.size()) return true;
    if (d[i++] != '.') return false;
    digits = 0;
    while (i < d.size() && d[i] >= '0' && d[i] <= '9') ++i, ++digits;
    return digits > 0 && i == d.size();
}

std::optional<double> read_double(std::string_view s) {
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

bool same_double(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::int64_t mktime_seconds(const tessim::CivilTime& t) {
    std::tm tm = civil_tm(t);
    return static_cast<std::int64_t>(std::mktime(&tm));
}

constexpr const char* zones[] = {"UTC0",          "America/Sao_Paulo",
                                 "Europe/Berlin", "Australia/Lord_Howe",
                                 "Pacific/Apia",  "America/St_Johns"};

// A RowChecker refuses exactly the values a RowWriter refuses, with the same message, in a
// column that is the designated timestamp or not. Kept from one input to the next (a local-
// time converter is large to set up); each checker has a writer of its own that is given
// the same values in the same order, so that their caches of the zone, stale or not, agree.
struct Agreement {
    RowShape shapes[2] = {RowShape("t", {"v"}), RowShape("t", {"v"}, "v")};
    LineEncoder encoders[2];
    RowChecker checkers[2] = {RowChecker(shapes[0]), RowChecker(shapes[1])};

    void check(const ColumnValue& value, std::string_view input) {
        const auto refusal = [](auto&& judge) { return fuzz::refusal<IngressError>(judge); };
        for (int d = 0; d < 2; ++d)
            FUZZ_CHECK(refusal([&] {
                           RowWriter row = encoders[d].begin_row(shapes[d]);
                           put(row, 0, value);
                       }) == refusal([&] { put(checkers[d], 0, value); }),
                       input);
    }
};

constexpr std::size_t max_columns = 6;
constexpr std::size_t max_name = 140;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    FuzzedDataProvider fdp(data, size);
    setenv("TZ", zones[fdp.ConsumeIntegralInRange<std::size_t>(0, std::size(zones) - 1)], 1);
    tzset();
    tessim::LocalClock clock;  // the zone differs from one input to the next

    static std::array<std::array<char, max_name>, max_columns + 1> pool;
    LineEncoder encoder;
    static Agreement agreement;
    for (int row = 0; row < 12 && fdp.remaining_bytes() > 0; ++row) {
        const auto store = [&](std::size_t slot, const std::string& s) {
            std::memcpy(pool[slot].data(), s.data(), s.size());
            return std::string_view(pool[slot].data(), s.size());
        };
        std::optional<TableName> table;
        try {
            table.emplace(store(max_columns, fdp.ConsumeRandomLengthString(max_name)));
        } catch (const IngressError& e) {
            FUZZ_CHECK(e.code() == ErrorCode::invalid_name || e.code() == ErrorCode::invalid_utf8,
                       input);
            continue;
        }

        // Value bytes must outlive the row; reserve so that the views stay put.
        std::vector<std::string> texts;
        texts.reserve(max_columns);
        std::vector<Column> columns;
        std::vector<Expected> expected;
        std::vector<bool> is_null;
        const std::size_t n = fdp.ConsumeIntegralInRange<std::size_t>(0, max_columns);
        for (std::size_t c = 0; c < n; ++c) {
            std::optional<ColumnName> name;
            try {
                name.emplace(store(c, fdp.ConsumeRandomLengthString(max_name)));
            } catch (const IngressError& e) {
                FUZZ_CHECK(
                    e.code() == ErrorCode::invalid_name || e.code() == ErrorCode::invalid_utf8,
                    input);
                continue;
            }
            Expected x{std::string(name->view()), {}, false, std::nullopt};
            ColumnValue value;
            switch (fdp.ConsumeIntegralInRange(0, 7)) {
                case 0:
                    break;
                case 1: {
                    const auto v = fdp.ConsumeIntegral<std::int64_t>();
                    value = v;
                    x.value = std::to_string(v) + "i";
                    break;
                }
                case 2: {
                    double v;
                    const auto bits = fdp.ConsumeIntegral<std::uint64_t>();
                    std::memcpy(&v, &bits, sizeof v);
                    value = v;
                    x.number = v;
                    break;
                }
                case 3: {
                    const std::string& d = texts.emplace_back(fdp.ConsumeRandomLengthString(40));
                    value = Decimal{d};
                    x.number =
                        read_double(!d.empty() && d.front() == '+' ? std::string_view(d).substr(1)
                                                                   : std::string_view(d));
                    if (!plain_decimal(d)) x.number = std::nullopt;
                    x.value = d;
                    break;
                }
                case 4: {
                    const std::string& t = texts.emplace_back(fdp.ConsumeRandomLengthString(300));
                    value = Text{t};
                    x.value = t;
                    x.is_text = true;
                    break;
                }
                case 5: {
                    // A local date-time goes through the program's clock, which must agree
                    // with mktime, and reaches the encoder as the instant it names.
                    tessim::CivilTime t;
                    t.year = fdp.ConsumeIntegralInRange(-2, 10001);
                    t.month = fdp.ConsumeIntegralInRange(0, 13);
                    t.day = fdp.ConsumeIntegralInRange(0, 32);
                    t.hour = fdp.ConsumeIntegralInRange(-1, 24);
                    t.minute = fdp.ConsumeIntegralInRange(-1, 60);
                    t.second = fdp.ConsumeIntegralInRange(-1, 60);
                    t.microsecond = fdp.ConsumeIntegralInRange(-1, 1000000);
                    const std::optional<std::int64_t> seconds = clock.epoch_seconds(t);
                    if (!tessim::is_calendar_time(t) || !seconds) break;
                    FUZZ_CHECK(*seconds == mktime_seconds(t), input);
                    value = TimestampMicros(*seconds * 1000000 + t.microsecond);
                    x.value = std::to_string(*seconds * 1000000 + t.microsecond) + "t";
                    break;
                }
                case 6: {
                    const auto v = fdp.ConsumeIntegral<std::int64_t>();
                    value = TimestampMicros(v);
                    x.value = std::to_string(v) + "t";
                    break;
                }
                default: {
                    const auto v = fdp.ConsumeIntegral<std::int64_t>();
                    value = TimestampNanos(v);
                    x.value =
                        std::to_string(TimestampMicros::from_nanos(TimestampNanos(v)).as_i64()) +
                        "t";
                    break;
                }
            }
            agreement.check(value, input);
            is_null.push_back(value.is_null());
            columns.emplace_back(*name, value);
            expected.push_back(std::move(x));
        }
        const auto at = fdp.ConsumeIntegral<std::int64_t>();

        const std::string before(encoder.data());
        const std::size_t rows_before = encoder.rows();
        try {
            add_row(encoder, *table, columns, TimestampNanos(at));
        } catch (const IngressError&) {
            FUZZ_CHECK(encoder.data() == before && encoder.rows() == rows_before, input);
            continue;
        }
        FUZZ_CHECK(encoder.rows() == rows_before + 1, input);
        const std::string_view all = encoder.data();
        FUZZ_CHECK(all.size() > before.size() && all.substr(0, before.size()) == before, input);
        const std::string_view line = all.substr(before.size());
        FUZZ_CHECK(line.back() == '\n', input);

        const std::optional<Decoded> d = decode(line.substr(0, line.size() - 1));
        FUZZ_CHECK(d.has_value(), input);
        FUZZ_CHECK(d->table == table->view(), input);
        FUZZ_CHECK(d->at == std::to_string(at), input);
        std::size_t f = 0;
        for (std::size_t c = 0; c < expected.size(); ++c) {
            if (is_null[c]) continue;
            FUZZ_CHECK(f < d->fields.size(), input);
            const Field& got = d->fields[f++];
            const Expected& want = expected[c];
            FUZZ_CHECK(got.name == want.name, input);
            FUZZ_CHECK(got.quoted == want.is_text, input);
            if (want.is_text) {
                FUZZ_CHECK(fuzz::is_utf8(want.value), input);
                FUZZ_CHECK(want.value.find('\0') == std::string::npos, input);
            }
            if (want.number || std::holds_alternative<double>(columns[c].second.get()) ||
                std::holds_alternative<Decimal>(columns[c].second.get())) {
                FUZZ_CHECK(want.number.has_value(), input);
                const std::optional<double> v = read_double(got.value);
                FUZZ_CHECK(v && same_double(*v, *want.number), input);
                FUZZ_CHECK(got.value.find_first_of(".e") != std::string::npos, input);
            } else {
                FUZZ_CHECK(got.value == want.value, input);
            }
        }
        FUZZ_CHECK(f == d->fields.size() && f > 0, input);
        // QuestDB keeps only the first of two same-named fields: the encoder must refuse.
        for (std::size_t a = 0; a < d->fields.size(); ++a) {
            for (std::size_t b = 0; b < a; ++b) {
                FUZZ_CHECK(d->fields[a].name != d->fields[b].name, input);
            }
        }
    }
    return 0;
}
