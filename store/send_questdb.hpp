#pragma once
// The store writer: mirrors one run's contracts into the QuestDB table tessimClientes.

#include <span>
#include <string>

#include "source/customer_record.hpp"

namespace tessim {

// The QuestDB a run loads, as the command line gave it.
struct QuestDbTarget {
    std::string address;         // the query endpoint is on port 9000 of it
    std::string ingestion_port;  // the rows go here
};

// Every value checked against the table's declared types, then the schema phase, then the
// ingestion phase. Throws ValueRefused when a value cannot be stored (the table is left as it
// was) and RowsRefused when QuestDB did not take the rows (the table was emptied and holds
// only what was delivered); other failures throw as they are.
void sendQuestDB(std::span<const CustomerRecord> descobertaClientes, const QuestDbTarget& questdb);

}  // namespace tessim
