#pragma once
// Two values are equal when kind and content are: texts compared by bytes, doubles by ==.
// The program never compares values; the tests compare records and entries whole.

#include "source/value.hpp"

namespace tessim {

inline bool operator==(const Value& a, const Value& b) {
    if (a.kind() != b.kind()) return false;
    switch (a.kind()) {
        case Kind::null:
            return true;
        case Kind::integer:
        case Kind::instant:
            return a.integer() == b.integer();
        case Kind::floating:
            return a.floating() == b.floating();
        case Kind::text:
        case Kind::decimal:
            return a.text() == b.text();
        case Kind::date:
        case Kind::datetime:
            return a.time() == b.time();
    }
    return false;
}

}  // namespace tessim
