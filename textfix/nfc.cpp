#include "textfix/nfc.hpp"

#include <utf8proc.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>

namespace textfix::detail {

std::string to_nfc(std::string_view utf8) {
    utf8proc_uint8_t* raw = nullptr;
    // No UTF8PROC_NULLTERM: the length bounds the text, so a NUL is an ordinary character.
    utf8proc_ssize_t len =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(utf8.data()),
                     static_cast<utf8proc_ssize_t>(utf8.size()), &raw,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owned(raw, &std::free);
    // The text is well-formed by contract, so only room can be lacking.
    if (len == UTF8PROC_ERROR_NOMEM || len == UTF8PROC_ERROR_OVERFLOW) throw std::bad_alloc();
    if (len < 0) throw std::logic_error(std::string("fix_text: ") + utf8proc_errmsg(len));
    return std::string(reinterpret_cast<const char*>(raw), static_cast<std::size_t>(len));
}

}  // namespace textfix::detail
