#include "process/descriptor.hpp"

#include <cerrno>

namespace tavmolibrary::process_library {

int read_all(int fd, std::string& text, std::size_t limit) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) return 0;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > limit) return EFBIG;
    }
}

int write_all(int fd, std::string_view bytes) noexcept {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return errno;
        if (put == 0) return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return 0;
}

}  // namespace tavmolibrary::process_library
