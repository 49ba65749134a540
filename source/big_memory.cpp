#include "source/big_memory.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace tessim {
namespace {

std::size_t page_bytes() {
    static const std::size_t bytes = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return bytes;
}

std::size_t round_up(std::size_t bytes, std::size_t unit) {
    if (bytes > ~std::size_t{0} - (unit - 1)) throw std::bad_alloc();
    return (bytes + unit - 1) / unit * unit;
}

bool huge_aligned(const void* addr) {
    return reinterpret_cast<std::uintptr_t>(addr) % kHugePageBytes == 0;
}

void advise_huge(void* addr, std::size_t len) {
    // Only advice: a kernel without transparent huge pages refuses it, and 4 KiB pages
    // still work.
    madvise(addr, len, MADV_HUGEPAGE);
}

bool huge(Pages pages, std::size_t len) {
    return pages == Pages::huge && len >= kHugePageBytes;
}

// Maps `len` bytes (a multiple of the huge page) starting on a huge-page boundary: maps one
// huge page more than asked and gives back the slack on either side. The kernel aligns
// large anonymous mappings by itself on some versions only; this does not rely on it.
void* map_huge_aligned(std::size_t len, int prot) {
    if (len > ~std::size_t{0} - kHugePageBytes) throw std::bad_alloc();
    const std::size_t wide = len + kHugePageBytes;
    int flags = MAP_PRIVATE | MAP_ANONYMOUS | (prot == PROT_NONE ? MAP_NORESERVE : 0);
    void* raw = mmap(nullptr, wide, prot, flags, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = round_up(start, kHugePageBytes);
    const std::size_t head = aligned - start;
    if (head != 0) munmap(raw, head);
    const std::size_t tail = wide - head - len;
    if (tail != 0) munmap(reinterpret_cast<void*>(aligned + len), tail);
    return reinterpret_cast<void*>(aligned);
}

}  // namespace

std::size_t mapped_length(std::size_t bytes, Pages pages) {
    if (bytes == 0) return 0;
    const std::size_t pages_len = round_up(bytes, page_bytes());
    return huge(pages, pages_len) ? round_up(bytes, kHugePageBytes) : pages_len;
}

BigMapping::BigMapping(std::size_t bytes, Pages pages) : pages_(pages) {
    const std::size_t len = mapped_length(bytes, pages);
    if (len == 0) return;
    if (huge(pages, len)) {
        addr_ = map_huge_aligned(len, PROT_READ | PROT_WRITE);
        advise_huge(addr_, len);
    } else {
        void* addr = mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (addr == MAP_FAILED) throw std::bad_alloc();
        addr_ = addr;
    }
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
        pages_ = other.pages_;
    }
    return *this;
}

void BigMapping::grow(std::size_t bytes) {
    const std::size_t len = mapped_length(bytes, pages_);
    if (len <= size_) return;
    if (!addr_) {
        *this = BigMapping(bytes, pages_);
        return;
    }
    if (!huge(pages_, len)) {
        void* moved = mremap(addr_, size_, len, MREMAP_MAYMOVE);
        if (moved == MAP_FAILED) throw std::bad_alloc();
        addr_ = moved;
        size_ = len;
        return;
    }
    // In place first: no page table moves at all. A mapping that was too small for huge
    // pages usually does not start on a huge-page boundary and is moved instead. The advice
    // travels with a mapping through mremap, but such a mapping never had it: advise again.
    if (huge_aligned(addr_) && mremap(addr_, size_, len, 0) != MAP_FAILED) {
        size_ = len;
        advise_huge(addr_, len);
        return;
    }
    // Moving onto a huge-page boundary lets the kernel carry whole huge pages over instead
    // of splitting them.
    void* target = map_huge_aligned(len, PROT_NONE);
    void* moved = mremap(addr_, size_, len, MREMAP_MAYMOVE | MREMAP_FIXED, target);
    if (moved == MAP_FAILED) {
        munmap(target, len);
        throw std::bad_alloc();
    }
    advise_huge(moved, len);
    addr_ = moved;
    size_ = len;
}

}  // namespace tessim
