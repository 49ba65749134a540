#pragma once
// Checks shared by the fuzz targets. A failed check aborts, which libFuzzer reports as a
// crash and saves the input that caused it.

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace fuzz {

// Strict UTF-8 well-formedness (no overlongs, surrogates or code points past U+10FFFF),
// written apart from the product's own validators so that it can judge them.
bool is_utf8(std::string_view bytes);

// The message of the E that `attempt` throws; nothing when it throws none.
template <class E, class F>
std::optional<std::string> refusal(F&& attempt) {
    try {
        attempt();
    } catch (const E& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

[[noreturn]] inline void fail(const char* what, std::string_view input) {
    std::fprintf(stderr, "fuzz check failed: %s (%zu bytes)\n", what, input.size());
    std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(cond, input)                  \
    do {                                         \
        if (!(cond)) ::fuzz::fail(#cond, input); \
    } while (0)
