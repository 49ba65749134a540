#pragma once
// The customer record: one contract as a row of the customer statement, one value per field
// of the field table, in its order. Normalisation rewrites a record in place, so the raw and
// the normalised record are the same object at two moments.

#include <array>

#include "core/fields.hpp"
#include "source/big_memory.hpp"
#include "source/value.hpp"

namespace tessim {

using CustomerRecord = std::array<Value, kFieldCount>;

// Every raw record of one fetch, with the bytes their texts point into. The fetch cannot
// know the row count ahead, so the records grow in place (see BigArray).
struct CustomerRows {
    TextStore texts;
    BigArray<CustomerRecord> records;
};

}  // namespace tessim
