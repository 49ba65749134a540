#include "store/send_questdb.hpp"

#include "process/stop_requests.hpp"
#include "store/ingestion.hpp"
#include "store/run_lock.hpp"
#include "store/run_query.hpp"
#include "store/schema.hpp"

namespace tessim {

void sendQuestDB(std::span<const CustomerRecord> descobertaClientes, const QuestDbTarget& questdb) {
    // Held from before the truncation until the last row is delivered: a run that overlaps
    // this one waits here, so the table never receives two loads at once.
    const RunLock lock = RunLock::acquire(run_lock_name(questdb.address, kTable));
    const std::string exec_base = questdb_exec_base(questdb.address);
    // Every value is checked against the type it will meet before anything empties or alters
    // the table, so that one bad value leaves the last good snapshot whole. The look at the
    // declared types is silent: whether QuestDB answers or not, the run goes on to print what
    // it always printed.
    const auto declared = declared_columns(silent_query(exec_base, std::string(kShowColumns)));
    check_values(descobertaClientes, declared);
    const QuestDbQuery query = [&](const std::string& sql) { return run_query(exec_base, sql); };
    // The truncation is the first change: a stop request from here on waits for the last row.
    tavmolibrary::process_library::commit_to_finish();
    truncate_and_fit_table(query);
    ingestion_phase(descobertaClientes, query,
                    sender_conf(questdb.address, questdb.ingestion_port));
}

}  // namespace tessim
