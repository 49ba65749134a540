#include "app/modes.hpp"

#include "app/command_line.hpp"
#include "app/version.hpp"
#include "discovery/discovery_run.hpp"
#include "process/launch.hpp"

namespace tessim {

namespace process = tavmolibrary::process_library;

void dispatch_mode(const RunConfig& config) {
    const std::string& mode = config.mode.get();
    if (mode == "version") {
        get_version(config.command_line.front());
    } else if (mode == "descobertaClientes") {
        descobertaClientes(config);
    } else if (mode.find("launch_") != std::string::npos) {
        // The password, concealed at start-up, is handed over rather than shown.
        const bool nine = config.command_line.size() == 10;
        process::launch(mode, process::kThisProgram, config.command_line,
                        nine ? std::optional(kDbPasswordArgument) : std::nullopt);
    }
}

}  // namespace tessim
