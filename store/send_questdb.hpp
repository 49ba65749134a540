#pragma once
// The store writer: mirrors one run's discovery list into the QuestDB table tessimClientes.

#include "discovery/discovery_list.hpp"

namespace tessim {

// Every value checked against the table's declared types, then the schema phase, then the
// ingestion phase, against the QuestDB of the Run configuration (query endpoint on port 9000
// of quest_db_ip, rows to quest_db_port). Throws StoreFailure when a value cannot be stored
// (the table is left as it was) or when the ingestion client failed (the table was emptied
// and holds only what was delivered); other failures throw as they are.
void sendQuestDB(const DiscoveryList& descobertaClientes);

}  // namespace tessim
