#include "core/run_config.hpp"

#include <stdexcept>

namespace tessim {
namespace {
RunConfig the_config;
}

const std::string& ConfigField::get() const {
    if (!value_)
        throw std::logic_error(std::string("campo de configuração não definido: ") + name_);
    return *value_;
}

const RunConfig& run_config() {
    return the_config;
}
void install_run_config(RunConfig config) {
    the_config = std::move(config);
}

}  // namespace tessim
