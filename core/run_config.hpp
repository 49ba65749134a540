#pragma once
// The Run configuration: what the command line says, read once at start-up and handed down
// from the entry to whatever needs a part of it.

#include <optional>
#include <string>
#include <vector>

namespace tessim {

// A field that a layout may leave unset, which differs from the empty text: reading an
// unset field throws UnsetField naming it.
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
    // The command line as invoked, program name first, the concealed argument's real text in
    // its place: the version report shows the name, and a launch hands the rest on.
    std::vector<std::string> command_line;
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

}  // namespace tessim
