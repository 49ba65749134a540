// Ill-formed input, NUL, normalisation, ambiguous sequences and random input.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/textfix/test_support.hpp"
#include "textfix/fix_text.hpp"
#include "textfix/nfc.hpp"

namespace {

using namespace std::string_literals;

struct Case {
    std::string input;
    std::string expected;
};

TEST(TextfixInvalidUtf8, IllFormedBytesAreReadAsWindows1252) {
    const std::vector<Case> cases = {
        {"Jo\xE3o", "João"},                         // Latin-1 text in a UTF-8 column
        {"S\xE3o Paulo \x96 SP", "São Paulo – SP"},  // Windows-1252 text, dash included
        {"Concei\xE7\xE3o", "Conceição"},
        {"\x93Plano\x94", "“Plano”"},
        {"Jo\xC3", "JoÃ"},                  // sequence cut short at the end
        {"Jo\xC3o", "JoÃo"},                // lead byte without continuation
        {"\xA3 10", "£ 10"},                // stray continuation byte
        {"\xC0\x80", "À€"},                 // overlong NUL
        {"\xED\xA0\x80", "í\u00A0€"},       // encoded surrogate
        {"\xF4\x90\x80\x80", "ô\u0090€€"},  // beyond U+10FFFF: 0x90 is undefined in cp1252
        {"\xFF\xFE", "ÿþ"},                 // bytes that never occur in UTF-8
        {"\x81\x8D\x8F\x90\x9D", "\u0081\u008D\u008F\u0090\u009D"},  // undefined in cp1252
        {"José \xE9 \xC3\xA9", "José é é"},  // valid and invalid side by side
        {"\xC3\xA3\xA3", "ã£"},              // valid sequence, then a stray byte
    };
    for (const Case& c : cases) {
        const std::string out = textfix::fix_text(c.input);
        EXPECT_EQ(out, c.expected) << c.input;
        EXPECT_TRUE(textfix_test::is_valid_utf8(out)) << c.input;
        std::string into;
        EXPECT_TRUE(textfix::fix_text_into(c.input, into));
        EXPECT_EQ(into, c.expected);
    }
}

TEST(TextfixInvalidUtf8, MojibakeOfIllFormedBytesIsStillMended) {
    // A stray Latin-1 byte next to a UTF-8 "Ã" rebuilds the mojibake "Ã£".
    EXPECT_EQ(textfix::fix_text("S\xC3\x83\xA3o"), "São");
}

TEST(TextfixNulBytes, PassThroughUnchanged) {
    EXPECT_EQ(textfix::fix_text("a\0b"s), "a\0b"s);
    EXPECT_EQ(textfix::fix_text("Jo\0ão"s), "Jo\0ão"s);
    EXPECT_EQ(textfix::fix_text("Jo\0Ã£o"s), "Jo\0ão"s);
    EXPECT_EQ(textfix::fix_text("\0Joa\u0303o\0"s), "\0João\0"s);
    EXPECT_EQ(textfix::fix_text("\0\xE3"s), "\0ã"s);
}

TEST(TextfixNormalisation, DecomposedInputComesOutComposed) {
    const std::vector<Case> cases = {
        {"Joa\u0303o", "João"},
        {"Conceic\u0327a\u0303o", "Conceição"},
        {"JOSE\u0301", "JOSÉ"},
        {"A\u0302ngela", "Ângela"},
        {"I\u0301talo", "Ítalo"},
        {"\u1100\u1161\u11A8", "\uAC01"},   // Hangul jamo
        {"\u212B", "\u00C5"},               // Angstrom sign, a singleton
        {"e\u0301\u0323", "\u1EB9\u0301"},  // marks reordered, then composed
        {"\u00E9\u0301", "\u00E9\u0301"},   // no precomposed form: stays
        {"Joa\u0303o 😀", "João 😀"},
        // A C1 control that stands for a letter takes the marks after it once it is that letter.
        {"\u009F\u0323", "\u1EF4\u0308"},
    };
    for (const Case& c : cases) EXPECT_EQ(textfix::fix_text(c.input), c.expected) << c.input;
}

TEST(TextfixNormalisation, MojibakeOfDecomposedTextIsComposed) {
    // "ã" decomposed is "a" + U+0303 (CC 83), which Windows-1252 shows as "Ìƒ".
    EXPECT_EQ(textfix::fix_text("JoaÌƒo"), "João");
    // A composition that creates mojibake ("A" + U+0303 is "Ã") is mended in the same call.
    EXPECT_EQ(textfix::fix_text("SA\u0303£o"), "São");
}

TEST(TextfixAmbiguous, CorrectReadingIsKeptWithoutOtherEvidence) {
    // Each could be an upper-case word ending in Ã/É/Ô plus punctuation, or mojibake of
    // Ô/Ö/à/ɔ/Ԕ. Alone, the correct reading wins; next to clear mojibake, the repair does.
    const std::vector<Case> cases = {
        {"IRMÔ", "IRMÔ"},
        {"IRMÃ… E TIA", "IRMÃ… E TIA"},
        {"IRMÃ–10", "IRMÃ–10"},
        {"IRMÃ\u00A0DULCE", "IRMÃ\u00A0DULCE"},
        {"“JOSɔ", "“JOSɔ"},
        {"AVÔ", "AVÔ"},
        {"café”…", "café”…"},
        {"CAFÉ®", "CAFÉ®"},            // not "CAFԮ"
        {"JOSÉ´S BAR", "JOSÉ´S BAR"},  // acute typed as an apostrophe, not "JOSɴS"
        {"IRMÃ©", "IRMÃ©"},            // not "IRMé"
        {"MAÇÃ® 2", "MAÇÃ® 2"},
        {"café®…", "café®…"},  // not "caf" plus an ideograph
        {"AVÔ JOÃƒO", "AVÔ JOÃO"},
        {"IRMÃ\u00A0DULCE SÃ£o", "IRMàDULCE São"},
    };
    for (const Case& c : cases) EXPECT_EQ(textfix::fix_text(c.input), c.expected) << c.input;
}

TEST(TextfixAmbiguous, OtherScriptsAreMendedWhenTheirSequencesChain) {
    EXPECT_EQ(textfix::fix_text("ÐŸÑ€Ð¸Ð²ÐµÑ‚"), "Привет");
    EXPECT_EQ(textfix::fix_text("Î‘Î¸Î®Î½Î±"), "Αθήνα");
    EXPECT_EQ(textfix::fix_text("ä¸­æ–‡"), "中文");
    EXPECT_EQ(textfix::fix_text("Å‚Ã³dÅº"), "łódź");
    // Alone, one such sequence is more likely an accented capital and a symbol.
    EXPECT_EQ(textfix::fix_text("Ð©"), "Ð©");
}

TEST(TextfixAmbiguous, ClosingPunctuationInsideOrStartingAWordIsMojibake) {
    EXPECT_EQ(textfix::fix_text("GUIMARÃ•ES"), "GUIMARÕES");
    EXPECT_EQ(textfix::fix_text("Ã” MEU"), "Ô MEU");
    EXPECT_EQ(textfix::fix_text("Vou Ã\u00A0 praia"), "Vou à praia");
    EXPECT_EQ(textfix::fix_text("RUAÂ\u00A0X"), "RUA\u00A0X");
}

TEST(TextfixLayers, RepeatsWhileItImproves) {
    std::string text = "João";
    std::vector<std::string> layers;
    for (int i = 0; i < 11; ++i) {
        std::string next;
        for (unsigned char b : text) {
            // Windows-1252 decoding of each byte, re-encoded as UTF-8.
            const std::string one(1, static_cast<char>(b));
            next += b < 0x80 ? one : textfix::fix_text(one);
        }
        text = next;
        layers.push_back(text);
    }
    EXPECT_EQ(layers[0], "JoÃ£o");
    EXPECT_EQ(layers[1], "JoÃƒÂ£o");
    // No cap on the rounds short of the text's length: one call undoes every layer, so a
    // second call has nothing left to do.
    for (int i = 0; i < 11; ++i) EXPECT_EQ(textfix::fix_text(layers[i]), "João") << i;
}

TEST(TextfixRandomInput, NeverFailsAlwaysValidAndIdempotent) {
    // Fragments mojibake is made of, plus raw bytes and correct accented letters.
    const std::vector<std::string> pieces = {
        "Ã",      "Â",      "£",        "©",        "§",        "ƒ",   "â€",     "œ",      "”", "“",
        "…",      "–",      "\xC2\xA0", "\xC2\xAD", "a",        "O",   " ",      "ã",      "ç", "É",
        "\xC3",   "\xA3",   "\xE2\x80", "\x93",     "\xF0\x9F", "😀",   "\u0303", "\u0301", "A", "e",
        "\u0093", "\u0081", "ð",        "Ÿ",        "˜",        "\0"s, "\xFF",   "東",     "Ì", "Ð",
        "ÃƒÂ",    "Ã‰",     "ï»¿",      "\u009F",   "\u0323",   "I",   "M",
    };
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(1, 12);
    for (int round = 0; round < 20000; ++round) {
        std::string input;
        for (int n = length(rng); n > 0; --n) input += pieces[pick(rng)];
        std::string once;
        ASSERT_NO_THROW(once = textfix::fix_text(input));
        ASSERT_TRUE(textfix_test::is_valid_utf8(once)) << input;
        ASSERT_TRUE(textfix_test::is_nfc(once)) << input;
        ASSERT_EQ(textfix::fix_text(once), once) << input;
    }
}

TEST(TextfixNfcShortcut, InertRangesReallyAreInert) {
    // Every code point that is the second part of some canonical decomposition.
    std::set<char32_t> seconds;
    for (utf8proc_int32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        utf8proc_int32_t buf[8];
        const utf8proc_ssize_t n = utf8proc_decompose_char(cp, buf, 8, UTF8PROC_DECOMPOSE, nullptr);
        for (utf8proc_ssize_t i = 1; i < n && n <= 8; ++i)
            seconds.insert(static_cast<char32_t>(buf[i]));
    }
    int checked = 0;
    for (char32_t cp = 0; cp <= 0x1FAFF; ++cp) {
        // utf8proc flags U+0000 as excluded from composition; NUL composes with nothing.
        if (cp == 0 || !textfix::detail::nfc_inert(cp)) continue;
        const auto* prop = utf8proc_get_property(static_cast<utf8proc_int32_t>(cp));
        EXPECT_EQ(prop->combining_class, 0) << std::hex << static_cast<std::uint32_t>(cp);
        EXPECT_FALSE(prop->comp_exclusion) << std::hex << static_cast<std::uint32_t>(cp);
        EXPECT_FALSE(seconds.count(cp)) << std::hex << static_cast<std::uint32_t>(cp);
        utf8proc_int32_t buf[8];
        const utf8proc_ssize_t n = utf8proc_decompose_char(static_cast<utf8proc_int32_t>(cp), buf,
                                                           8, UTF8PROC_DECOMPOSE, nullptr);
        // Either no decomposition, or one NFC composes back (never a singleton).
        if (n == 1) {
            EXPECT_EQ(static_cast<std::uint32_t>(buf[0]), static_cast<std::uint32_t>(cp))
                << std::hex << static_cast<std::uint32_t>(cp);
        } else {
            EXPECT_GE(n, 2) << std::hex << static_cast<std::uint32_t>(cp);
        }
        ++checked;
    }
    EXPECT_GT(checked, 30000);
}

// The scan for the first non-ASCII byte goes a word at a time and reads the last few bytes
// in one go: broken text must be found at every offset of texts of every short length.
TEST(TextfixEdgeCases, BrokenLetterFoundAtEveryOffset) {
    for (std::size_t len = 0; len <= 20; ++len) {
        for (std::size_t at = 0; at <= len; ++at) {
            std::string text(len, 'x');
            text.insert(at, "\xC3\x83\xC2\xA3");  // "ã" read as Windows-1252 and stored again
            std::string expected(len, 'x');
            expected.insert(at, "\xC3\xA3");
            EXPECT_EQ(textfix::fix_text(text), expected) << len << " " << at;
            // A clean accented letter at the same place is left alone.
            std::string clean(len, 'x');
            clean.insert(at, "\xC3\xA3");
            std::string out = "untouched";
            EXPECT_FALSE(textfix::fix_text_into(clean, out)) << len << " " << at;
        }
    }
}

}  // namespace
