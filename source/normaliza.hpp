#pragma once
// Normalisation of one raw customer record: repaired texts, zero-padded taxpayer numbers,
// local date-times, the due day as an integer and the plan price as a double.

#include <stdexcept>
#include <string>
#include <string_view>

#include "source/customer_record.hpp"
#include "source/local_days.hpp"
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
// The same, remembering per calendar day whether the local-time round trip can be skipped:
// the form for a loop over a whole result.
CustomerRecord normalizar(const CustomerRecord& raw, TextStore& texts, std::string& scratch,
                          LocalDays& dias);

// The single rules, exposed for the debug tools and the tests.
Value zero_padding(const Value& v, std::size_t width, TextStore& texts);
Value local_datetime(const Value& v);  // throws NormalizationError when mktime fails
Value local_datetime(const Value& v, LocalDays& dias);
std::string_view field_name(Campo campo);

}  // namespace tessim
