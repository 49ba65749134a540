#pragma once
// An entry's value looked up by its macro key, as Zabbix names it.

#include <stdexcept>
#include <string>
#include <string_view>

#include "core/fields.hpp"
#include "discovery/discovery_list.hpp"

namespace tessim {

// Throws std::out_of_range for a key that is not one of the fields'.
inline const Value& entry_value(const DiscoveryEntry& entry, std::string_view macro_key) {
    for (std::size_t i = 0; i < kFieldCount; ++i)
        if (kFields[i].macro == macro_key) return entry[i];
    throw std::out_of_range("no field has the macro key " + std::string(macro_key));
}

}  // namespace tessim
