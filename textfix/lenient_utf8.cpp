#include "textfix/lenient_utf8.hpp"

#include "textfix/cp1252.hpp"
#include "utf8/utf8.hpp"

namespace textfix::detail {

std::u32string decode_lenient(std::string_view s) {
    std::u32string cps;
    cps.reserve(s.size());
    while (!s.empty()) {
        char32_t cp = 0;
        std::size_t len = utf8::read(s, cp);
        if (len == 0) {
            cp = cp1252_char(static_cast<std::uint8_t>(s[0]));
            len = 1;
        }
        cps.push_back(cp);
        s.remove_prefix(len);
    }
    return cps;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string encode_utf8(std::u32string_view cps) {
    std::string out;
    out.reserve(cps.size() * 2);
    for (char32_t cp : cps) append_utf8(out, cp);
    return out;
}

}  // namespace textfix::detail
