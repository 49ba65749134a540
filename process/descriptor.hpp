#pragma once
// An owned file descriptor, and the loops that read one to its end and write a whole buffer
// to one.

#include <unistd.h>

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace tavmolibrary::process_library {

// Closes its descriptor (when it holds one, i.e. >= 0) when it goes; close() is safe to call
// between fork and exec.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            close();
            fd_ = other.release();
        }
        return *this;
    }
    ~Descriptor() { close(); }

    int get() const noexcept { return fd_; }
    // Hands the descriptor over without closing it.
    int release() noexcept { return std::exchange(fd_, -1); }
    void close() noexcept {
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    }

  private:
    int fd_ = -1;
};

// Appends what `fd` gives up to end of file to `text`, going on after EINTR. Returns 0, the
// errno of the read that failed, or EFBIG as soon as `text` is longer than `limit`.
int read_all(int fd, std::string& text,
             std::size_t limit = std::numeric_limits<std::size_t>::max());

// Writes all of `bytes`, going on after short writes and EINTR. Returns 0, or the errno of
// the write that failed (EIO for one that wrote nothing).
int write_all(int fd, std::string_view bytes) noexcept;

}  // namespace tavmolibrary::process_library
