// The real entry with a one-second limit and dispatches that outlast it, so the timeout path
// of the entry can be watched from outside.
//   timeout_probe bloqueio   one line, then a read that never returns
//   timeout_probe enxurrada  numbered lines as fast as they go, forever
//   timeout_probe cores      every palette constant on its own line, then the end of the run
//   timeout_probe descobertaClientes <eight more>   the real discovery run under the short limit

#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "app/entry.hpp"
#include "app/modes.hpp"
#include "core/palette.hpp"
#include "process/console.hpp"

namespace {

namespace process = tavmolibrary::process_library;

void probe_dispatch(const tessim::RunConfig& config) {
    const std::string& mode = config.mode.get();
    if (mode == "bloqueio") {
        process::print_line("linha antes do limite");
        int fds[2];
        if (::pipe(fds) != 0) return;
        char byte;
        (void)::read(fds[0], &byte, 1);
    } else if (mode == "enxurrada") {
        for (long n = 0;; ++n) {
            process::print_line("linha " + std::to_string(n));
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    } else if (mode == "cores") {
        for (auto colour : {tessim::RED, tessim::BLUE, tessim::CYAN, tessim::GREEN, tessim::RESET,
                            tessim::BOLD, tessim::REVERSE, tessim::YELLOW})
            process::print_line(std::string(colour) + "cor" + std::string(tessim::RESET));
        return;
    } else if (mode == "descobertaClientes") {
        tessim::dispatch_mode(config);
    }
}

}  // namespace

int main(int argc, char** argv) {
    return tessim::run_entry(argc, argv, {1, probe_dispatch});
}
