#pragma once
// The discovery list: every contract of a run as a Zabbix low-level-discovery entry, in
// query order, duplicates kept. An entry is the contract's normalised record (kinds kept,
// nothing turned into text); its macro keys and their order are the field table's
// (kKeyOrder), so each value is held once, where the fetch put it.

#include "source/big_memory.hpp"
#include "source/customer_record.hpp"
#include "source/value.hpp"

namespace tessim {

using DiscoveryEntry = CustomerRecord;

// Texts created by the normalisation live in `texts`; texts that were already right still
// point into the raw rows' texts, so either the CustomerRows they came from outlives the list
// or, when the list was made from rows it consumed, it holds those texts in `raw_texts`.
struct DiscoveryList {
    TextStore texts;
    TextStore raw_texts;
    BigArray<DiscoveryEntry> entries;
};

// Normalises a copy of every raw record, one record at a time, in order; the rows are left as
// they are. The first record that fails normalisation throws and the partial list is dropped.
DiscoveryList build_discovery_list(const CustomerRows& rows);

// The same, consuming the rows: each record is normalised where it lies, so the records and
// the entries never take room side by side. The rows' texts move into the list. If a record
// fails, the exception leaves `rows` empty.
DiscoveryList build_discovery_list(CustomerRows&& rows);

}  // namespace tessim
