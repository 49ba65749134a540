#include "store/ingestao.hpp"

#include <sys/time.h>

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>
#include <system_error>

#include "ingress/errors.hpp"
#include "ingress/sender.hpp"
#include "process/console.hpp"
#include "store/printed_form.hpp"
#include "store/run_query.hpp"

namespace tessim {
namespace {

using Json = nlohmann::ordered_json;

// The row's columns in the order they are handed over, with the macro key each one reads;
// the 32nd column carries the run timestamp.
struct ColunaLinha {
    std::string_view coluna;
    std::string_view chave;
};
constexpr std::array<ColunaLinha, 31> kColunasLinha = {{
    {"idServico", "{#ID_SERVICO}"},
    {"idCliente", "{#ID_CLIENTE}"},
    {"nomeCliente", "{#NOME_CLIENTE}"},
    {"cpf", "{#CPF_CLIENTE}"},
    {"cnpj", "{#CNPJ_CLIENTE}"},
    {"bairro", "{#BAIRRO}"},
    {"cidade", "{#CIDADE}"},
    {"estado", "{#ESTADO}"},
    {"statusCliente", "{#STATUS_CLIENTE}"},
    {"ativo", "{#ATIVO}"},
    {"dataInstalacao", "{#DATA_INSTALACAO}"},
    {"dataCadastro", "{#DATA_CADASTRO}"},
    {"diaVencimento", "{#DIA_VENCIMENTO}"},
    {"dataRescisao", "{#DATA_RESCISAO}"},
    {"dataSuspensao", "{#DATA_SUSPENSAO}"},
    {"dataFinalFidelidade", "{#DATA_FINAL_FIDELIDADE}"},
    {"motivoSuspensao", "{#MOTIVO_SUSPENSAO}"},
    {"motivoRescisao", "{#MOTIVO_RESCISAO}"},
    {"ruc", "{#RUC}"},
    {"tipoPessoa", "{#TIPO_PESSOA}"},
    {"nomeEmpresa", "{#NOME_EMPRESA}"},
    {"nomePlano", "{#NOME_PLANO}"},
    {"valorPlano", "{#VALOR_PLANO}"},
    {"nomeVendedor", "{#NOME_VENDEDOR}"},
    {"dataNascimento", "{#DATA_NASCIMENTO}"},
    {"titulosAtraso", "{#TITULOS_ATRASO}"},
    {"valorAtraso", "{#VALOR_ATRASO}"},
    {"dataAtraso", "{#DATA_ATRASO}"},
    {"isento", "{#ISENTO}"},
    {"dataVencimentoContrato", "{#DATA_VENCIMENTO_CONTRATO}"},
    {"contratosSemAssinatura", "{#CONTRATOS_SEM_ASSINATURA}"},
}};
constexpr std::string_view kColunaTimestamp = "timestamp";

enum class Familia { inteiro, flutuante, texto, tempo, outra };

struct Inteiros {
    std::int64_t min, max;
};

// QuestDB keeps the smallest INT and LONG as their null, so those values would come back
// as null: they are out of range here.
std::optional<Inteiros> faixa_inteira(std::string_view tipo) {
    if (tipo == "BYTE") return Inteiros{-128, 127};
    if (tipo == "SHORT") return Inteiros{-32768, 32767};
    if (tipo == "INT") return Inteiros{-2147483647, 2147483647};
    if (tipo == "LONG")
        return Inteiros{std::numeric_limits<std::int64_t>::min() + 1,
                        std::numeric_limits<std::int64_t>::max()};
    return std::nullopt;
}

Familia familia(std::string_view tipo) {
    if (faixa_inteira(tipo)) return Familia::inteiro;
    if (tipo == "DOUBLE" || tipo == "FLOAT") return Familia::flutuante;
    if (tipo == "STRING" || tipo == "VARCHAR" || tipo == "SYMBOL") return Familia::texto;
    if (tipo == "TIMESTAMP" || tipo == "DATE") return Familia::tempo;
    return Familia::outra;
}

// A date or date-time as the database delivered it: a field the normalisation keeps as read,
// or a date whose fields mktime carried outside the calendar. It still has to go through the
// local zone.
struct DataLocal {
    CivilTime t;
};

// Microseconds since the epoch of a local wall time; refused (without the table and column,
// which the caller adds) when it is not a calendar time or mktime cannot convert it.
std::int64_t micros_locais(const CivilTime& t, LocalClock& relogio) {
    auto recusa = [&t](const char* porque) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%06d", t.year, t.month, t.day,
                      t.hour, t.minute, t.second, t.microsecond);
        return ingress::IngressError(ingress::ErrorCode::invalid_value,
                                     std::string("local date-time ") + buf + porque);
    };
    if (!is_calendar_time(t)) throw recusa(" is not a calendar time");
    const std::optional<std::int64_t> segundos = relogio.epoch_seconds(t);
    if (!segundos) throw recusa(" cannot be converted by mktime");
    return *segundos * 1000000 + t.microsecond;
}

std::optional<std::int64_t> inteiro_de_texto(std::string_view s) {
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
std::optional<std::int64_t> inteiro_de_decimal(std::string_view digits) {
    const auto ponto = digits.find('.');
    if (ponto != std::string_view::npos) {
        if (digits.find_first_not_of('0', ponto + 1) != std::string_view::npos) return std::nullopt;
        digits = digits.substr(0, ponto);
    }
    if (digits == "-" || digits.empty()) return 0;
    return inteiro_de_texto(digits);
}

std::optional<std::int64_t> inteiro_de_double(double d) {
    // Doubles from -2^63 up to but excluding 2^63 fit; anything with a fraction does not.
    if (!std::isfinite(d) || d != std::trunc(d) || d < -9223372036854775808.0 ||
        d >= 9223372036854775808.0)
        return std::nullopt;
    return static_cast<std::int64_t>(d);
}

// Integers up to 2^53 in magnitude are exact doubles.
std::optional<double> double_de_inteiro(std::int64_t v) {
    constexpr std::int64_t limite = std::int64_t{1} << 53;
    if (v < -limite || v > limite) return std::nullopt;
    return static_cast<double>(v);
}

std::optional<double> double_de_texto(std::string_view s) {
    double d = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(d)) return std::nullopt;
    return d;
}

// A text made by the conversion itself (an integer's digits, for instance): it lives only
// during the call that receives it.
struct TextoFeito {
    std::string_view bytes;
};

// Hands `poe` a non-null `v` as it stands, the form a column of its own kind takes.
template <class Poe>
bool natural(const Value& v, Poe&& poe) {
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
            poe(DataLocal{v.time()});
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
// TextoFeito, ingress::TimestampMicros and DataLocal.
template <class Poe>
bool converte_para(const Value& v, Familia fam, const Inteiros& faixa, Poe&& poe) {
    switch (fam) {
        case Familia::inteiro: {
            std::optional<std::int64_t> n;
            switch (v.kind()) {
                case Kind::integer:
                    n = v.integer();
                    break;
                case Kind::text:
                    n = inteiro_de_texto(v.text());
                    break;
                case Kind::decimal:
                    n = inteiro_de_decimal(v.text());
                    break;
                case Kind::floating:
                    n = inteiro_de_double(v.floating());
                    break;
                default:
                    break;
            }
            if (!n || *n < faixa.min || *n > faixa.max) return false;
            poe(*n);
            return true;
        }
        case Familia::flutuante:
            switch (v.kind()) {
                case Kind::floating:
                case Kind::decimal:
                    return natural(v, poe);
                case Kind::integer:
                    if (auto d = double_de_inteiro(v.integer())) {
                        poe(*d);
                        return true;
                    }
                    return false;
                case Kind::text:
                    if (auto d = double_de_texto(v.text())) {
                        poe(*d);
                        return true;
                    }
                    return false;
                default:
                    return false;
            }
        case Familia::texto:
            switch (v.kind()) {
                case Kind::text:
                    return natural(v, poe);
                case Kind::decimal:
                    poe(TextoFeito{v.text()});
                    return true;
                case Kind::integer: {
                    char buf[24];
                    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v.integer());
                    poe(TextoFeito{std::string_view(buf, static_cast<std::size_t>(end - buf))});
                    return true;
                }
                case Kind::floating: {
                    if (!std::isfinite(v.floating())) return false;
                    const std::string impresso = printed_float(v.floating());
                    poe(TextoFeito{impresso});
                    return true;
                }
                default:
                    return false;
            }
        case Familia::tempo:
            if (v.kind() != Kind::date && v.kind() != Kind::datetime && v.kind() != Kind::instant)
                return false;
            return natural(v, poe);
        case Familia::outra:
            return natural(v, poe);
    }
    return false;
}

std::string descreve(const Value& v) {
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

std::string id_servico(const DiscoveryEntry& contrato) {
    const Value& id = contrato.at("{#ID_SERVICO}");
    if (id.kind() == Kind::integer) return std::to_string(id.integer());
    return descreve(id);
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

std::string configuracao_sender(std::string_view quest_db_ip, std::string_view quest_db_port) {
    std::string conf = "http::addr=";
    conf.append(quest_db_ip).append(":").append(quest_db_port);
    conf.append(";username=").append(kQuestDbUser);
    conf.append(";password=").append(kQuestDbPassword).append(";");
    return conf;
}

namespace {

[[noreturn]] void nao_cabe(const Value& valor, std::string_view tipo) {
    throw ConversaoError("o valor " + descreve(valor) + " não cabe numa coluna " +
                         std::string(tipo));
}

}  // namespace

ingress::ColumnValue valor_para_coluna(const Value& valor, std::string_view tipo,
                                       std::string& scratch) {
    if (valor.is_null()) return ingress::Null{};
    std::optional<ingress::ColumnValue> convertido;
    auto guarda = [&](auto forma) {
        if constexpr (std::is_same_v<decltype(forma), TextoFeito>) {
            scratch.assign(forma.bytes);
            convertido.emplace(ingress::Text{scratch});
        } else if constexpr (std::is_same_v<decltype(forma), DataLocal>) {
            LocalClock relogio;
            convertido.emplace(ingress::TimestampMicros(micros_locais(forma.t, relogio)));
        } else {
            convertido.emplace(forma);
        }
    };
    const Inteiros faixa = faixa_inteira(tipo).value_or(Inteiros{0, 0});
    if (!converte_para(valor, familia(tipo), faixa, guarda)) nao_cabe(valor, tipo);
    return *convertido;
}

namespace {

ingress::RowShape forma_da_linha() {
    std::vector<ingress::ColumnName> nomes;
    nomes.reserve(kColumnCount);
    for (const ColunaLinha& c : kColunasLinha) nomes.emplace_back(c.coluna);
    nomes.emplace_back(kColunaTimestamp);
    return ingress::RowShape(kTable, nomes, kDesignatedColumn);
}

}  // namespace

MontagemLinha prepara_linhas(const std::vector<std::pair<std::string, std::string>>& existentes,
                             std::int64_t timestamp) {
    MontagemLinha m{.declarado = {},
                    .familia = {},
                    .minimo = {},
                    .maximo = {},
                    .indices = {},
                    .timestamp = timestamp,
                    .forma = forma_da_linha(),
                    .relogio = {}};
    for (std::size_t i = 0; i < kColunasLinha.size(); ++i)
        m.indices[i] = macro_index(kColunasLinha[i].chave);
    // Declared type of every column we write: what the table says, else the catalogue.
    for (std::size_t i = 0; i < kColumnCount; ++i) {
        for (const auto& c : catalogo_colunas)
            if (c.nome == m.forma.column(i)) m.declarado[i] = std::string(c.tipo);
    }
    for (const auto& [nome, tipo] : existentes)
        for (std::size_t i = 0; i < kColumnCount; ++i)
            if (m.forma.column(i) == nome) m.declarado[i] = tipo;
    for (std::size_t i = 0; i < kColumnCount; ++i) {
        m.familia[i] = static_cast<std::uint8_t>(familia(m.declarado[i]));
        const Inteiros faixa = faixa_inteira(m.declarado[i]).value_or(Inteiros{0, 0});
        m.minimo[i] = faixa.min;
        m.maximo[i] = faixa.max;
    }
    return m;
}

template <class Linha>
void escreve_linha(const MontagemLinha& m, const DiscoveryEntry& contrato, Linha& linha) {
    for (std::size_t i = 0; i < kColunasLinha.size(); ++i) {
        const Value& valor = contrato.values[m.indices[i]];
        if (valor.is_null()) continue;
        auto poe = [&](auto forma) {
            if constexpr (std::is_same_v<decltype(forma), TextoFeito>) {
                linha.column(i, ingress::Text{forma.bytes});
            } else if constexpr (std::is_same_v<decltype(forma), DataLocal>) {
                std::int64_t micros = 0;
                try {
                    micros = micros_locais(forma.t, m.relogio);
                } catch (const ingress::IngressError& e) {
                    throw ingress::IngressError(
                        e.code(), "table \"" + ingress::printable(m.forma.table()) +
                                      "\", column \"" + ingress::printable(m.forma.column(i)) +
                                      "\": " + e.what());
                }
                linha.column(i, ingress::TimestampMicros(micros));
            } else {
                linha.column(i, forma);
            }
        };
        try {
            if (!converte_para(valor, static_cast<Familia>(m.familia[i]),
                               Inteiros{m.minimo[i], m.maximo[i]}, poe))
                nao_cabe(valor, m.declarado[i]);
        } catch (const ConversaoError& e) {
            throw ConversaoError("contrato idServico=" + id_servico(contrato) + ", coluna " +
                                 std::string(m.forma.column(i)) + ": " + e.what());
        } catch (const ingress::IngressError& e) {
            // A value the client refuses before the wire (a NUL byte, ill-formed UTF-8)
            // names its column; the operator also needs the contract to mend it.
            throw ingress::IngressError(
                e.code(), "contrato idServico=" + id_servico(contrato) + ": " + e.what());
        }
    }
    // The run's time as a time value: an integer would be read as microseconds.
    linha.column(kColunasLinha.size(), ingress::TimestampNanos(m.timestamp));
}

template void escreve_linha(const MontagemLinha&, const DiscoveryEntry&, ingress::RowWriter&);
template void escreve_linha(const MontagemLinha&, const DiscoveryEntry&, ingress::RowChecker&);

namespace {

// The failure on one line of standard error: the server's reason can span several lines,
// and a caller reading the last line of the output must see all of it.
void relata_falha(const std::exception& e) {
    std::string linha = std::string("Erro: ") + e.what();
    while (!linha.empty() && std::isspace(static_cast<unsigned char>(linha.back())))
        linha.pop_back();
    for (char& c : linha)
        if (c == '\n' || c == '\r') c = ' ';
    tavmolibrary::process_library::print_error_line(linha);
}

}  // namespace

bool confereValores(const DescobertaClientesDB& lista,
                    const std::vector<std::pair<std::string, std::string>>& declaradas) {
    try {
        const MontagemLinha montagem = prepara_linhas(declaradas, 0);
        ingress::RowChecker linha(montagem.forma);
        for (const DiscoveryEntry& contrato : lista.entries)
            escreve_linha(montagem, contrato, linha);
    } catch (const ConversaoError& e) {
        relata_falha(e);
        return false;
    } catch (const ingress::IngressError& e) {
        relata_falha(e);
        return false;
    }
    return true;
}

Ingestao faseIngestao(const DescobertaClientesDB& lista, const ConsultaQuestDB& consulta,
                      const std::string& conf_sender) {
    const std::int64_t timestamp = get_timestamp();
    try {
        const std::optional<Json> lista_colunas = consulta(std::string(kShowColumns));
        if (!lista_colunas)
            throw std::runtime_error("sem resposta a SHOW COLUMNS na verificação final");
        // Missing "dataset" (the table is still missing) is not an ingestion failure: it
        // throws through, and nothing is written.
        if (lista_colunas->at("dataset").empty()) return Ingestao::entregue;

        const MontagemLinha montagem =
            prepara_linhas(colunas_existentes(*lista_colunas), timestamp);

        auto sender = ingress::Sender::from_conf(conf_sender);
        sender.write_rows(montagem.forma, lista.entries.size(),
                          [&](std::size_t i, ingress::RowWriter& linha) {
                              escreve_linha(montagem, lista.entries[i], linha);
                              return ingress::TimestampNanos::now();
                          });
        sender.close();
    } catch (const ingress::IngressError& e) {
        relata_falha(e);
        return Ingestao::falhou;
    } catch (const ConversaoError& e) {
        // Only when a column's declared type changed since confereValores looked.
        relata_falha(e);
        return Ingestao::falhou;
    }
    return Ingestao::entregue;
}

}  // namespace tessim
