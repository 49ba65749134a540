#include "core/fields.hpp"

#include <stdexcept>
#include <string>

namespace tessim {

std::size_t position_of_key(std::string_view key) {
    for (std::size_t i = 0; i < kFieldCount; ++i)
        if (kFields[i].macro == key) return i;
    throw std::out_of_range("chave de descoberta desconhecida: " + std::string(key));
}

}  // namespace tessim
