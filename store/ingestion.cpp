#include "store/ingestion.hpp"

#include <sys/time.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>
#include <system_error>

#include "core/failure.hpp"
#include "ingress/errors.hpp"
#include "ingress/sender.hpp"
#include "store/printed_form.hpp"
#include "store/run_query.hpp"

namespace tessim {
namespace {

using Json = nlohmann::ordered_json;

enum class Family { integer, floating, text, time, other };

struct IntRange {
    std::int64_t min, max;
};

// QuestDB keeps the smallest INT and LONG as their null, so those values would come back
// as null: they are out of range here.
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

// A date or date-time as the database delivered it: a field the normalisation keeps as read,
// or a date whose fields mktime carried outside the calendar. It still has to go through the
// local zone.
struct LocalDate {
    CivilTime t;
};

// Microseconds since the epoch of a local wall time; refused (without the table and column,
// which the caller adds) when it is not a calendar time or mktime cannot convert it.
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

// Digits of an exact decimal whose fraction is all zeros, as an integer.
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

// Integers up to 2^53 in magnitude are exact doubles.
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

// A text made by the conversion itself (an integer's digits, for instance): it lives only
// during the call that receives it.
struct MadeText {
    std::string_view bytes;
};

// Hands `poe` a non-null `v` as it stands, the form a column of its own kind takes.
template <class Poe>
bool in_own_kind(const Value& v, Poe&& poe) {
    switch (v.kind()) {
        case Kind::integer:
            poe(v.integer());
            return true;
        case Kind::floating:
            poe(v.floating());
            return true;
        case Kind::decimal:
            poe(ingress::Decimal{v.text()});
            return true;
        case Kind::text:
            poe(ingress::Text{v.text()});
            return true;
        case Kind::date:
        case Kind::datetime:
            poe(LocalDate{v.time()});
            return true;
        case Kind::instant:
            poe(ingress::TimestampMicros(v.instant()));
            return true;
        default:
            return false;
    }
}

// Hands `poe` the form of a non-null `v` that a column of family `fam` (and, for integers,
// range `faixa`) accepts, and answers true; answers false, without calling `poe`, when there
// is no exact form. `poe` takes std::int64_t, double, ingress::Decimal, ingress::Text,
// MadeText, ingress::TimestampMicros and LocalDate.
template <class Poe>
bool convert_for(const Value& v, Family fam, const IntRange& faixa, Poe&& poe) {
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
            if (!n || *n < faixa.min || *n > faixa.max) return false;
            poe(*n);
            return true;
        }
        case Family::floating:
            switch (v.kind()) {
                case Kind::floating:
                case Kind::decimal:
                    return in_own_kind(v, poe);
                case Kind::integer:
                    if (auto d = double_from_int(v.integer())) {
                        poe(*d);
                        return true;
                    }
                    return false;
                case Kind::text:
                    if (auto d = double_from_text(v.text())) {
                        poe(*d);
                        return true;
                    }
                    return false;
                default:
                    return false;
            }
        case Family::text:
            switch (v.kind()) {
                case Kind::text:
                    return in_own_kind(v, poe);
                case Kind::decimal:
                    poe(MadeText{v.text()});
                    return true;
                case Kind::integer: {
                    char buf[24];
                    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v.integer());
                    poe(MadeText{std::string_view(buf, static_cast<std::size_t>(end - buf))});
                    return true;
                }
                case Kind::floating: {
                    if (!std::isfinite(v.floating())) return false;
                    const std::string impresso = printed_float(v.floating());
                    poe(MadeText{impresso});
                    return true;
                }
                default:
                    return false;
            }
        case Family::time:
            if (v.kind() != Kind::date && v.kind() != Kind::datetime && v.kind() != Kind::instant)
                return false;
            return in_own_kind(v, poe);
        case Family::other:
            return in_own_kind(v, poe);
    }
    return false;
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

std::string service_id(const DiscoveryEntry& contrato) {
    const Value& id = contrato[idServico];
    if (id.kind() == Kind::integer) return std::to_string(id.integer());
    return describe(id);
}

}  // namespace

std::int64_t get_timestamp() {
    timeval agora{};
    gettimeofday(&agora, nullptr);
    std::tm local{};
    if (!localtime_r(&agora.tv_sec, &local))
        throw std::system_error(errno, std::generic_category(), "localtime");
    // Back through the local time zone. The daylight-saving flag that localtime gave is
    // kept, so that the repeated hour at the end of summer time maps back to the instant
    // it came from and not to the other one.
    const std::time_t segundos = std::mktime(&local);
    const double epoch =
        static_cast<double>(segundos) + static_cast<double>(agora.tv_usec) / 1000000.0;
    return static_cast<std::int64_t>(epoch * 1000000000.0);
}

std::string sender_conf(std::string_view quest_db_ip, std::string_view quest_db_port) {
    std::string conf = "http::addr=";
    conf.append(quest_db_ip).append(":").append(quest_db_port);
    conf.append(";username=").append(kQuestDbUser);
    conf.append(";password=").append(kQuestDbPassword).append(";");
    return conf;
}

namespace {

[[noreturn]] void does_not_fit(const Value& valor, std::string_view tipo) {
    throw ConversionError("o valor " + describe(valor) + " não cabe numa coluna " +
                          std::string(tipo));
}

}  // namespace

ingress::ColumnValue value_for_column(const Value& valor, std::string_view tipo,
                                      std::string& scratch) {
    if (valor.is_null()) return ingress::Null{};
    std::optional<ingress::ColumnValue> convertido;
    auto guarda = [&](auto forma) {
        if constexpr (std::is_same_v<decltype(forma), MadeText>) {
            scratch.assign(forma.bytes);
            convertido.emplace(ingress::Text{scratch});
        } else if constexpr (std::is_same_v<decltype(forma), LocalDate>) {
            LocalClock clock;
            convertido.emplace(ingress::TimestampMicros(local_micros(forma.t, clock)));
        } else {
            convertido.emplace(forma);
        }
    };
    const IntRange faixa = int_range(tipo).value_or(IntRange{0, 0});
    if (!convert_for(valor, family_of(tipo), faixa, guarda)) does_not_fit(valor, tipo);
    return *convertido;
}

namespace {

ingress::RowShape row_shape() {
    std::vector<ingress::ColumnName> nomes;
    nomes.reserve(kColumnCount);
    for (const std::size_t f : kRowOrder) nomes.emplace_back(kFields[f].column);
    nomes.emplace_back(kRunTimestampColumn);
    return ingress::RowShape(kTable, nomes, kDesignatedColumn);
}

}  // namespace

RowPlan plan_rows(const std::vector<std::pair<std::string, std::string>>& existentes,
                  std::int64_t timestamp) {
    RowPlan m{.declared = {},
              .family = {},
              .minimum = {},
              .maximum = {},
              .timestamp = timestamp,
              .shape = row_shape(),
              .clock = {}};
    // Declared type of every column we write: what the table says, else the one the
    // creation statement gives it.
    for (std::size_t i = 0; i < kFieldCount; ++i)
        m.declared[i] = std::string(type_of(kFields[kRowOrder[i]].clause));
    m.declared[kFieldCount] = std::string(type_of(kRunTimestampClause));
    for (const auto& [nome, tipo] : existentes)
        for (std::size_t i = 0; i < kColumnCount; ++i)
            if (m.shape.column(i) == nome) m.declared[i] = tipo;
    for (std::size_t i = 0; i < kColumnCount; ++i) {
        m.family[i] = static_cast<std::uint8_t>(family_of(m.declared[i]));
        const IntRange faixa = int_range(m.declared[i]).value_or(IntRange{0, 0});
        m.minimum[i] = faixa.min;
        m.maximum[i] = faixa.max;
    }
    return m;
}

template <class Linha>
void write_row(const RowPlan& m, const DiscoveryEntry& contrato, Linha& linha) {
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const Value& valor = contrato[kRowOrder[i]];
        if (valor.is_null()) continue;
        auto poe = [&](auto forma) {
            if constexpr (std::is_same_v<decltype(forma), MadeText>) {
                linha.column(i, ingress::Text{forma.bytes});
            } else if constexpr (std::is_same_v<decltype(forma), LocalDate>) {
                std::int64_t micros = 0;
                try {
                    micros = local_micros(forma.t, m.clock);
                } catch (const ingress::IngressError& e) {
                    throw ingress::IngressError(
                        e.code(), "table \"" + ingress::printable(m.shape.table()) +
                                      "\", column \"" + ingress::printable(m.shape.column(i)) +
                                      "\": " + e.what());
                }
                linha.column(i, ingress::TimestampMicros(micros));
            } else {
                linha.column(i, forma);
            }
        };
        try {
            if (!convert_for(valor, static_cast<Family>(m.family[i]),
                             IntRange{m.minimum[i], m.maximum[i]}, poe))
                does_not_fit(valor, m.declared[i]);
        } catch (const ConversionError& e) {
            throw ConversionError("contrato idServico=" + service_id(contrato) + ", coluna " +
                                  std::string(m.shape.column(i)) + ": " + e.what());
        } catch (const ingress::IngressError& e) {
            // A value the client refuses before the wire (a NUL byte, ill-formed UTF-8)
            // names its column; the operator also needs the contract to mend it.
            throw ingress::IngressError(
                e.code(), "contrato idServico=" + service_id(contrato) + ": " + e.what());
        }
    }
    // The run's time as a time value: an integer would be read as microseconds.
    linha.column(kFieldCount, ingress::TimestampNanos(m.timestamp));
}

template void write_row(const RowPlan&, const DiscoveryEntry&, ingress::RowWriter&);
template void write_row(const RowPlan&, const DiscoveryEntry&, ingress::RowChecker&);

void check_values(const DiscoveryList& lista,
                  const std::vector<std::pair<std::string, std::string>>& declaradas) {
    try {
        const RowPlan montagem = plan_rows(declaradas, 0);
        ingress::RowChecker linha(montagem.shape);
        for (const DiscoveryEntry& contrato : lista.entries) write_row(montagem, contrato, linha);
    } catch (const ConversionError& e) {
        throw StoreFailure(e.what());
    } catch (const ingress::IngressError& e) {
        throw StoreFailure(e.what());
    }
}

void ingestion_phase(const DiscoveryList& lista, const QuestDbQuery& consulta,
                     const std::string& conf_sender) {
    const std::int64_t timestamp = get_timestamp();
    try {
        const std::optional<Json> lista_colunas = consulta(std::string(kShowColumns));
        if (!lista_colunas)
            throw std::runtime_error("sem resposta a SHOW COLUMNS na verificação final");
        // Missing "dataset" (the table is still missing) is not an ingestion failure: it
        // throws through, and nothing is written.
        if (lista_colunas->at("dataset").empty()) return;

        const RowPlan montagem = plan_rows(existing_columns(*lista_colunas), timestamp);

        auto sender = ingress::Sender::from_conf(conf_sender);
        sender.write_rows(montagem.shape, lista.entries.size(),
                          [&](std::size_t i, ingress::RowWriter& linha) {
                              write_row(montagem, lista.entries[i], linha);
                              return ingress::TimestampNanos::now();
                          });
        sender.close();
    } catch (const ingress::IngressError& e) {
        throw StoreFailure(e.what());
    } catch (const ConversionError& e) {
        // Only when a column's declared type changed since check_values looked.
        throw StoreFailure(e.what());
    }
}

}  // namespace tessim
