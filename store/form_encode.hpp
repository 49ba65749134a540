#pragma once
// application/x-www-form-urlencoded encoding of query parameters, as QuestDB's /exec endpoint
// expects them in the query string of a GET request.

#include <string>
#include <string_view>

namespace tessim {

// Encodes one name or value: letters, digits and "_.-~" stay as they are, the space becomes
// "+", every other byte (UTF-8 sequences included, byte by byte) becomes "%XX" in upper case.
std::string form_encode(std::string_view text);

}  // namespace tessim
