#pragma once
// Points in time as counts since the Unix epoch. Separate types for the two units so that a
// count can never be read in the wrong unit; both refuse doubles and bools at compile time.

#include <concepts>
#include <cstdint>

namespace ingress {

template <class T>
concept not_a_plain_integer = !std::integral<T> || std::same_as<T, bool>;

class TimestampNanos {
  public:
    explicit constexpr TimestampNanos(std::int64_t ns) noexcept : ns_(ns) {}
    template <not_a_plain_integer T>
    TimestampNanos(T) = delete;

    // The wall clock (CLOCK_REALTIME) in nanoseconds.
    static TimestampNanos now() noexcept;
    constexpr std::int64_t as_i64() const noexcept { return ns_; }
    constexpr bool operator==(const TimestampNanos&) const = default;

  private:
    std::int64_t ns_;
};

class TimestampMicros {
  public:
    explicit constexpr TimestampMicros(std::int64_t us) noexcept : us_(us) {}
    template <not_a_plain_integer T>
    TimestampMicros(T) = delete;

    // Rounds toward negative infinity, so that an instant before the epoch stays before it.
    static constexpr TimestampMicros from_nanos(TimestampNanos t) noexcept {
        const std::int64_t ns = t.as_i64();
        std::int64_t us = ns / 1000;
        if (ns % 1000 < 0) --us;
        return TimestampMicros(us);
    }
    constexpr std::int64_t as_i64() const noexcept { return us_; }
    constexpr bool operator==(const TimestampMicros&) const = default;

  private:
    std::int64_t us_;
};

}  // namespace ingress
