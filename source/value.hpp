#pragma once
// The value model: one column value as the MySQL client delivers it, or as the normalisation
// leaves it, in 13 bytes.
//
// Texts and exact decimals are views: their bytes live in a TextStore that must outlive
// every Value pointing into it. Keeping values this small (and the bytes in a few large
// blocks) is what lets a run hold a million records at once.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/clock.hpp"

namespace tessim {

// `instant` is a local date-time that the normalisation has already placed on the time line
// (microseconds since the epoch); it is named "datetime" wherever a kind is shown.
enum class Kind : std::uint8_t { null, integer, decimal, floating, text, date, datetime, instant };

// Packed to 13 bytes: a run holds one value per field of each contract, and three bytes of padding
// on each would add nearly a quarter to them. The unaligned 8-byte reads this costs are cheap on
// the processors we run on; the accessors read members by value, never by reference.
#pragma pack(push, 1)
class Value {
  public:
    static Value null() { return {}; }
    static Value of_integer(std::int64_t v);
    static Value of_double(double v);
    // The view must stay valid as long as the value: pass bytes kept by a TextStore. A text
    // of 4 GiB or more throws DatabaseFailure (value).
    static Value of_text(std::string_view bytes);
    // Exact decimal as its decimal text ("-12.50", "0.00", "1E+3" is not accepted here).
    static Value of_decimal(std::string_view digits);
    // Fields a date cannot hold (a month 13, an hour 24) are misuse: std::logic_error.
    static Value of_date(int year, int month, int day);
    static Value of_datetime(const CivilTime& t);
    static Value of_instant(std::int64_t micros);

    Kind kind() const { return kind_; }
    bool is_null() const { return kind_ == Kind::null; }
    // The number of an integer, a double or an instant; meaningless for other kinds.
    std::int64_t integer() const { return u_.integer; }
    double floating() const { return u_.floating; }
    std::int64_t instant() const { return u_.integer; }
    // The bytes of a text or the digits of a decimal; empty for every other kind.
    std::string_view text() const;
    // Calendar fields of a date or date-time; throws std::logic_error for other kinds.
    CivilTime time() const;

  private:
    static Value of_bytes(Kind kind, std::string_view bytes);
    [[noreturn]] void not_a_time() const;

    Kind kind_ = Kind::null;
    std::uint32_t size_ = 0;  // byte length of a text or of decimal digits
    union {
        std::int64_t integer;
        double floating;
        const char* chars;
        std::int64_t packed_time;
    } u_{.integer = 0};
};
#pragma pack(pop)
static_assert(sizeof(Value) == 13);

// Every column of every record reads these, so they are inline. The members are read by
// value: a reference to a member of a packed struct may be unaligned.
inline std::string_view Value::text() const {
    if (kind_ != Kind::text && kind_ != Kind::decimal) return {};
    return {u_.chars, size_};
}

namespace value_detail {
// A date-time packed into 64 bits, from the low end: microsecond 20 bits, second 6, minute
// 6, hour 5, day 5, month 4, year 16 (signed).
inline constexpr int kMicroBits = 20, kSecondBits = 6, kMinuteBits = 6, kHourBits = 5, kDayBits = 5,
                     kMonthBits = 4;
}  // namespace value_detail

inline CivilTime Value::time() const {
    using namespace value_detail;
    if (kind_ != Kind::date && kind_ != Kind::datetime) not_a_time();
    auto v = static_cast<std::uint64_t>(u_.packed_time);
    auto take = [&v](int bits) {
        const int field = static_cast<int>(v & ((std::uint64_t{1} << bits) - 1));
        v >>= bits;
        return field;
    };
    CivilTime t;
    t.microsecond = take(kMicroBits);
    t.second = take(kSecondBits);
    t.minute = take(kMinuteBits);
    t.hour = take(kHourBits);
    t.day = take(kDayBits);
    t.month = take(kMonthBits);
    t.year = static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xffff));
    return t;
}

const char* kind_name(Kind k);

// How a value reads in messages and in the zero-padding: texts and decimals as they are,
// numbers in decimal, dates in ISO form, NULL as "nulo".
std::string as_text(const Value& v);

// Append-only byte arena. Views handed out stay valid for the life of the store, also
// after the store itself has been moved. Each new block is as large as everything held so
// far (up to a cap), so a store that ends up holding hundreds of megabytes does it in a few
// large blocks while a small one stays at one small block.
class TextStore {
  public:
    TextStore() = default;
    // A moved-from store must not keep writing into the block it handed over: the moves
    // leave it empty (and usable) rather than with a cursor into someone else's memory.
    TextStore(TextStore&& other) noexcept;
    TextStore& operator=(TextStore&& other) noexcept;
    TextStore(const TextStore&) = delete;
    TextStore& operator=(const TextStore&) = delete;

    std::string_view keep(std::string_view bytes);
    // Reserves room for about `bytes` more bytes in one block, so that a known total
    // (for instance a whole result set) costs one allocation.
    void reserve(std::size_t bytes);
    std::size_t bytes_held() const { return held_; }

  private:
    std::vector<std::unique_ptr<char[]>> blocks_;  // never written beyond what was kept
    char* cursor_ = nullptr;
    std::size_t left_ = 0;
    std::size_t held_ = 0;
};

}  // namespace tessim
