#pragma once
// Normalisation of the customer records, field by field as the field table's rules say:
// repaired texts, zero-padded taxpayer numbers, local date-times as instants, the due day as
// an integer and the plan price as a double; the other fields stay as read.

#include <string>

#include "core/clock.hpp"
#include "core/failure.hpp"
#include "source/customer_record.hpp"
#include "source/value.hpp"

namespace tessim {

// Null, the empty text and numbers equal to zero have no value; everything else has one
// (blanks, the text "0", any date).
bool has_value(const Value& v);

// Normalises records one after the other, reusing what one record leaves behind: the
// scratch of the text repair and the local clock with what it knows of the zone.
class Normalizer {
  public:
    // Texts the normalisation creates are kept in `texts`; unchanged texts keep pointing at
    // the raw bytes, so the raw rows' TextStore must outlive the records.
    explicit Normalizer(TextStore& texts) : texts_(texts) {}

    // Rewrites `record` in place, in field order. On a failure (a DatabaseFailure of the
    // record, naming the field and the contract) the fields before the failing one are already
    // rewritten.
    void normalize(CustomerRecord& record);

  private:
    TextStore& texts_;
    std::string scratch_;
    LocalClock clock_;
};

}  // namespace tessim
