#include "discovery/discovery_list.hpp"

#include <utility>

#include "source/normalization.hpp"

namespace tessim {

DiscoveryList build_discovery_list(const CustomerRows& rows) {
    DiscoveryList list;
    list.entries.reserve(rows.records.size());
    Normalizer normalizer(list.texts);
    for (const CustomerRecord& raw : rows.records)
        normalizer.normalize(list.entries.emplace_back(raw));
    return list;
}

DiscoveryList build_discovery_list(CustomerRows&& rows) {
    DiscoveryList list;
    list.raw_texts = std::move(rows.texts);
    list.entries = std::move(rows.records);
    Normalizer normalizer(list.texts);
    for (DiscoveryEntry& entry : list.entries) normalizer.normalize(entry);
    return list;
}

}  // namespace tessim
