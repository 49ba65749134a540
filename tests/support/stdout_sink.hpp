#pragma once
// The store's lines on standard output, as the run writes them, for tests that capture it.

#include <cstdio>
#include <string_view>

#include "store/line_sink.hpp"

namespace tessim {

inline const LineSink kStdoutSink = [](std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
};

}  // namespace tessim
