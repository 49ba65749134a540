#include "source/value.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#include "core/failure.hpp"

namespace tessim {
namespace {

using namespace value_detail;

std::int64_t pack(const CivilTime& t) {
    std::uint64_t v = static_cast<std::uint16_t>(static_cast<std::int16_t>(t.year));
    v = (v << kMonthBits) | static_cast<unsigned>(t.month);
    v = (v << kDayBits) | static_cast<unsigned>(t.day);
    v = (v << kHourBits) | static_cast<unsigned>(t.hour);
    v = (v << kMinuteBits) | static_cast<unsigned>(t.minute);
    v = (v << kSecondBits) | static_cast<unsigned>(t.second);
    v = (v << kMicroBits) | static_cast<unsigned>(t.microsecond);
    return static_cast<std::int64_t>(v);
}

void check_civil(const CivilTime& t) {
    bool ok = t.year >= std::numeric_limits<std::int16_t>::min() &&
              t.year <= std::numeric_limits<std::int16_t>::max() && t.month >= 0 && t.month <= 12 &&
              t.day >= 0 && t.day <= 31 && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
              t.minute <= 59 && t.second >= 0 && t.second <= 60 && t.microsecond >= 0 &&
              t.microsecond <= 999999;
    if (!ok) throw std::logic_error("data/hora fora do intervalo representável");
}

// Out of line, so that making a text value stays small enough to inline.
[[noreturn]] void too_long() {
    throw DatabaseFailure(DatabaseFailure::Cause::value, 0, "texto maior que 4 GiB");
}

constexpr std::size_t kFirstBlock = std::size_t{1} << 20;
// Large enough that a million contracts' texts take a handful of blocks, small enough that
// one block never asks for an unreasonable stretch of address space.
constexpr std::size_t kLargestBlock = std::size_t{64} << 20;

}  // namespace

Value Value::of_integer(std::int64_t v) {
    Value r;
    r.kind_ = Kind::integer;
    r.u_.integer = v;
    return r;
}

Value Value::of_double(double v) {
    Value r;
    r.kind_ = Kind::floating;
    r.u_.floating = v;
    return r;
}

Value Value::of_bytes(Kind kind, std::string_view bytes) {
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) [[unlikely]]
        too_long();
    Value r;
    r.kind_ = kind;
    r.size_ = static_cast<std::uint32_t>(bytes.size());
    r.u_.chars = bytes.data();
    return r;
}

Value Value::of_text(std::string_view bytes) {
    return of_bytes(Kind::text, bytes);
}
Value Value::of_decimal(std::string_view digits) {
    return of_bytes(Kind::decimal, digits);
}

Value Value::of_date(int year, int month, int day) {
    Value r = of_datetime(CivilTime{year, month, day, 0, 0, 0, 0});
    r.kind_ = Kind::date;
    return r;
}

Value Value::of_datetime(const CivilTime& t) {
    check_civil(t);
    Value r;
    r.kind_ = Kind::datetime;
    r.u_.packed_time = pack(t);
    return r;
}

Value Value::of_instant(std::int64_t micros) {
    Value r;
    r.kind_ = Kind::instant;
    r.u_.integer = micros;
    return r;
}

void Value::not_a_time() const {
    throw std::logic_error(std::string("valor do tipo ") + kind_name(kind_) +
                           " não é data nem data/hora");
}

// The one switch from a value to its plain text; the debug view and the store's messages
// spell a few kinds their own way and take the rest from here.
std::string as_text(const Value& v) {
    char buf[64];
    switch (v.kind()) {
        case Kind::null:
            return "nulo";
        case Kind::text:
        case Kind::decimal:
            return std::string(v.text());
        case Kind::integer: {
            auto r = std::to_chars(buf, buf + sizeof buf, v.integer());
            return std::string(buf, r.ptr);
        }
        case Kind::floating: {
            auto r = std::to_chars(buf, buf + sizeof buf, v.floating());
            return std::string(buf, r.ptr);
        }
        case Kind::date:
            return civil_text(v.time(), CivilForm::date);
        case Kind::datetime:
            return civil_text(v.time(), CivilForm::date_time);
        case Kind::instant: {
            auto r = std::to_chars(buf, buf + sizeof buf, v.instant());
            return std::string(buf, r.ptr);
        }
    }
    return {};
}

const char* kind_name(Kind k) {
    switch (k) {
        case Kind::null:
            return "null";
        case Kind::integer:
            return "integer";
        case Kind::decimal:
            return "decimal";
        case Kind::floating:
            return "floating";
        case Kind::text:
            return "text";
        case Kind::date:
            return "date";
        case Kind::datetime:
        case Kind::instant:
            return "datetime";
    }
    return "?";
}

TextStore::TextStore(TextStore&& other) noexcept
    : blocks_(std::move(other.blocks_)),
      cursor_(std::exchange(other.cursor_, nullptr)),
      left_(std::exchange(other.left_, 0)),
      held_(std::exchange(other.held_, 0)) {
    other.blocks_.clear();
}

TextStore& TextStore::operator=(TextStore&& other) noexcept {
    if (this != &other) {
        blocks_ = std::move(other.blocks_);
        other.blocks_.clear();
        cursor_ = std::exchange(other.cursor_, nullptr);
        left_ = std::exchange(other.left_, 0);
        held_ = std::exchange(other.held_, 0);
    }
    return *this;
}

std::string_view TextStore::keep(std::string_view bytes) {
    if (bytes.empty()) return {};
    if (bytes.size() > left_) reserve(bytes.size());
    char* at = cursor_;
    std::memcpy(at, bytes.data(), bytes.size());
    cursor_ += bytes.size();
    left_ -= bytes.size();
    return {at, bytes.size()};
}

void TextStore::reserve(std::size_t bytes) {
    if (bytes <= left_) return;
    const std::size_t size = std::max(bytes, std::clamp(held_, kFirstBlock, kLargestBlock));
    // Left unwritten: the pages of a block count as resident only once texts fill them.
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    cursor_ = blocks_.back().get();
    left_ = size;
    held_ += size;
}

}  // namespace tessim
