#include "textfix/fix_text.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#include "textfix/cp1252.hpp"
#include "textfix/mojibake.hpp"
#include "textfix/nfc.hpp"
#include "textfix/utf8.hpp"

namespace textfix {
namespace {

// Little-endian: the first byte of a word is its lowest.
static_assert(std::endian::native == std::endian::little);

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Inlined: it runs once per stretch of ASCII between accented letters.
[[gnu::always_inline]] inline std::size_t ascii_prefix(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (const std::uint64_t high = word & kHighBits)
            return i + static_cast<std::size_t>(std::countr_zero(high)) / 8;
    }
    if (i == n) return n;
    // The last few bytes in one register (a byte-by-byte loop here was the costliest line
    // of the repair of clean text): the eight bytes that end the text, shifted so that the
    // ones seen already fall off, or the bytes one by one when the text is shorter.
    std::uint64_t word = 0;
    if (n >= 8) {
        std::memcpy(&word, p + n - 8, 8);
        word >>= 8 * (8 - (n - i));
    } else {
        for (std::size_t k = n; k-- > i;) word = (word << 8) | p[k];
    }
    const std::uint64_t high = word & kHighBits;
    return high ? i + static_cast<std::size_t>(std::countr_zero(high)) / 8 : n;
}

// Whether `s` could change at all: ill-formed UTF-8, a C1 control, a character that may move
// under NFC, or a lead character right before a continuation character (the only shape
// mojibake takes). False for nearly all clean text, after one pass and no allocation.
bool may_need_repair(std::string_view s) {
    char32_t prev = 0;
    while (!s.empty()) {
        const std::size_t plain = ascii_prefix(s);
        if (plain > 0) {
            prev = static_cast<unsigned char>(s[plain - 1]);
            s.remove_prefix(plain);
            if (s.empty()) break;
        }
        char32_t cp = 0;
        const std::size_t len = detail::read_utf8(s, cp);
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
    if (ascii_prefix(text) == text.size()) return false;
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
