#pragma once
// Where the store's own lines go (the creation and migration messages, the printed answers,
// the "Error: " line of a failed exchange): whoever drives the store hands one down, so that
// the store never writes to the console by itself. Each call is one whole line, without its
// line feed, in the order the store produces them.

#include <functional>
#include <string_view>

namespace tessim {

using LineSink = std::function<void(std::string_view line)>;

}  // namespace tessim
