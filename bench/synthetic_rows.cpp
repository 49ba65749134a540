#include "bench/synthetic_rows.hpp"

#include <iterator>
#include <random>
#include <string>

namespace tessim::bench {

CustomerRows synthetic_rows(std::size_t n, Letters letters) {
    static const char* kNamesUtf8[] = {"Maria da Concei\xC3\xA7\xC3\xA3o",
                                       "Jos\xC3\xA9 Ant\xC3\xB4nio Ribeiro",
                                       "Ana Paula Ribeiro",
                                       "Jo\xC3\x83\xC2\xA3o Batista",  // stored as mojibake
                                       "Francisca Ara\xC3\xBAjo Guimar\xC3\xA3\x65s",
                                       "Luiz Ot\xC3\x83\xC2\xA1vio"};  // stored as mojibake
    static const char* kNamesAscii[] = {"Maria da Conceicao",         "Jose Antonio Ribeiro",
                                        "Ana Paula Ribeiro",          "Joao Batista",
                                        "Francisca Araujo Guimaraes", "Luiz Otavio"};
    static const char* kDistrictsUtf8[] = {"Centro", "Jardim Am\xC3\xA9rica",
                                           "Vila S\xC3\xA3o Jos\xC3\xA9", ""};
    static const char* kDistrictsAscii[] = {"Centro", "Jardim America", "Vila Sao Jose", ""};
    static const char* kCitiesUtf8[] = {"S\xC3\xA3o Paulo", "Goi\xC3\xA2nia", "Bel\xC3\xA9m",
                                        "Florian\xC3\xB3polis"};
    static const char* kCitiesAscii[] = {"Sao Paulo", "Goiania", "Belem", "Florianopolis"};
    static const char* kPlansUtf8[] = {"Fibra 300 Mega", "Fibra 600 Mega Promo\xC3\xA7\xC3\xA3o",
                                       "R\xC3\xA1"
                                       "dio 10 Mega"};
    static const char* kPlansAscii[] = {"Fibra 300 Mega", "Fibra 600 Mega Promocao",
                                        "Radio 10 Mega"};
    static const char* kPrices[] = {"99.90", "129.90", "0.00", "79.90"};
    const bool ascii = letters == Letters::ascii;
    const auto& names = ascii ? kNamesAscii : kNamesUtf8;
    const auto& districts = ascii ? kDistrictsAscii : kDistrictsUtf8;
    const auto& cities = ascii ? kCitiesAscii : kCitiesUtf8;
    const auto& plans = ascii ? kPlansAscii : kPlansUtf8;
    const char* suspension_reason = ascii ? "Inadimplencia" : "Inadimpl\xC3\xAAncia";
    const char* company = ascii ? "Provedor Exemplo Telecomunicacoes Ltda"
                                : "Provedor Exemplo Telecomunica\xC3\xA7\xC3\xB5\x65s Ltda";

    std::mt19937 rng(42);
    CustomerRows rows;
    rows.records.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        CustomerRecord& r = rows.records.emplace_back();
        auto pick = [&](auto& arr) { return arr[rng() % std::size(arr)]; };
        auto text = [&](const std::string& s) { return Value::of_text(rows.texts.keep(s)); };
        auto day = [&](int y0, int span) {
            return Value::of_datetime({y0 + int(rng() % span), 1 + int(rng() % 12),
                                       1 + int(rng() % 28), int(rng() % 24), 30, 15, 0});
        };
        r[idCliente] = Value::of_integer(static_cast<std::int64_t>(i * 10 / 13 + 1));
        r[nomeCliente] = text(pick(names));
        // Taxpayer numbers come as text or as numbers, depending on the column's type.
        r[cpfCliente] = rng() % 2 ? text(std::to_string(1000000000ull + rng() % 98999999999ull))
                                  : Value::of_integer(1000000000 + rng() % 999999999);
        r[cnpjCliente] = rng() % 10 ? Value::null() : text("12345678000190");
        r[bairroCliente] = text(pick(districts));
        r[cidadeCliente] = text(pick(cities));
        r[estadoCliente] = text("SP");
        r[statusCliente] = Value::of_integer(1 + rng() % 4);
        r[dataInstalacao] = day(2015, 10);
        r[dataCadastro] = day(2014, 10);
        r[diaVencimento] = Value::of_integer(5 + 5 * int(rng() % 5));
        r[dataRescisao] = rng() % 5 ? Value::null() : Value::of_date(2023, 5, 10);
        r[dataSuspensao] = rng() % 8 ? Value::null() : Value::of_date(2024, 2, 1);
        r[motivoSuspensao] = rng() % 8 ? Value::null() : text(suspension_reason);
        r[nomeEmpresa] = text(company);
        r[nomePlano] = text(pick(plans));
        r[valorPlano] = Value::of_decimal(rows.texts.keep(pick(kPrices)));
        r[nomeVendedor] = rng() % 3 ? text("Carlos Vendedor") : Value::null();
        r[dataNascimento] =
            Value::of_date(1940 + int(rng() % 65), 1 + int(rng() % 12), 1 + int(rng() % 28));
        r[isento] = Value::of_integer(0);
        const bool overdue = rng() % 5 == 0;
        r[tituloAtraso] = Value::of_integer(overdue ? 2 : 0);
        r[valorAtraso] = Value::of_decimal(rows.texts.keep(overdue ? "199.80" : "0.00"));
        r[dataPrimeiroAtraso] = overdue ? Value::of_date(2024, 3, 10) : Value::null();
        r[dataVencimentoContrato] = Value::of_date(2026, 1, 1 + int(rng() % 28));
        r[ativo] = Value::of_integer(1);
        r[idServico] = Value::of_integer(static_cast<std::int64_t>(i + 1));
        r[contratosSemAssinatura] =
            text(rng() % 10 ? "" : std::to_string(i) + " | " + std::to_string(i + 7));
        r[motivoRescisao] = r[dataRescisao].is_null() ? Value::null() : text("Outros");
        r[dataFinalFidelidade] = rng() % 2 ? Value::null() : Value::of_date(2025, 6, 30);
        r[ruc] = Value::null();
        r[tipoPessoa] = text(r[cnpjCliente].is_null() ? "F" : "J");
    }
    return rows;
}

}  // namespace tessim::bench
