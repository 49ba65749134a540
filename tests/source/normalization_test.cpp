#include "source/normalization.hpp"

#include "tests/support/civil_tm.hpp"
#include "tests/support/normalized.hpp"
#include "tests/support/tz_guard.hpp"
#include "tests/support/value_equality.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace tessim {
namespace {

CustomerRecord raw_record() {
    CustomerRecord r{};
    r[idServico] = Value::of_integer(7);
    r[diaVencimento] = Value::of_integer(10);
    return r;
}

Value text(std::string_view s) {
    return Value::of_text(s);
}
Value dec(std::string_view s) {
    return Value::of_decimal(s);
}

TEST(Normalization, HasAValue) {
    const std::pair<Value, bool> cases[] = {
        {Value::null(), false},
        {text(""), false},
        {Value::of_integer(0), false},
        {dec("0.00"), false},
        {dec("-0.0"), false},
        {Value::of_double(0.0), false},
        {Value::of_double(-0.0), false},
        {text(" "), true},
        {text("0"), true},
        {Value::of_integer(-1), true},
        {dec("0.01"), true},
        {Value::of_double(1e-300), true},
        {Value::of_date(1970, 1, 1), true},
    };
    for (const auto& [v, expected] : cases)
        EXPECT_EQ(has_value(v), expected) << kind_name(v.kind()) << " '" << v.text() << "'";
}

TEST(Normalization, TextRepairNullsEmptyAndReusesUnchangedBytes) {
    TextStore texts;
    CustomerRecord raw = raw_record();
    std::string maria = "Maria";
    std::string mojibake = "Jo\xC3\x83\xC2\xA3o";  // "João" decoded as Windows-1252
    raw[nomeCliente] = text(maria);
    raw[bairroCliente] = text("");
    raw[cidadeCliente] = Value::null();
    raw[nomePlano] = text(mojibake);
    raw[nomeEmpresa] = text("   ");
    CustomerRecord n = normalized(raw, texts);
    EXPECT_EQ(n[nomeCliente].text(), "Maria");
    EXPECT_EQ(n[nomeCliente].text().data(), maria.data());  // no copy for unchanged text
    EXPECT_TRUE(n[bairroCliente].is_null());
    EXPECT_TRUE(n[cidadeCliente].is_null());
    EXPECT_EQ(n[nomePlano].text(), "Jo\xC3\xA3o");
    EXPECT_EQ(n[nomeEmpresa].kind(), Kind::text);  // blanks have a value
}

// The CPF (padded to 11 characters) or the CNPJ (to 14) of a record holding `in`, normalised.
Value padded(const Value& in, std::size_t width, TextStore& texts) {
    CustomerRecord raw = raw_record();
    const std::size_t field = width == 11 ? cpfCliente : cnpjCliente;
    raw[field] = in;
    return normalized(raw, texts)[field];
}

// A date field of a record holding `in`, normalised in the zone of the moment.
Value local(const Value& in) {
    CustomerRecord raw = raw_record();
    raw[dataCadastro] = in;
    TextStore texts;
    return normalized(raw, texts)[dataCadastro];
}

TEST(Normalization, ZeroPaddingCountsCharactersAndKeepsTheSign) {
    TextStore texts;
    struct Case {
        Value in;
        std::size_t width;
        std::optional<std::string> out;  // nullopt: the raw value comes back unchanged
    };
    const Case cases[] = {
        {Value::of_integer(1234567890), 11, "01234567890"},
        {text("123456789012"), 11, std::nullopt},
        {text("12345678901"), 11, std::nullopt},
        {Value::null(), 11, std::nullopt},
        {text(""), 11, std::nullopt},
        {Value::of_integer(0), 11, std::nullopt},
        {text("-5"), 11, "-0000000005"},
        {Value::of_integer(-5), 11, "-0000000005"},
        {text("+7"), 11, "+0000000007"},
        {text("191"), 14, "00000000000191"},
        {text("a\xC3\xA7\xC3\xA3o"), 11, "0000000a\xC3\xA7\xC3\xA3o"},  // 4 characters, 6 bytes
        {text(" 1"), 14, "000000000000 1"},
        {Value::of_integer(123456789012345), 14, "123456789012345"},
    };
    for (const Case& c : cases) {
        const Value v = padded(c.in, c.width, texts);
        if (!c.out) {
            EXPECT_EQ(v, c.in) << c.in.text();
            continue;
        }
        EXPECT_EQ(v.kind(), Kind::text);
        EXPECT_EQ(v.text(), *c.out);
    }
    // The raw "-5" must read "-", nine zeros, "5".
    EXPECT_EQ(padded(text("-5"), 11, texts).text(), "-" + std::string(9, '0') + "5");
}

// The instant mktime gives the wall time `c` in the current zone.
Value instant_of(const CivilTime& c) {
    std::tm tm = civil_tm(c);
    return Value::of_instant(static_cast<std::int64_t>(std::mktime(&tm)) * 1000000);
}

class LocalDateTime : public ::testing::TestWithParam<const char*> {};

TEST_P(LocalDateTime, OrdinaryTimesBecomeTheirInstantInWholeSeconds) {
    TzGuard tz(GetParam());
    const std::pair<Value, CivilTime> cases[] = {
        {Value::of_date(2021, 3, 5), {2021, 3, 5, 0, 0, 0, 0}},
        {Value::of_datetime({2021, 3, 5, 14, 7, 9, 250000}), {2021, 3, 5, 14, 7, 9, 0}},
        {Value::of_date(1965, 7, 14), {1965, 7, 14, 0, 0, 0, 0}},
        {Value::of_datetime({1969, 12, 31, 23, 59, 59, 0}), {1969, 12, 31, 23, 59, 59, 0}},
        {Value::of_datetime({2038, 1, 19, 3, 14, 8, 0}), {2038, 1, 19, 3, 14, 8, 0}},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(local(in), instant_of(out)) << out.year << "-" << out.month;
    EXPECT_TRUE(local(Value::null()).is_null());
    EXPECT_TRUE(local(text("")).is_null());
    EXPECT_THROW(local(text("2021-03-05")), DatabaseFailure);
    // A year the calendar lacks stays a local date-time, for the store to refuse.
    const Value year0 = local(Value::of_date(0, 5, 10));
    EXPECT_EQ(year0.kind(), Kind::datetime);
    EXPECT_EQ(year0.time().year, 0);
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalDateTime, ::testing::Values("UTC", "America/Sao_Paulo"));

TEST(Normalization, WallTimesInADaylightSavingGapMoveForward) {
    // On 2018-11-04 clocks in Sao Paulo jumped from 00:00 to 01:00: 00:30 never happened.
    {
        TzGuard tz("America/Sao_Paulo");
        EXPECT_EQ(local(Value::of_datetime({2018, 11, 4, 0, 30, 0, 0})),
                  instant_of({2018, 11, 4, 1, 30, 0, 0}));
        EXPECT_EQ(local(Value::of_date(2018, 11, 4)), instant_of({2018, 11, 4, 1, 0, 0, 0}));
    }
    TzGuard utc("UTC");
    EXPECT_EQ(local(Value::of_datetime({2018, 11, 4, 0, 30, 0, 0})),
              Value::of_instant(1541291400 * std::int64_t{1000000}));
}

TEST(Normalization, DueDayBecomesAnInteger) {
    TextStore texts;
    const std::pair<Value, std::int64_t> ok[] = {
        {Value::of_integer(10), 10},
        {text("10"), 10},
        {text(" 10\t"), 10},
        {text("+5"), 5},
        {text("-3"), -3},
        {dec("15.99"), 15},
        {dec("-3.70"), -3},
        {dec(".5"), 0},
        {Value::of_double(7.9), 7},
        {Value::of_double(-7.9), -7},
    };
    for (const auto& [in, out] : ok) {
        CustomerRecord raw = raw_record();
        raw[diaVencimento] = in;
        EXPECT_EQ(normalized(raw, texts)[diaVencimento], Value::of_integer(out)) << in.text();
    }
    const Value bad[] = {Value::null(),          text(""),    text("dez"),
                         text("10.5"),           text("1 0"), Value::of_date(2021, 1, 10),
                         Value::of_double(1e300)};
    for (const Value& in : bad) {
        CustomerRecord raw = raw_record();
        raw[diaVencimento] = in;
        try {
            normalized(raw, texts);
            ADD_FAILURE() << "accepted " << kind_name(in.kind()) << " '" << in.text() << "'";
        } catch (const DatabaseFailure& e) {
            EXPECT_EQ(e.cause(), DatabaseFailure::Cause::record);
            EXPECT_EQ(e.field(), "diaVencimento") << e.what();
            EXPECT_EQ(e.contract(), "7") << e.what();
        }
    }
}

TEST(Normalization, PriceIsAlwaysADouble) {
    TextStore texts;
    const std::pair<Value, double> cases[] = {
        {Value::null(), 0.0},
        {Value::of_integer(0), 0.0},
        {dec("0.00"), 0.0},
        {dec("99.90"), 99.9},
        {Value::of_integer(100), 100.0},
        {Value::of_double(49.5), 49.5},
        {text(" 49.50 "), 49.5},
        {text(""), 0.0},
        {dec("-1.25"), -1.25},
    };
    for (const auto& [in, out] : cases) {
        CustomerRecord raw = raw_record();
        raw[valorPlano] = in;
        EXPECT_EQ(normalized(raw, texts)[valorPlano], Value::of_double(out)) << in.text();
    }
    CustomerRecord raw = raw_record();
    raw[valorPlano] = text("R$ 10");
    try {
        normalized(raw, texts);
        FAIL() << "read an unreadable price";
    } catch (const DatabaseFailure& e) {
        EXPECT_EQ(e.field(), "valorPlano") << e.what();
    }
}

TEST(Normalization, PassThroughFieldsStayAsRead) {
    TzGuard tz("UTC");
    TextStore texts;
    CustomerRecord raw = raw_record();
    raw[idCliente] = Value::of_integer(42);
    raw[statusCliente] = Value::of_integer(3);
    raw[isento] = Value::of_integer(0);
    raw[tituloAtraso] = Value::of_integer(0);
    raw[valorAtraso] = Value::of_integer(0);  // stays the integer 0, unlike valorPlano
    raw[ativo] = Value::of_integer(1);
    raw[contratosSemAssinatura] = text("");
    raw[ruc] = text("");
    raw[tipoPessoa] = text("F");
    raw[dataCadastro] = Value::of_datetime({2020, 1, 2, 3, 4, 5, 6});
    CustomerRecord n = normalized(raw, texts);
    for (std::size_t f : {idCliente, statusCliente, isento, tituloAtraso, valorAtraso, ativo,
                          idServico, contratosSemAssinatura, ruc, tipoPessoa})
        EXPECT_EQ(n[f], raw[f]) << kFields[f].name;
    EXPECT_EQ(n[valorPlano], Value::of_double(0.0));
    EXPECT_EQ(n[dataCadastro], Value::of_instant(1577934245 * std::int64_t{1000000}));
    raw[valorAtraso] = dec("0.00");
    EXPECT_EQ(normalized(raw, texts)[valorAtraso], dec("0.00"));
}

TEST(Normalization, ABadDateNamesItsField) {
    TextStore texts;
    CustomerRecord raw = raw_record();
    raw[dataRescisao] = text("ontem");
    try {
        normalized(raw, texts);
        FAIL();
    } catch (const DatabaseFailure& e) {
        EXPECT_EQ(e.field(), "dataRescisao") << e.what();
    }
}

}  // namespace
}  // namespace tessim
