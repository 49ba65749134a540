#pragma once
// Decoding of a QuestDB reply body into the answer tree.

#include <string_view>

#include <nlohmann/json.hpp>

namespace tessim {

// Parses one JSON document. Members keep their document order; a member name given twice
// keeps its first position and its last value. Integers within the 64-bit range (signed or
// unsigned) stay exact; integers beyond it become the nearest double. Throws
// nlohmann::json::exception when the body is not one JSON document (empty body, HTML page,
// a lone surrogate escape such as "\ud800", a number that overflows a double).
nlohmann::ordered_json parse_answer(std::string_view body);

}  // namespace tessim
