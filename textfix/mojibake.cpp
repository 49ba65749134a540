#include "textfix/mojibake.hpp"

#include <utf8proc.h>

#include <cstdint>
#include <vector>

#include "textfix/cp1252.hpp"

namespace textfix::detail {
namespace {

// How a candidate sequence is judged on its own.
//  kStrong: correct text practically never holds it (e.g. "Ã£", "Ã©", "Â°", "â€œ").
//  kWeak: correct text can hold it, typically an upper-case word ending in an accented letter
//         followed by closing punctuation ("IRMÔ, "JOSɔ, "IRMÃ<NBSP>"). Such a sequence is
//         mended only when the same text also holds a strong one.
enum class Evidence { kStrong, kWeak };

struct Candidate {
    std::size_t pos;
    std::size_t len;
    char32_t decoded;
    Evidence evidence;
};

bool is_letter(char32_t cp) {
    if (cp < 0x80) return (cp | 0x20) >= 'a' && (cp | 0x20) <= 'z';
    switch (utf8proc_category(static_cast<utf8proc_int32_t>(cp))) {
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
    switch (cp) {
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

Evidence judge(const std::u32string& cps, std::size_t pos, std::size_t len, int lead) {
    const bool after_letter = pos > 0 && is_letter(cps[pos - 1]);
    const bool before_letter = pos + len < cps.size() && is_letter(cps[pos + len]);
    const char32_t second = cps[pos + 1];
    if (len == 2) {
        // "Â" never ends a Portuguese word, so "Â" plus anything is mojibake (Â° Âº Â<NBSP>).
        if (lead == 0xC2) return Evidence::kStrong;
        if (lead == 0xC3) {
            if (!closes_word(second)) return Evidence::kStrong;
            // "Ã" does end words (IRMÃ, MAÇÃ): "Ã<NBSP>" is "à" only at a word start, since "à"
            // never ends a word; "Ô and the like are mojibake inside a word or at its start.
            if (second == 0x00A0) return after_letter ? Evidence::kWeak : Evidence::kStrong;
            return (!after_letter || before_letter) ? Evidence::kStrong : Evidence::kWeak;
        }
        // Other leads are upper-case letters (Ç, É, Ó, ...) that end words in correct text,
        // and decode to other scripts: closing punctuation or a soft hyphen after them is weak.
        if (closes_word(second) || second == 0x00AD) return Evidence::kWeak;
        return Evidence::kStrong;
    }
    // Three or four bytes: the lead is a lower-case accented letter (à..ï, ð..ô), which only
    // looks innocent when every following character is closing punctuation ("é”…").
    for (std::size_t i = pos + 1; i < pos + len; ++i) {
        if (!closes_word(cps[i])) return Evidence::kStrong;
    }
    return Evidence::kWeak;
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
    out = Candidate{pos, len, cp, judge(cps, pos, len, lead)};
    return true;
}

}  // namespace

bool is_continuation_char(char32_t cp) {
    const int b = cp1252_byte(cp);
    return b >= 0x80 && b <= 0xBF;
}

bool undo_mojibake_once(std::u32string& cps) {
    std::vector<Candidate> found;
    bool any_strong = false;
    for (std::size_t i = 0; i + 1 < cps.size();) {
        Candidate c{};
        if (candidate_at(cps, i, c)) {
            found.push_back(c);
            any_strong = any_strong || c.evidence == Evidence::kStrong;
            i += c.len;
        } else {
            ++i;
        }
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
