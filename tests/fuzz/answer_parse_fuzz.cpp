// Reply bodies of the query endpoint: parsing either gives an answer or throws the JSON
// library's exception; a parsed answer survives a round trip through its own JSON text
// unchanged (same members in the same order, same numbers); and the schema phase's readers
// of SHOW COLUMNS answers refuse whatever shape they cannot use with an exception instead
// of reading out of bounds.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/answer_parse.hpp"
#include "store/printed_form.hpp"
#include "store/schema.hpp"
#include "tests/fuzz/fuzz_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    nlohmann::ordered_json answer;
    try {
        answer = tessim::parse_answer(input);
    } catch (const nlohmann::json::exception&) {
        return 0;
    }

    const std::string text = answer.dump();
    FUZZ_CHECK(fuzz::is_utf8(text), input);
    const nlohmann::ordered_json again = tessim::parse_answer(text);
    FUZZ_CHECK(again == answer, input);
    FUZZ_CHECK(again.dump() == text, input);
    FUZZ_CHECK(tessim::printed_form(again) == tessim::printed_form(answer), input);

    try {
        const auto columns = tessim::existing_columns(answer);
        const auto dataset = answer.find("dataset");
        FUZZ_CHECK(dataset != answer.end() && columns.size() == dataset->size(), input);
    } catch (const std::exception&) {
    }
    try {
        const std::size_t n = tessim::dataset_size(answer);
        FUZZ_CHECK(n <= input.size(), input);
    } catch (const std::exception&) {
    }
    return 0;
}
