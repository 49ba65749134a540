#include "source/normaliza.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>
#include <system_error>

#include "textfix/fix_text.hpp"
#include "utf8/utf8.hpp"

namespace tessim {
namespace {

constexpr std::array<std::string_view, kCampos> kFieldNames = {
    "idCliente",
    "nomeCliente",
    "cpfCliente",
    "cnpjCliente",
    "bairroCliente",
    "cidadeCliente",
    "estadoCliente",
    "statusCliente",
    "dataInstalacao",
    "dataCadastro",
    "diaVencimento",
    "dataRescisao",
    "dataSuspensao",
    "motivoSuspensao",
    "nomeEmpresa",
    "nomePlano",
    "valorPlano",
    "nomeVendedor",
    "dataNascimento",
    "isento",
    "tituloAtraso",
    "valorAtraso",
    "dataPrimeiroAtraso",
    "dataVencimentoContrato",
    "ativo",
    "idServico",
    "contratosSemAssinatura",
    "motivoRescisao",
    "dataFinalFidelidade",
    "ruc",
    "tipoPessoa",
};

bool all_zero_digits(std::string_view digits) {
    for (char c : digits)
        if (c >= '1' && c <= '9') return false;
    return true;
}

std::string_view trim_blanks(std::string_view s) {
    constexpr std::string_view kBlanks = " \t\n\r\f\v";
    std::size_t b = s.find_first_not_of(kBlanks);
    if (b == s.npos) return {};
    return s.substr(b, s.find_last_not_of(kBlanks) - b + 1);
}

// How a value reads in error messages and, for kinds other than text and integer, in the
// zero-padding: texts as they are, numbers in decimal, dates in ISO form.
std::string as_text(const Value& v) {
    char buf[64];
    switch (v.kind()) {
        case Kind::null:
            return "nulo";
        case Kind::text:
        case Kind::decimal:
            return std::string(v.text());
        case Kind::integer: {
            auto r = std::to_chars(buf, buf + sizeof buf, v.integer());
            return std::string(buf, r.ptr);
        }
        case Kind::floating: {
            auto r = std::to_chars(buf, buf + sizeof buf, v.floating());
            return std::string(buf, r.ptr);
        }
        case Kind::date: {
            CivilTime t = v.time();
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
            return buf;
        }
        case Kind::datetime: {
            CivilTime t = v.time();
            int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month,
                                  t.day, t.hour, t.minute, t.second);
            if (t.microsecond) std::snprintf(buf + n, sizeof buf - n, ".%06d", t.microsecond);
            return buf;
        }
        case Kind::instant: {
            auto r = std::to_chars(buf, buf + sizeof buf, v.instant());
            return std::string(buf, r.ptr);
        }
    }
    return {};
}

[[noreturn]] void fail(const CustomerRecord& raw, Campo campo, const std::string& why) {
    throw NormalizationError("campo " + std::string(kFieldNames[campo]) +
                             " do contrato idServico=" + as_text(raw[idServico]) + ": " + why);
}

Value repaired(const Value& v, TextStore& texts, std::string& scratch) {
    if (!tem_valor(v)) return Value::null();
    // Only texts can be mended; a number or date in a text column is left as read.
    if (v.kind() != Kind::text) return v;
    scratch.clear();
    if (!textfix::fix_text_into(v.text(), scratch)) return v;
    return Value::of_text(texts.keep(scratch));
}

std::int64_t whole_day(const CustomerRecord& raw) {
    const Value& v = raw[diaVencimento];
    switch (v.kind()) {
        case Kind::integer:
            return v.integer();
        case Kind::text: {
            std::string_view s = trim_blanks(v.text());
            if (!s.empty() && s[0] == '+') s.remove_prefix(1);
            std::int64_t day = 0;
            auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), day);
            if (s.empty() || ec != std::errc() || end != s.data() + s.size())
                fail(raw, diaVencimento, "'" + std::string(v.text()) + "' não é um inteiro");
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
                fail(raw, diaVencimento, "decimal fora do intervalo: " + as_text(v));
            return negative ? -day : day;
        }
        case Kind::floating: {
            double d = std::trunc(v.floating());
            // 2^63 is exactly representable; anything at or above it does not fit.
            if (!std::isfinite(d) || d < -9223372036854775808.0 || d >= 9223372036854775808.0)
                fail(raw, diaVencimento, "número fora do intervalo: " + as_text(v));
            return static_cast<std::int64_t>(d);
        }
        default:
            fail(raw, diaVencimento, "não é um inteiro: " + as_text(v));
    }
}

double price(const CustomerRecord& raw) {
    const Value& v = raw[valorPlano];
    if (!tem_valor(v)) return 0.0;
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
                fail(raw, valorPlano, "'" + std::string(v.text()) + "' não é um número decimal");
            return d;
        }
        default:
            fail(raw, valorPlano, "não é um número: " + as_text(v));
    }
}

Value local_datetime_of(const CustomerRecord& raw, Campo campo, LocalClock& clock) {
    try {
        return local_datetime(raw[campo], clock);
    } catch (const NormalizationError& e) {
        fail(raw, campo, e.what());
    }
}

}  // namespace

std::string_view field_name(Campo campo) {
    return kFieldNames.at(campo);
}

bool tem_valor(const Value& v) {
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

Value zero_padding(const Value& v, std::size_t width, TextStore& texts) {
    if (!tem_valor(v)) return v;
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

Value local_datetime(const Value& v, LocalClock& clock) {
    if (!tem_valor(v)) return Value::null();
    if (v.kind() != Kind::date && v.kind() != Kind::datetime)
        throw NormalizationError("não é data nem data/hora: " + as_text(v));
    CivilTime c = v.time();
    c.microsecond = 0;
    const std::optional<std::int64_t> seconds = clock.epoch_seconds(c);
    if (!seconds) throw NormalizationError("mktime não converte " + as_text(v));
    if (is_calendar_time(c)) return Value::of_instant(*seconds * 1000000);
    const auto instant = static_cast<std::time_t>(*seconds);
    std::tm local{};
    if (!localtime_r(&instant, &local))
        throw NormalizationError("localtime não converte " + as_text(v));
    return Value::of_datetime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec, 0});
}

CustomerRecord normalizar(const CustomerRecord& raw, TextStore& texts) {
    std::string scratch;
    return normalizar(raw, texts, scratch);
}

CustomerRecord normalizar(const CustomerRecord& raw, TextStore& texts, std::string& scratch) {
    LocalClock clock;
    return normalizar(raw, texts, scratch, clock);
}

CustomerRecord normalizar(const CustomerRecord& raw, TextStore& texts, std::string& scratch,
                          LocalClock& clock) {
    // Field by field: a copy of the whole record first (then mostly overwritten) cost more
    // than the rest of this function's own work.
    CustomerRecord out;
    for (Campo c : {idCliente, statusCliente, isento, tituloAtraso, valorAtraso, ativo, idServico,
                    contratosSemAssinatura, ruc, tipoPessoa})
        out[c] = raw[c];
    auto repair = [&](Campo c) {
        try {
            out[c] = repaired(raw[c], texts, scratch);
        } catch (const std::exception& e) {
            fail(raw, c, std::string("falha no reparo do texto: ") + e.what());
        }
    };
    auto local = [&](Campo c) { out[c] = local_datetime_of(raw, c, clock); };

    repair(nomeCliente);
    out[cpfCliente] = zero_padding(raw[cpfCliente], 11, texts);
    out[cnpjCliente] = zero_padding(raw[cnpjCliente], 14, texts);
    repair(bairroCliente);
    repair(cidadeCliente);
    repair(estadoCliente);
    local(dataInstalacao);
    local(dataCadastro);
    out[diaVencimento] = Value::of_integer(whole_day(raw));
    local(dataRescisao);
    local(dataSuspensao);
    repair(motivoSuspensao);
    repair(nomeEmpresa);
    repair(nomePlano);
    out[valorPlano] = Value::of_double(price(raw));
    repair(nomeVendedor);
    local(dataNascimento);
    local(dataPrimeiroAtraso);
    local(dataVencimentoContrato);
    repair(motivoRescisao);
    local(dataFinalFidelidade);
    return out;
}

}  // namespace tessim
