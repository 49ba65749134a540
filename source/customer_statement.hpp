#pragma once
// The one statement the collector sends to the management database.

#include <string_view>

namespace tessim {

// Sent as is, byte for byte: line breaks, indentation and trailing blanks included. The
// server ignores them, but keeping the text fixed keeps it recognisable in the server's
// query log and slow-query reports.
extern const std::string_view kCustomerStatement;

}  // namespace tessim
