#include "textfix/fix_text.hpp"

#include <cstdint>
#include <cstring>

#include "textfix/cp1252.hpp"
#include "textfix/mojibake.hpp"
#include "textfix/nfc.hpp"
#include "textfix/utf8.hpp"

namespace textfix {
namespace {

// Double encoding is common, triple happens; beyond that the text is noise and further passes
// would only risk turning noise into other noise.
constexpr int kMaxLayers = 4;

std::size_t ascii_prefix(std::string_view s) {
    const char* p = s.data();
    const std::size_t n = s.size();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ULL) break;
    }
    while (i < n && static_cast<unsigned char>(p[i]) < 0x80) ++i;
    return i;
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

void compose(std::u32string& cps) {
    if (!all_inert(cps)) cps = detail::decode_lenient(detail::to_nfc(detail::encode_utf8(cps)));
}

std::string repair(std::string_view text) {
    std::u32string cps = detail::decode_lenient(text);
    // Composing before each layer matters: "A" + U+0303 followed by "£" is "Ã£" once composed,
    // and a second call must not find mojibake that this one left behind.
    compose(cps);
    for (int layer = 0; layer < kMaxLayers && detail::undo_mojibake_once(cps); ++layer) {
        compose(cps);
    }
    // Runs last: every C1 control that was part of a mojibake sequence is gone by now, and the
    // punctuation put in its place neither composes nor moves under NFC.
    for (char32_t& cp : cps) cp = detail::c1_to_cp1252(cp);
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
