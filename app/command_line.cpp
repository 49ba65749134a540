#include "app/command_line.hpp"

namespace tessim {

std::optional<RunConfig> read_command_line(std::vector<std::string> command_line) {
    if (command_line.size() != 2 && command_line.size() != 10) return std::nullopt;
    RunConfig config;
    config.mode.set(command_line[1]);
    if (command_line.size() == 10) {
        ConfigField* fields[] = {&config.db_host,       &config.db_port,    &config.db_user,
                                 &config.db_password,   &config.database,   &config.quest_db_ip,
                                 &config.quest_db_port, &config.zabbix_host};
        for (std::size_t i = 0; i < 8; ++i) fields[i]->set(command_line[i + 2]);
    }
    config.command_line = std::move(command_line);
    return config;
}

}  // namespace tessim
