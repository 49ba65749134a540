// The real program with a two-second run-time limit instead of 900, so that a server that
// never answers can be shown to end the run within a test's time.

#include "app/entry.hpp"

int main(int argc, char** argv) {
    return tessim::run_entry(argc, argv, {2, tessim::dispatch_mode});
}
