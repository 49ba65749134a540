#pragma once
// The failure that signals an expired run-time limit. Its message is written as the last
// line of the run, so it is complete Portuguese text ready for the console.

#include <stdexcept>
#include <string>

namespace tavmolibrary::process_library {

class TimeoutException : public std::runtime_error {
  public:
    // "Tempo limite de execução excedido (<limit_seconds> s)."
    explicit TimeoutException(int limit_seconds);
    // Any message, for kinds derived from this one; an empty message gives an empty line.
    explicit TimeoutException(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tavmolibrary::process_library
