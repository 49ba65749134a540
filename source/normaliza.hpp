#pragma once
// Normalisation of one raw customer record: repaired texts, zero-padded taxpayer numbers,
// local date-times as instants, the due day as an integer and the plan price as a double.

#include <stdexcept>
#include <string>
#include <string_view>

#include "core/clock.hpp"
#include "source/customer_record.hpp"
#include "source/value.hpp"

namespace tessim {

// A field that cannot be normalised. The message names the field and the contract
// (idServico), so the operator can find the row.
class NormalizationError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Null, the empty text and numbers equal to zero have no value; everything else has one
// (blanks, the text "0", any date).
bool tem_valor(const Value& v);

// Texts the normalisation creates are kept in `texts`; unchanged texts keep pointing at
// the raw record's bytes, so the raw rows' TextStore must outlive the result.
CustomerRecord normalizar(const CustomerRecord& raw, TextStore& texts);
// The same, reusing `scratch` for repaired texts so that a loop over many records does not
// allocate once per repaired field.
CustomerRecord normalizar(const CustomerRecord& raw, TextStore& texts, std::string& scratch);
// The same, with one local clock for all the dates: the form for a loop over a whole result.
CustomerRecord normalizar(const CustomerRecord& raw, TextStore& texts, std::string& scratch,
                          LocalClock& clock);

// The single rules, exposed for the debug tools and the tests.
Value zero_padding(const Value& v, std::size_t width, TextStore& texts);
// A date or date-time read as a wall time of the local zone (mktime's reading, seconds only)
// becomes that instant; fields outside the calendar (a year 0) stay the local date-time mktime
// carries them to, and the store refuses them. Throws NormalizationError when mktime fails.
Value local_datetime(const Value& v, LocalClock& clock);
std::string_view field_name(Campo campo);

}  // namespace tessim
