#pragma once
// One record normalised on its own, returned as a copy so that the raw record stays at hand
// for comparison.

#include "source/normalization.hpp"

namespace tessim {

inline CustomerRecord normalized(CustomerRecord record, TextStore& texts) {
    Normalizer(texts).normalize(record);
    return record;
}

}  // namespace tessim
