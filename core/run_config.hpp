#pragma once
// The Run configuration: filled once from the command line and read-only afterwards. This is
// the only mutable global of the program.

#include <optional>
#include <string>

namespace tessim {

// A field that a layout may leave unset, which differs from the empty text: reading an
// unset field throws std::logic_error naming it.
class ConfigField {
  public:
    explicit constexpr ConfigField(const char* name) : name_(name) {}
    const std::string& get() const;
    bool is_set() const { return value_.has_value(); }
    void set(std::string value) { value_ = std::move(value); }
    const char* name() const { return name_; }

  private:
    const char* name_;
    std::optional<std::string> value_;
};

struct RunConfig {
    ConfigField mode{"mode"};
    ConfigField db_host{"db_host"};
    ConfigField db_port{"db_port"};
    ConfigField db_user{"db_user"};
    ConfigField db_password{"db_password"};
    ConfigField database{"database"};
    ConfigField quest_db_ip{"quest_db_ip"};
    ConfigField quest_db_port{"quest_db_port"};
    ConfigField zabbix_host{"zabbix_host"};
};

const RunConfig& run_config();
// Written once by the command-line step (and by tests that need a configuration).
void install_run_config(RunConfig config);

}  // namespace tessim
