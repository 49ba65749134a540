#include "discovery/entry.hpp"

#include <stdexcept>
#include <string>
#include <utility>

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

namespace {

// Each slot made straight from its field: a default-made entry would first be zeroed.
template <std::size_t... I>
DiscoveryEntry entry_of(const CustomerRecord& normalised, std::index_sequence<I...>) {
    return DiscoveryEntry{{{normalised[kMacroKeyTable[I].campo]...}}};
}

}  // namespace

DiscoveryEntry build_entry(const CustomerRecord& normalised) {
    return entry_of(normalised, std::make_index_sequence<kMacroKeys>{});
}

DescobertaClientesDB build_discovery_list(const CustomerRows& rows) {
    DescobertaClientesDB list;
    list.entries.reserve(rows.records.size());
    std::string scratch;
    LocalClock clock;
    for (const CustomerRecord& raw : rows.records)
        list.entries.push_back(build_entry(normalizar(raw, list.texts, scratch, clock)));
    return list;
}

static_assert(sizeof(DiscoveryEntry) == sizeof(CustomerRecord));

DescobertaClientesDB build_discovery_list(CustomerRows&& rows) {
    DescobertaClientesDB list;
    list.raw_texts = std::move(rows.texts);
    const CustomerRecord* const raw = rows.records.data();
    const std::size_t n = rows.records.size();
    list.entries = std::move(rows.records).into_storage_for<DiscoveryEntry>();
    std::string scratch;
    LocalClock clock;
    for (std::size_t i = 0; i < n; ++i) {
        // normalizar has read all of raw[i] before the entry takes its place.
        list.entries.push_back(build_entry(normalizar(raw[i], list.texts, scratch, clock)));
    }
    return list;
}

}  // namespace tessim
