#pragma once
// How names and values are spelled in a line of the line protocol, the way QuestDB reads it.
// Each put_ function writes at p, which must have the room its comment gives, and returns the
// end of what it wrote; a value it refuses throws IngressError naming `where`, and what was
// written by then is garbage the caller must not keep.
//
//   name            ' ' and '=' behind a backslash (validation refuses the rest)
//   int64           123i
//   double          shortest round-trip text, always with '.' or an exponent: 1.0, 0.1,
//                   1e+22; NaN and infinities are refused
//   Decimal         validated digits -> nearest double -> as double
//   Text            "..." with  "  \  LF  CR  preceded by a backslash
//   TimestampMicros microseconds, suffix t (TimestampNanos goes out in microseconds)
//   row time        nanoseconds, no suffix (the request asks for precision=n)

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ingress/timestamp.hpp"

namespace ingress {
class RowShape;
}

namespace ingress::wire {

// The column a value is for. Only a refusal reads it, so it is two words, passed in registers
// to every spelling.
struct Where {
    const RowShape* shape;
    std::size_t column;
};

// Room enough for any number, with its suffix.
inline constexpr std::size_t number_room = 32;

// The name as it stands on the wire.
std::string spelled_name(std::string_view name);

// Needs room for 2 * size + 2 bytes plus 8 of slack: plain bytes are copied a whole word at
// a time. Refuses ill-formed UTF-8 and NUL bytes.
char* put_text(char* p, std::string_view text, Where where);
// What put_text refuses, without writing anything.
void check_text(std::string_view text, Where where);

// Needs number_room bytes, as do the rest.
char* put_int(char* p, std::int64_t v);
char* put_double(char* p, double v, Where where);
void check_double(double v, Where where);
char* put_decimal(char* p, std::string_view digits, Where where);
void check_decimal(std::string_view digits, Where where);
char* put_micros(char* p, TimestampMicros t);

}  // namespace ingress::wire
