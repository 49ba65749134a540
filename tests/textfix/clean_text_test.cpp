// Correct text of every shape this data carries must come out byte for byte.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/textfix/test_support.hpp"
#include "textfix/fix_text.hpp"

namespace {

constexpr std::array kFirstNames = {
    "João",    "José",     "Antônio", "Conceição", "Sebastião", "Luíza",   "Fátima",   "Inês",
    "Ângela",  "Ítalo",    "Mônica",  "Cecília",   "André",     "Márcio",  "Lúcia",    "Vitória",
    "Raí",     "Tânia",    "Célia",   "Jéssica",   "Natália",   "Flávio",  "Otávio",   "Júlio",
    "Cláudia", "Patrícia", "Letícia", "Simão",     "Estêvão",   "Gonçalo", "Benedita", "Aparecida",
    "Luís",    "Thaís",    "Ênio",    "Érica",     "Úrsula",    "Ícaro",   "Ólavo",    "Zé",
};
constexpr std::array kSurnames = {
    "da Silva", "Gonçalves", "Magalhães", "Brandão",  "Araújo",   "Simões",   "Conceição",
    "Assunção", "Guimarães", "Falcão",    "Damião",   "Romão",    "Patrício", "Sebastião",
    "Gusmão",   "Loureiro",  "Brito",     "Assis",    "Tavares",  "Nóbrega",  "Sá",
    "Frazão",   "Leão",      "Camões",    "Pimentel", "Moisés",   "Conrado",  "Verçosa",
    "Ribeirão", "Galvão",    "Barbosa",   "Lemos",    "Quitéria", "Jordão",   "Mourão",
    "Aragão",   "Rosário",   "Calixto",   "Bragança", "Estevão",
};
constexpr std::array kPlaces = {
    "São Paulo – SP",
    "Florianópolis/SC",
    "Goiânia (GO)",
    "Maringá",
    "Belém do Pará",
    "São Luís",
    "Cuiabá",
    "Macapá",
    "Niterói",
    "Vitória da Conquista",
    "Três Corações",
    "Ribeirão Preto",
    "Jaraguá do Sul",
    "Poá",
    "Itajubá",
    "Mogi Guaçu",
    "Guarujá",
    "Jundiaí",
    "Taboão da Serra",
    "Embu-Guaçu",
    "Conceição do Araguaia",
    "Assunção",
    "Paraíba do Sul",
    "Piauí",
    "Ceará-Mirim",
    "Espírito Santo",
    "Amapá",
    "Brasília",
    "Aparecida de Goiânia",
    "Santo Antônio de Pádua",
    "Tatuapé",
    "Boqueirão",
    "Água Rasa",
    "Vila Mariana",
    "Jardim Paulistânia",
    "Jaçanã",
    "Cambuí",
    "Ipanema",
    "Praça da Sé",
    "Pará de Minas",
};
constexpr std::array kOthers = {
    // upper-case words that end in Ã/Â or are followed by punctuation, digits or symbols
    "SÃO PAULO",
    "JOÃO",
    "CONCEIÇÃO",
    "ASSUNÇÃO",
    "ÁGUA",
    "ÓTICA",
    "IRMÃ",
    "IRMÃ, MARIA",
    "IRMÃ. DULCE",
    "CIDADÃ-MIRIM",
    "MAÇÃ 10",
    "ALEMÃ (FILIAL)",
    "IRMÃ\"",
    "SÃ123",
    "Â-2",
    "Ã3",
    "ÃÃÃ",
    "ÂÂ",
    "SÃO/PAULO",
    "R. IRMÃ DULCE, 45",
    "LÃ!",
    "AMANHÃ?",
    "MAÇÃ;",
    "“JOSÉ”",
    "“IRMÔ",
    "O AVÔ… E O NETO",
    "IRMÃ\u00A0DULCE",
    "JOSÉ\u00A0SILVA",
    "METRÔ\u00A0SÉ",
    "CAFÉ”…",
    "ÇÃO’S",
    "NÃO – SIM",
    "ÚLTIMA — VEZ",
    "PÃO•QUEIJO",
    // symbols
    "R$ 99,90",
    "Nº 12",
    "25°C",
    "© 2024 Tessim",
    "½ kg",
    "§ 2º",
    "1ª via",
    "2º andar",
    "µs",
    "± 5%",
    "€ 10,00",
    "£ 3",
    "¥ 500",
    "¿Qué?",
    "¡Hola!",
    "«Citação»",
    "Plano Turbo™",
    "Marca®",
    "x² + y³",
    "¼ ¾",
    "5 × 3 ÷ 2",
    "Av. Brasil, nº 1.500 – sala 3",
    "“Plano Família”",
    "D’Ávila",
    "Loja… aberta",
    "• item",
    "‰",
    "¬ ¦ ¨ ¯ ´ ¸",
    // emoji and other scripts
    "Cliente 😀 satisfeito",
    "👍🏽",
    "👨‍👩‍👧",
    "❤️ Amor",
    "✔ Pago",
    "🇧🇷 Brasil",
    "東京都",
    "北京市朝阳区",
    "서울특별시",
    "こんにちは",
    "ひらがな が ぱ",
    "مرحبا بالعالم",
    "شركة الاتصالات",
    "Αθήνα",
    "Ελληνικά",
    "Москва",
    "Санкт-Петербург",
    "Київ",
    "שלום",
    "नमस्ते",
    "ไทย",
    "Łódź",
    "Kraków",
    "Žilina",
    "Ostrava–Poruba",
    "İstanbul",
    "Ærø",
    "Æsir",
    "Þórsmörk",
    "Straße",
    "Müller & Söhne",
    "Œuvre",
    "façade",
    "naïve café",
    "Ñandú",
    "ð ñ ò ó ô õ ö",
    "Ä Å Æ Ç È É Ê Ë Ì Í Î Ï",
    "à á â ã ä å æ ç è é ê ë",
    "ÀÁÂÃÄÅÆÇÈÉÊË",
};

std::vector<std::string> clean_corpus() {
    std::vector<std::string> corpus;
    const std::size_t n = kSurnames.size();
    for (std::size_t i = 0; i < kFirstNames.size(); ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            std::string name =
                std::string(kFirstNames[i]) + " " + kSurnames[j] + " " + kSurnames[(i + j + 1) % n];
            // Every third name also in capitals, as many systems store them.
            if ((i + j) % 3 == 0) corpus.push_back(textfix_test::upper(name));
            corpus.push_back(std::move(name));
        }
    }
    for (const char* place : kPlaces) {
        corpus.emplace_back(place);
        corpus.push_back(textfix_test::upper(place));
        corpus.push_back("Rua " + std::string(place) + ", nº 12 – apto 3");
    }
    for (const char* other : kOthers) corpus.emplace_back(other);
    return corpus;
}

TEST(TextfixCleanText, ThousandsOfCorrectNamesStayByteIdentical) {
    const std::vector<std::string> corpus = clean_corpus();
    ASSERT_GE(corpus.size(), 1000u);
    for (const std::string& text : corpus) {
        EXPECT_EQ(textfix::fix_text(text), text);
        std::string out = "untouched";
        EXPECT_FALSE(textfix::fix_text_into(text, out)) << text;
        EXPECT_EQ(out, "untouched") << text;
    }
}

TEST(TextfixCleanText, AsciiIsReturnedUnchanged) {
    for (const std::string& text :
         std::vector<std::string>{"", "MARIA DA SILVA", "Rua 7 de Setembro, 100 - Centro",
                                  "a\tb\r\n", std::string("nul\0inside", 10), "\x7f~"}) {
        std::string out = "untouched";
        EXPECT_FALSE(textfix::fix_text_into(text, out));
        EXPECT_EQ(out, "untouched");
        EXPECT_EQ(textfix::fix_text(text), text);
    }
}

}  // namespace
