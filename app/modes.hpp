#pragma once
// The run modes: what the mode text of the command line selects.

#include <string>

namespace tessim {

// "version" first and alone; then one of "descobertaClientes", a mode holding "launch_"
// anywhere, or nothing. Runs inside the run-time limiter; ending the run is EndRun's job.
void dispatch_mode(const std::string& mode);

// Stands in for the discovery run until it is built: reads the fields the discovery run
// reads before it connects (so the one-argument layout fails the same way) and then fails,
// so that nobody mistakes this build for a working collector.
void descoberta_indisponivel();

}  // namespace tessim
