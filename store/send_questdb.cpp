#include "store/send_questdb.hpp"

#include "core/run_config.hpp"
#include "process/stop_requests.hpp"
#include "store/ingestion.hpp"
#include "store/run_lock.hpp"
#include "store/run_query.hpp"
#include "store/schema.hpp"

namespace tessim {

void sendQuestDB(const DiscoveryList& descobertaClientes) {
    const RunConfig& config = run_config();
    // Held from before the truncation until the last row is delivered: a run that overlaps
    // this one waits here, so the table never receives two loads at once.
    const RunLock lock = RunLock::acquire(run_lock_name(config.quest_db_ip.get(), kTable));
    // Every value is checked against the type it will meet before anything empties or alters
    // the table, so that one bad value leaves the last good snapshot whole. The look at the
    // declared types is silent: whether QuestDB answers or not, the run goes on to print what
    // it always printed.
    const auto declaradas = declared_columns(silent_query(std::string(kShowColumns)));
    check_values(descobertaClientes, declaradas);
    // The truncation is the first change: a stop request from here on waits for the last row.
    tavmolibrary::process_library::commit_to_finish();
    ensure_table();
    const std::string conf = sender_conf(config.quest_db_ip.get(), config.quest_db_port.get());
    const QuestDbQuery consulta = [](const std::string& sql) { return run_query(sql); };
    ingestion_phase(descobertaClientes, consulta, conf);
}

}  // namespace tessim
