#include "app/modes.hpp"

#include "app/version.hpp"
#include "core/run_config.hpp"
#include "discovery/discovery_run.hpp"
#include "process/launch.hpp"

namespace tessim {

namespace process = tavmolibrary::process_library;

void dispatch_mode(const std::string& mode) {
    if (mode == "version") {
        get_version();
    } else if (mode == "descobertaClientes") {
        descobertaClientes();
    } else if (mode.find("launch_") != std::string::npos) {
        process::launch(mode);
    }
}

}  // namespace tessim
