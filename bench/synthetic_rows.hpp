#pragma once
// Raw customer records made up in memory for the micro-benchmarks: no database involved.

#include <cstddef>

#include "source/customer_record.hpp"

namespace tessim::bench {

enum class Letters {
    accented,  // Portuguese names and places, and every third name stored as mojibake
    ascii,     // the same records spelled without accents, so text repair has nothing to do
};

// `n` records of about 1.3 contracts per customer, a fifth with overdue bills and a tenth
// with unsigned documents; the same seed gives the same records.
CustomerRows synthetic_rows(std::size_t n, Letters letters);

}  // namespace tessim::bench
