#pragma once
// A request to end the process with a status once the limiter's scope has been left.
// It is deliberately not a std::exception: nothing but the entry may catch it, and the
// timeout handler (which catches TimeoutException only) lets it pass.

namespace tavmolibrary::process_library {

struct EndRun {
    int status = 0;
};

}  // namespace tavmolibrary::process_library
