#include "textfix/fix_text.hpp"

#include "textfix/cp1252.hpp"
#include "textfix/lenient_utf8.hpp"
#include "textfix/mojibake.hpp"
#include "textfix/nfc.hpp"
#include "utf8/utf8.hpp"

namespace textfix {
namespace {

// Whether `s` could change at all: ill-formed UTF-8, a C1 control, a character that may move
// under NFC, or a lead character right before a continuation character (the only shape
// mojibake takes). False for nearly all clean text, after one pass and no allocation.
bool may_need_repair(std::string_view s) {
    char32_t prev = 0;
    while (!s.empty()) {
        const std::size_t plain = utf8::ascii_prefix(s);
        if (plain > 0) {
            prev = static_cast<unsigned char>(s[plain - 1]);
            s.remove_prefix(plain);
            if (s.empty()) break;
        }
        char32_t cp = 0;
        const std::size_t len = utf8::read(s, cp);
        if (len == 0) return true;
        if (cp < 0xA0) return true;
        if (!detail::nfc_inert(cp)) return true;
        if (detail::is_lead_char(prev) && detail::is_continuation_char(cp)) return true;
        prev = cp;
        s.remove_prefix(len);
    }
    return false;
}

bool all_inert(const std::u32string& cps) {
    for (char32_t cp : cps) {
        if (!detail::nfc_inert(cp)) return false;
    }
    return true;
}

bool compose(std::u32string& cps) {
    if (all_inert(cps)) return false;
    std::u32string composed = detail::decode_lenient(detail::to_nfc(detail::encode_utf8(cps)));
    if (composed == cps) return false;
    cps = std::move(composed);
    return true;
}

bool punctuate_c1(std::u32string& cps) {
    bool changed = false;
    for (char32_t& cp : cps) {
        const char32_t mapped = detail::c1_to_cp1252(cp);
        changed = changed || mapped != cp;
        cp = mapped;
    }
    return changed;
}

std::string repair(std::string_view text) {
    std::u32string cps = detail::decode_lenient(text);
    // A round undoes one layer of mojibake, then turns C1 controls into punctuation and
    // composes. Either step can reveal more mojibake ("A" + U+0303 + "£" composes to "Ã£") or
    // change the context a verdict rests on, so the rounds go on until one changes nothing:
    // the result is then a text a second call leaves alone. The first round still sees the
    // raw C1 controls, which are certain evidence of Latin-1 mojibake.
    // A round that mends anything shortens the text, and C1 punctuation and NFC settle after
    // one round each, so there are at most size + 2 rounds. No smaller cap: a chain such as
    // "ÂÂÂÂ²" loses one layer per round, and stopping early would leave work for a second
    // call. Real text needs two or three rounds.
    const std::size_t max_rounds = cps.size() + 2;
    for (std::size_t round = 0; round < max_rounds; ++round) {
        bool changed = detail::undo_mojibake_once(cps);
        changed = punctuate_c1(cps) || changed;
        changed = compose(cps) || changed;
        if (!changed) break;
    }
    return detail::encode_utf8(cps);
}

}  // namespace

bool fix_text_into(std::string_view text, std::string& out) {
    if (utf8::ascii_prefix(text) == text.size()) return false;
    if (!may_need_repair(text)) return false;
    std::string fixed = repair(text);
    if (fixed == text) return false;
    out = std::move(fixed);
    return true;
}

std::string fix_text(std::string_view text) {
    std::string out;
    if (fix_text_into(text, out)) return out;
    return std::string(text);
}

}  // namespace textfix
