#pragma once
// Memory for the few arrays that grow to hundreds of megabytes in one run (the raw records,
// the discovery entries, the text arenas).
//
// A std::vector that does not know its final size copies itself at every doubling, and
// for a moment holds the old and the new copy at once. Here the large regions are anonymous
// mappings, and growth goes through mremap, which moves page tables instead of bytes and
// never has two copies resident.

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <type_traits>
#include <utility>

namespace tessim {

// One anonymous private mapping, zero-filled when mapped, its length rounded up to whole
// pages. Every failure to map throws std::bad_alloc.
class BigMapping {
  public:
    BigMapping() = default;
    explicit BigMapping(std::size_t bytes);
    ~BigMapping();
    BigMapping(BigMapping&& other) noexcept
        : addr_(std::exchange(other.addr_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    BigMapping& operator=(BigMapping&& other) noexcept;
    BigMapping(const BigMapping&) = delete;
    BigMapping& operator=(const BigMapping&) = delete;

    // Makes the mapping at least `bytes` long, keeping its contents; the address may change.
    // On failure the old mapping is left as it was and std::bad_alloc is thrown.
    void grow(std::size_t bytes);

    char* data() const { return static_cast<char*>(addr_); }
    std::size_t size() const { return size_; }

  private:
    void* addr_ = nullptr;
    std::size_t size_ = 0;
};

// The length a request for `bytes` is rounded up to (whole pages); throws std::bad_alloc
// when that does not fit in a size_t.
std::size_t mapped_length(std::size_t bytes);

// A growable array of trivially copyable elements with the parts of std::vector's interface
// this code base uses. Below kMappedFromBytes the elements live on the ordinary heap with the
// capacity asked for (tests and small fetches stay as cheap as a vector); from there on they
// live in a BigMapping and growth never copies them.
inline constexpr std::size_t kMappedFromBytes = std::size_t{1} << 20;

template <typename T>
class BigArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "BigArray moves its elements as bytes");

  public:
    using value_type = T;
    using size_type = std::size_t;
    using iterator = T*;
    using const_iterator = const T*;

    BigArray() = default;
    BigArray(std::initializer_list<T> items) {
        reserve(items.size());
        for (const T& item : items) push_back(item);
    }
    ~BigArray() { std::free(heap_); }
    BigArray(BigArray&& other) noexcept
        : heap_(std::exchange(other.heap_, nullptr)),
          mapping_(std::move(other.mapping_)),
          data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    BigArray& operator=(BigArray&& other) noexcept {
        if (this != &other) {
            std::free(heap_);
            heap_ = std::exchange(other.heap_, nullptr);
            mapping_ = std::move(other.mapping_);
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
    bool empty() const { return size_ == 0; }

    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T& front() { return data_[0]; }
    const T& front() const { return data_[0]; }
    T& back() { return data_[size_ - 1]; }
    const T& back() const { return data_[size_ - 1]; }

    iterator begin() { return data_; }
    iterator end() { return data_ + size_; }
    const_iterator begin() const { return data_; }
    const_iterator end() const { return data_ + size_; }

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
    void push_back(const T& item) { emplace_back(item); }

    // New elements are value-initialised, as std::vector does.
    void resize(std::size_t n) {
        reserve(n);
        for (std::size_t i = size_; i < n; ++i) ::new (static_cast<void*>(data_ + i)) T();
        size_ = n;
    }
    void clear() { size_ = 0; }

    // Hands this array's storage, with no elements yet, to an array of another element type
    // of the same size; this array is left empty. The bytes stay where they are: element i
    // can still be read as a T through `data()` taken before, until element i of the new
    // array is made. That turns a large array into another one in place, without a second
    // array's worth of memory.
    template <typename U>
    BigArray<U> into_storage_for() && {
        static_assert(sizeof(U) == sizeof(T) && alignof(U) == alignof(T));
        BigArray<U> out;
        out.heap_ = std::exchange(heap_, nullptr);
        out.mapping_ = std::move(mapping_);
        out.data_ = reinterpret_cast<U*>(std::exchange(data_, nullptr));
        out.capacity_ = std::exchange(capacity_, 0);
        size_ = 0;
        return out;
    }

  private:
    template <typename U>
    friend class BigArray;

    std::size_t grown_capacity() const {
        if (capacity_ > max_size() / 2) throw std::bad_alloc();
        return capacity_ == 0 ? 4 : capacity_ * 2;
    }
    static constexpr std::size_t max_size() { return ~std::size_t{0} / sizeof(T); }

    void reallocate(std::size_t n) {
        if (n > max_size()) throw std::bad_alloc();
        const std::size_t bytes = n * sizeof(T);
        if (mapping_.size() != 0) {
            mapping_.grow(bytes);
            data_ = reinterpret_cast<T*>(mapping_.data());
            capacity_ = mapping_.size() / sizeof(T);
        } else if (bytes < kMappedFromBytes) {
            void* grown = std::realloc(heap_, bytes);
            if (!grown) throw std::bad_alloc();
            heap_ = grown;
            data_ = static_cast<T*>(grown);
            capacity_ = n;
        } else {
            BigMapping mapping(bytes);
            if (size_ != 0) std::memcpy(mapping.data(), heap_, size_ * sizeof(T));
            std::free(std::exchange(heap_, nullptr));
            mapping_ = std::move(mapping);
            data_ = reinterpret_cast<T*>(mapping_.data());
            capacity_ = mapping_.size() / sizeof(T);
        }
    }

    void* heap_ = nullptr;  // the elements while they are few, else null
    BigMapping mapping_;    // the elements once they are many
    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace tessim
