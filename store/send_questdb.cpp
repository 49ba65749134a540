#include "store/send_questdb.hpp"

#include "app/run_config.hpp"
#include "store/ingestao.hpp"
#include "store/run_lock.hpp"
#include "store/run_query.hpp"
#include "store/schema.hpp"

namespace tessim {

bool sendQuestDB(const DescobertaClientesDB& descobertaClientes) {
    const RunConfig& config = run_config();
    // Held from before the truncation until the last row is delivered: a run that overlaps
    // this one waits here, so the table never receives two loads at once.
    const RunLock lock = RunLock::acquire(run_lock_name(config.quest_db_ip.get(), TABELA));
    esquemaTabela();
    const std::string conf =
        configuracao_sender(config.quest_db_ip.get(), config.quest_db_port.get());
    const ConsultaQuestDB consulta = [](const std::string& sql) { return run_query(sql); };
    return faseIngestao(descobertaClientes, consulta, conf) == Ingestao::entregue;
}

}  // namespace tessim
