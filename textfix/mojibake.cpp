#include "textfix/mojibake.hpp"

#include <utf8proc.h>

#include <cstdint>
#include <vector>

#include "textfix/cp1252.hpp"

namespace textfix::detail {
namespace {

// How a candidate sequence is judged on its own.
//  kStrong: correct text practically never holds it (e.g. "Ã£", "Ã©", "Â°", "â€œ").
//  kChained: strong when it touches another candidate, as in Cyrillic or Greek mojibake
//         ("ÐŸÑ€Ð¸"), weak otherwise: an upper-case accented letter followed by a symbol
//         ("CAFÉ®", "JOSÉ´S") is correct text more often than one stray letter of another script.
//  kWeak: correct text can hold it, typically an upper-case word ending in an accented letter
//         followed by closing punctuation ("IRMÔ, "JOSɔ, "IRMÃ<NBSP>"). Such a sequence is
//         mended only when the same text also holds a strong one.
enum class Evidence { kStrong, kChained, kWeak };

struct Candidate {
    std::size_t pos;
    std::size_t len;
    char32_t decoded;
    Evidence evidence;
};

// Judgements look at a C1 control as the punctuation it stands for, the form it has once the
// repair is done, so that repairing the repaired text again reaches the same verdicts.
utf8proc_category_t category(char32_t cp) {
    return utf8proc_category(static_cast<utf8proc_int32_t>(c1_to_cp1252(cp)));
}

bool is_letter(char32_t cp) {
    if (cp < 0x80) return (cp | 0x20) >= 'a' && (cp | 0x20) <= 'z';
    switch (category(cp)) {
        case UTF8PROC_CATEGORY_LU:
        case UTF8PROC_CATEGORY_LL:
        case UTF8PROC_CATEGORY_LT:
        case UTF8PROC_CATEGORY_LM:
        case UTF8PROC_CATEGORY_LO:
        case UTF8PROC_CATEGORY_MN:
        case UTF8PROC_CATEGORY_MC:
            return true;
        default:
            return false;
    }
}

// Punctuation that naturally follows a word in correct text and whose byte is a continuation
// byte: no-break space, closing quotes, ellipsis, dashes, bullets, trade mark.
bool closes_word(char32_t cp) {
    switch (c1_to_cp1252(cp)) {
        case 0x00A0:  // no-break space
        case 0x00BB:  // »
        case 0x2019:  // ’
        case 0x201D:  // ”
        case 0x2026:  // …
        case 0x2013:  // –
        case 0x2014:  // —
        case 0x203A:  // ›
        case 0x2122:  // ™
        case 0x2022:  // •
            return true;
        default:
            return false;
    }
}

bool plausible_result(char32_t cp) {
    switch (utf8proc_category(static_cast<utf8proc_int32_t>(cp))) {
        case UTF8PROC_CATEGORY_CN:  // unassigned
        case UTF8PROC_CATEGORY_CO:  // private use
        case UTF8PROC_CATEGORY_CS:  // surrogate (cannot come from well-formed UTF-8 anyway)
            return false;
        default:
            return true;
    }
}

bool is_mark(char32_t cp) {
    const auto category = utf8proc_category(static_cast<utf8proc_int32_t>(cp));
    return category == UTF8PROC_CATEGORY_MN || category == UTF8PROC_CATEGORY_MC;
}

Evidence judge(const std::u32string& cps, std::size_t pos, std::size_t len, int lead,
               char32_t decoded) {
    const bool after_letter = pos > 0 && is_letter(cps[pos - 1]);
    const bool before_letter = pos + len < cps.size() && is_letter(cps[pos + len]);
    const char32_t second = cps[pos + 1];
    // A C1 control never occurs in correct text: Latin-1 mojibake ("JOSÃ\u0089") is certain.
    for (std::size_t i = pos + 1; i < pos + len; ++i) {
        if (cps[i] >= 0x80 && cps[i] <= 0x9F) return Evidence::kStrong;
    }
    if (len == 2) {
        // "Â" never ends a Portuguese word, so "Â" plus anything is mojibake (Â° Âº Â<NBSP>).
        if (lead == 0xC2) return Evidence::kStrong;
        if (lead == 0xC3) {
            if (!closes_word(second)) {
                // "Ã" plus a symbol decodes to a lower-case letter (é, ã, ç...). Ending a word
                // right after a capital ("IRMÃ©", "MAÇÃ®") that reading gives "IRMé": the
                // upper-case word followed by a symbol is the likelier one.
                const bool lower_result = second >= 0xA0 && second <= 0xBF;
                const bool after_capital =
                    pos > 0 && category(cps[pos - 1]) == UTF8PROC_CATEGORY_LU;
                const bool before_lower =
                    pos + len < cps.size() && category(cps[pos + len]) == UTF8PROC_CATEGORY_LL;
                if (lower_result && after_capital && !before_lower) return Evidence::kWeak;
                return Evidence::kStrong;
            }
            // "Ã" does end words (IRMÃ, MAÇÃ): "Ã<NBSP>" is "à" only at a word start, since "à"
            // never ends a word; "Ô and the like are mojibake inside a word or at its start.
            if (second == 0x00A0) return after_letter ? Evidence::kWeak : Evidence::kStrong;
            return (!after_letter || before_letter) ? Evidence::kStrong : Evidence::kWeak;
        }
        // Other leads are upper-case letters (Ç, É, Ó, ...) that end words in correct text,
        // and decode to other scripts: closing punctuation or a soft hyphen after them is weak.
        if (closes_word(second) || second == 0x00AD) return Evidence::kWeak;
        // A combining accent (U+0300..U+033F, lead "Ì", a letter Portuguese never uses) after a
        // letter is decomposed text gone through the same damage.
        if (lead == 0xCC && after_letter && is_mark(decoded)) return Evidence::kStrong;
        return Evidence::kChained;
    }
    // Three or four bytes: the lead is a lower-case accented letter (à..ï, ð..ô). It looks
    // innocent when every following character is closing punctuation ("é”…").
    bool all_closing = true;
    for (std::size_t i = pos + 1; i < pos + len; ++i)
        all_closing = all_closing && closes_word(cps[i]);
    if (all_closing) return Evidence::kWeak;
    // "â" (punctuation, €, ™), "ï" (byte-order mark, full-width forms) and the four-byte
    // leads (emoji) are rare at the end of a Portuguese word; "é", "ç", "ã" are everywhere,
    // and a lone ideograph from them ("café®…") is weaker than a chain of them ("æ–‡å­—").
    if (lead == 0xE2 || lead == 0xEF || len == 4) return Evidence::kStrong;
    return Evidence::kChained;
}

// The candidate sequence starting at `pos`, if the Windows-1252 bytes there form one
// well-formed UTF-8 sequence of two to four bytes.
bool candidate_at(const std::u32string& cps, std::size_t pos, Candidate& out) {
    const int lead = cp1252_byte(cps[pos]);
    if (lead < 0xC2 || lead > 0xF4) return false;
    const std::size_t len = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (pos + len > cps.size()) return false;
    char32_t cp = static_cast<char32_t>(lead) & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
    for (std::size_t i = 1; i < len; ++i) {
        const int b = cp1252_byte(cps[pos + i]);
        if (b < 0x80 || b > 0xBF) return false;
        if (i == 1) {
            if (lead == 0xE0 && b < 0xA0) return false;   // overlong
            if (lead == 0xED && b >= 0xA0) return false;  // surrogate
            if (lead == 0xF0 && b < 0x90) return false;   // overlong
            if (lead == 0xF4 && b >= 0x90) return false;  // beyond U+10FFFF
        }
        cp = (cp << 6) | static_cast<char32_t>(b & 0x3F);
    }
    if (!plausible_result(cp)) return false;
    out = Candidate{pos, len, cp, judge(cps, pos, len, lead, cp)};
    return true;
}

}  // namespace

bool is_continuation_char(char32_t cp) {
    const int b = cp1252_byte(cp);
    return b >= 0x80 && b <= 0xBF;
}

bool undo_mojibake_once(std::u32string& cps) {
    std::vector<Candidate> found;
    for (std::size_t i = 0; i + 1 < cps.size();) {
        Candidate c{};
        if (candidate_at(cps, i, c)) {
            found.push_back(c);
            i += c.len;
        } else {
            ++i;
        }
    }
    bool any_strong = false;
    for (std::size_t k = 0; k < found.size(); ++k) {
        Candidate& c = found[k];
        if (c.evidence == Evidence::kChained) {
            const bool chained = (k > 0 && found[k - 1].pos + found[k - 1].len == c.pos) ||
                                 (k + 1 < found.size() && c.pos + c.len == found[k + 1].pos);
            c.evidence = chained ? Evidence::kStrong : Evidence::kWeak;
        }
        any_strong = any_strong || c.evidence == Evidence::kStrong;
    }
    if (!any_strong) return false;

    std::u32string fixed;
    fixed.reserve(cps.size());
    std::size_t next = 0;
    for (const Candidate& c : found) {
        fixed.append(cps, next, c.pos - next);
        fixed.push_back(c.decoded);
        next = c.pos + c.len;
    }
    fixed.append(cps, next, std::u32string::npos);
    cps = std::move(fixed);
    return true;
}

}  // namespace textfix::detail
