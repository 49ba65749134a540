#pragma once
// The run modes: what the mode text of the command line selects.

#include "core/run_config.hpp"

namespace tessim {

// "version" first and alone; then one of "descobertaClientes", a mode holding "launch_"
// anywhere, or nothing. Runs inside the run-time limiter.
void dispatch_mode(const RunConfig& config);

}  // namespace tessim
