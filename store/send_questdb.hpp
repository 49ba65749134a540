#pragma once
// The store writer: mirrors one run's discovery list into the QuestDB table tessimClientes.

#include "discovery/entry.hpp"

namespace tessim {

// Schema phase, then ingestion phase, against the QuestDB of the Run configuration (query
// endpoint on port 9000 of quest_db_ip, rows to quest_db_port). Returns false when the
// ingestion client failed: the table was emptied and not refilled, the "Erro: " line is on
// standard error, and the caller must not report success. Other failures throw.
bool sendQuestDB(const DescobertaClientesDB& descobertaClientes);

}  // namespace tessim
