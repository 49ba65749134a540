#pragma once
// How a column of a text-protocol result becomes a Value.
//
// The text protocol delivers every value as bytes; the column's type, flags and character
// set say which kind they are:
//   DECIMAL, NEWDECIMAL                       -> decimal (digits kept as sent)
//   DATE                                      -> date
//   DATETIME, TIMESTAMP                       -> datetime (microseconds when sent)
//   TINY, SHORT, INT24, LONG, LONGLONG, YEAR  -> integer (UNSIGNED respected)
//   BIT                                       -> integer (big-endian bytes)
//   FLOAT, DOUBLE                             -> floating
//   everything else (CHAR, VARCHAR, BINARY, BLOB/TEXT, ENUM, SET, JSON, TIME, GEOMETRY)
//                                             -> text (binary strings too: their bytes)
//   SQL NULL                                  -> null
//
// Dates that are not real calendar days ('0000-00-00', '2020-00-00', '2021-02-30', year 0)
// become null, as the Python drivers deliver them: no later step can convert them, and a
// placeholder is exactly what such a value means in the management system.

#include <mysql.h>

#include <cstdint>
#include <string_view>

#include "source/value.hpp"

namespace tessim {

enum class ColumnKind : std::uint8_t {
    integer,
    unsigned_integer,
    bit,
    decimal,
    floating,
    text,
    date,
    datetime,
};

ColumnKind column_kind(const MYSQL_FIELD& field);

// One value of a column of kind `kind`. `data` is null for SQL NULL. Texts and decimals
// are copied into `texts`. Throws DatabaseFailure naming `column` when the bytes do not fit
// the kind (an UNSIGNED BIGINT above INT64_MAX, a malformed number).
Value column_value(ColumnKind kind, const char* data, unsigned long length, TextStore& texts,
                   std::string_view column);

}  // namespace tessim
