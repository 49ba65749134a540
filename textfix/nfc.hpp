#pragma once
// Unicode NFC through utf8proc, with a cheap test that lets the common case skip it.

#include <string>
#include <string_view>

namespace textfix::detail {

// True when `cp` can neither change under NFC nor combine with its neighbour: it has combining
// class 0, no singleton or excluded decomposition, and is never the second half of a canonical
// composition. A text made only of such characters is already NFC. The ranges are the scripts
// this data mostly carries; anything else simply takes the utf8proc path.
constexpr bool nfc_inert(char32_t cp) {
    return cp < 0x300                            // Latin up to IPA
           || (cp >= 0x0400 && cp <= 0x0482)     // Cyrillic letters
           || (cp >= 0x048A && cp <= 0x04FF)     //
           || (cp >= 0x05D0 && cp <= 0x05EA)     // Hebrew letters
           || (cp >= 0x2010 && cp <= 0x2027)     // dashes, quotes, bullets, ellipsis
           || (cp >= 0x2030 && cp <= 0x205E)     // per mille, guillemets
           || (cp >= 0x20A0 && cp <= 0x20C0)     // currency signs
           || cp == 0x2116 || cp == 0x2122       // numero, trade mark
           || (cp >= 0x4E00 && cp <= 0x9FFF)     // CJK unified ideographs
           || (cp >= 0xAC00 && cp <= 0xD7A3)     // Hangul syllables
           || (cp >= 0x1F300 && cp <= 0x1FAFF);  // emoji
}

// `utf8` (well-formed) in NFC. Embedded NUL characters are kept.
std::string to_nfc(std::string_view utf8);

}  // namespace textfix::detail
