#include "utf8/utf8.hpp"

namespace utf8 {

std::size_t find_invalid(std::string_view bytes) noexcept {
    std::size_t i = 0;
    while (i < bytes.size()) {
        i += ascii_prefix(bytes.substr(i));
        if (i == bytes.size()) break;
        char32_t cp = 0;
        const std::size_t len = read(bytes.substr(i), cp);
        if (len == 0) return i;
        i += len;
    }
    return std::string_view::npos;
}

std::size_t code_points(std::string_view bytes) noexcept {
    std::size_t n = 0;
    for (unsigned char c : bytes) n += (c & 0xC0) != 0x80;
    return n;
}

}  // namespace utf8
