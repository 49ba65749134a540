#pragma once
// Helpers shared by the textfix tests.

#include <utf8proc.h>

#include <string>
#include <string_view>

namespace textfix_test {

inline bool is_valid_utf8(std::string_view s) {
    const auto* p = reinterpret_cast<const utf8proc_uint8_t*>(s.data());
    utf8proc_ssize_t left = static_cast<utf8proc_ssize_t>(s.size());
    while (left > 0) {
        utf8proc_int32_t cp = 0;
        const utf8proc_ssize_t n = utf8proc_iterate(p, left, &cp);
        if (n <= 0 || cp < 0) return false;
        p += n;
        left -= n;
    }
    return true;
}

inline bool is_nfc(std::string_view s) {
    utf8proc_uint8_t* out = nullptr;
    const utf8proc_ssize_t n =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(s.data()),
                     static_cast<utf8proc_ssize_t>(s.size()), &out,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    const bool same =
        n >= 0 && std::string_view(reinterpret_cast<char*>(out), static_cast<std::size_t>(n)) == s;
    std::free(out);
    return same;
}

inline std::string upper(std::string_view s) {
    std::string out;
    const auto* p = reinterpret_cast<const utf8proc_uint8_t*>(s.data());
    utf8proc_ssize_t left = static_cast<utf8proc_ssize_t>(s.size());
    while (left > 0) {
        utf8proc_int32_t cp = 0;
        const utf8proc_ssize_t n = utf8proc_iterate(p, left, &cp);
        utf8proc_uint8_t buf[4];
        const utf8proc_ssize_t m = utf8proc_encode_char(utf8proc_toupper(cp), buf);
        out.append(reinterpret_cast<char*>(buf), static_cast<std::size_t>(m));
        p += n;
        left -= n;
    }
    return out;
}

}  // namespace textfix_test
