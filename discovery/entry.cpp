#include "discovery/entry.hpp"

#include <stdexcept>
#include <string>

#include "source/normaliza.hpp"

namespace tessim {

std::size_t macro_index(std::string_view key) {
    for (std::size_t i = 0; i < kMacroKeys; ++i)
        if (kMacroKeyTable[i].key == key) return i;
    throw std::out_of_range("chave de descoberta desconhecida: " + std::string(key));
}

const Value& DiscoveryEntry::at(std::string_view key) const {
    return values[macro_index(key)];
}

DiscoveryEntry build_entry(const CustomerRecord& normalised) {
    DiscoveryEntry entry;
    for (std::size_t i = 0; i < kMacroKeys; ++i)
        entry.values[i] = normalised[kMacroKeyTable[i].campo];
    return entry;
}

DescobertaClientesDB build_discovery_list(const CustomerRows& rows) {
    DescobertaClientesDB list;
    list.entries.reserve(rows.records.size());
    std::string scratch;
    LocalDays dias;
    for (const CustomerRecord& raw : rows.records)
        list.entries.push_back(build_entry(normalizar(raw, list.texts, scratch, dias)));
    return list;
}

}  // namespace tessim
