#include "store/answer_parse.hpp"

namespace tessim {

// ordered_json's object insertion finds an existing member and overwrites its value in
// place, which is exactly the "first position, last value" rule; the tests pin this down so
// that a library upgrade that changes it does not go unnoticed.
nlohmann::ordered_json parse_answer(std::string_view body) {
    return nlohmann::ordered_json::parse(body.begin(), body.end());
}

}  // namespace tessim
