#pragma once
// The arrays that grow to hundreds of megabytes in one run (the raw records, the discovery
// entries), without knowing their final size.
//
// A std::vector copies itself at every doubling and for a moment holds the old and the new
// copy at once. BigArray grows with realloc instead, which for blocks this large (each in
// a mapping of its own) moves page tables with mremap rather than bytes, so the elements are
// never copied and never resident twice. (Mappings of our own would not do better: README,
// Performance.)

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

namespace tessim {

// A growable array of trivially copyable elements with the parts of std::vector's interface
// the program uses.
template <typename T>
class BigArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "BigArray moves its elements as bytes");

  public:
    BigArray() = default;
    ~BigArray() { std::free(data_); }
    BigArray(BigArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    BigArray& operator=(BigArray&& other) noexcept {
        if (this != &other) {
            std::free(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }
    BigArray(const BigArray&) = delete;
    BigArray& operator=(const BigArray&) = delete;

    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }

    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

    void reserve(std::size_t n) {
        if (n > capacity_) reallocate(n);
    }

    template <typename... Args>
    T& emplace_back(Args&&... args) {
        if constexpr (sizeof...(Args) == 0) {
            if (size_ == capacity_) reallocate(grown_capacity());
            return *::new (static_cast<void*>(data_ + size_++)) T();
        } else {
            // Built before any growth: an argument may refer to an element of this array.
            T item(std::forward<Args>(args)...);
            if (size_ == capacity_) reallocate(grown_capacity());
            return *::new (static_cast<void*>(data_ + size_++)) T(item);
        }
    }

  private:
    std::size_t grown_capacity() const {
        if (capacity_ > max_size() / 2) throw std::bad_alloc();
        return capacity_ == 0 ? 4 : capacity_ * 2;
    }
    static constexpr std::size_t max_size() { return ~std::size_t{0} / sizeof(T); }

    void reallocate(std::size_t n) {
        if (n > max_size()) throw std::bad_alloc();
        void* grown = std::realloc(data_, n * sizeof(T));
        if (!grown) throw std::bad_alloc();
        data_ = static_cast<T*>(grown);
        capacity_ = n;
    }

    T* data_ = nullptr;  // from malloc
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace tessim
