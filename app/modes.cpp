#include "app/modes.hpp"

#include <stdexcept>

#include "app/run_config.hpp"
#include "app/version.hpp"
#include "process/end_run.hpp"
#include "process/launch.hpp"

namespace tessim {

namespace process = tavmolibrary::process_library;

void descoberta_indisponivel() {
    const RunConfig& config = run_config();
    for (const ConfigField* field : {&config.db_host, &config.db_port, &config.db_user,
                                     &config.db_password, &config.database, &config.zabbix_host})
        field->get();
    throw std::runtime_error(
        "descobertaClientes ainda não disponível nesta versão: nenhuma consulta foi feita");
}

void dispatch_mode(const std::string& mode) {
    if (mode == "version") get_version();

    if (mode == "descobertaClientes") {
        descoberta_indisponivel();
        throw process::EndRun{0};
    } else if (mode.find("launch_") != std::string::npos) {
        process::launch(mode);
    }
}

}  // namespace tessim
