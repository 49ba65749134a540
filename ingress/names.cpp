#include "ingress/names.hpp"

#include "ingress/errors.hpp"
#include "utf8/utf8.hpp"

namespace ingress {

std::string printable(std::string_view bytes) {
    constexpr std::size_t limit = 64;
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    const std::size_t bad = utf8::find_invalid(bytes);
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 || c == 0x7F || (bad != std::string_view::npos && i >= bad && c >= 0x80)) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (bytes.size() > limit) out += "...";
    return out;
}

void check_view(ViewRule rule, std::string_view name) {
    const char* what = rule == ViewRule::table ? "table name" : "column name";
    auto refuse = [&](const std::string& why) {
        throw IngressError(ErrorCode::invalid_name,
                           std::string("bad ") + what + " \"" + printable(name) + "\": " + why);
    };
    if (name.empty()) refuse("empty");
    if (name.size() > max_name_len) {
        refuse("longer than " + std::to_string(max_name_len) + " bytes");
    }
    if (const std::size_t bad = utf8::find_invalid(name); bad != std::string_view::npos) {
        throw IngressError(ErrorCode::invalid_utf8, std::string(what) + " \"" + printable(name) +
                                                        "\" is not valid UTF-8 (bad byte at "
                                                        "offset " +
                                                        std::to_string(bad) + ")");
    }
    if (name.front() == ' ' || name.back() == ' ') refuse("leading or trailing space");
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F) refuse("control character at offset " + std::to_string(i));
        switch (c) {
            case '.':
            case '?':
            case ',':
            case '\'':
            case '"':
            case '\\':
            case '/':
            case ':':
            case '(':
            case ')':
            case '+':
            case '*':
            case '%':
            case '~':
                refuse(std::string("character '") + static_cast<char>(c) + "' is not allowed");
                break;
            case '-':
                if (rule == ViewRule::column) refuse("character '-' is not allowed");
                break;
            case 0xEF:  // U+FEFF (byte order mark) is EF BB BF
                if (name.substr(i, 3) == "\xEF\xBB\xBF") refuse("byte order mark U+FEFF");
                break;
            default:
                break;
        }
    }
}

}  // namespace ingress
