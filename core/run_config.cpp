#include "core/run_config.hpp"

#include "core/failure.hpp"

namespace tessim {

const std::string& ConfigField::get() const {
    if (!value_)
        throw UnsetField(std::string("campo de configuração não definido: ") + name_ +
                         " (a linha de comando traz só o modo)");
    return *value_;
}

}  // namespace tessim
