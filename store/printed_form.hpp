#pragma once
// The one-line text in which an answer of the query endpoint is written to the console.
// It reads like a literal of the answer: None/True/False, quoted texts with backslash
// escapes, {'name': value, ...} and [a, b].

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace tessim {

// The absent answer prints as "None".
std::string printed_form(const std::optional<nlohmann::ordered_json>& answer);
std::string printed_form(const nlohmann::ordered_json& answer);

// Pieces of the above, for the debug view and the messages about refused values too. A byte
// of `utf8` that is not part of well-formed UTF-8 is shown as \xNN.
std::string printed_text(const std::string& utf8);
std::string printed_float(double value);

}  // namespace tessim
