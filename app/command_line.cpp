#include "app/command_line.hpp"

namespace tessim {

std::optional<RunConfig> read_command_line(int argc, const char* const* argv) {
    if (argc != 2 && argc != 10) return std::nullopt;
    RunConfig config;
    config.mode.set(argv[1]);
    if (argc == 10) {
        ConfigField* fields[] = {&config.db_host,       &config.db_port,    &config.db_user,
                                 &config.db_password,   &config.database,   &config.quest_db_ip,
                                 &config.quest_db_port, &config.zabbix_host};
        for (int i = 0; i < 8; ++i) fields[i]->set(argv[i + 2]);
    }
    return config;
}

std::optional<RunConfig> read_command_line(const std::vector<std::string>& command_line) {
    std::vector<const char*> argv;
    argv.reserve(command_line.size());
    for (const auto& argument : command_line) argv.push_back(argument.c_str());
    return read_command_line(static_cast<int>(argv.size()), argv.data());
}

}  // namespace tessim
