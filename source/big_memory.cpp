#include "source/big_memory.hpp"

#include <sys/mman.h>
#include <unistd.h>

namespace tessim {
namespace {

std::size_t page_bytes() {
    static const std::size_t bytes = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return bytes;
}

}  // namespace

std::size_t mapped_length(std::size_t bytes) {
    const std::size_t unit = page_bytes();
    if (bytes > ~std::size_t{0} - (unit - 1)) throw std::bad_alloc();
    return (bytes + unit - 1) / unit * unit;
}

BigMapping::BigMapping(std::size_t bytes) {
    const std::size_t len = mapped_length(bytes);
    if (len == 0) return;
    void* addr = mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (addr == MAP_FAILED) throw std::bad_alloc();
    addr_ = addr;
    size_ = len;
}

BigMapping::~BigMapping() {
    if (addr_) munmap(addr_, size_);
}

BigMapping& BigMapping::operator=(BigMapping&& other) noexcept {
    if (this != &other) {
        if (addr_) munmap(addr_, size_);
        addr_ = std::exchange(other.addr_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void BigMapping::grow(std::size_t bytes) {
    const std::size_t len = mapped_length(bytes);
    if (len <= size_) return;
    if (!addr_) {
        *this = BigMapping(bytes);
        return;
    }
    void* moved = mremap(addr_, size_, len, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) throw std::bad_alloc();
    addr_ = moved;
    size_ = len;
}

}  // namespace tessim
