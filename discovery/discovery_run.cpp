#include "discovery/discovery_run.hpp"

#include <string>
#include <string_view>

#include "core/clock.hpp"
#include "core/constants.hpp"
#include "core/palette.hpp"
#include "core/run_config.hpp"
#include "discovery/discovery_list.hpp"
#include "process/console.hpp"
#include "source/mysql_source.hpp"
#include "store/printed_form.hpp"
#include "store/send_questdb.hpp"

namespace tessim {
namespace {

using tavmolibrary::process_library::print_line;

// The debug view spells values as the tool's first version printed its rows.
std::string debug_value(const Value& v) {
    switch (v.kind()) {
        case Kind::null:
            return "None";
        case Kind::floating:
            return printed_float(v.floating());
        case Kind::text:
            return printed_text(std::string(v.text()));
        default:
            return as_text(v);
    }
}

// The raw values of a record between parentheses, separated by ", ".
std::string debug_line(const CustomerRecord& raw) {
    std::string line = "(";
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (i) line += ", ";
        line += debug_value(raw[i]);
    }
    line += ")";
    return line;
}

void debug_view(const CustomerRows& rows) {
    print_line("Modo debug ativado.");
    print_line(std::string(GREEN) + "\nVersão do script: " + std::string(VERSION) +
               std::string(CYAN) + " \n");
    print_line(std::string(CYAN) +
               "...======================================== Clientes "
               "==============================================...\n" +
               std::string(RESET));
    for (const CustomerRecord& raw : rows.records) print_line(debug_line(raw));
}

}  // namespace

void descobertaClientes(const RunConfig& config) {
    CustomerRows rows;
    {
        MysqlConnection conn = connect_to_mysql(ConnectionSettings{
            .host = config.db_host.get(),
            .port = config.db_port.get(),
            .user = config.db_user.get(),
            .password = config.db_password.get(),
            .database = config.database.get(),
        });
        rows = obterDadosCliente(conn.get());
    }  // the connection closes here, before any record is normalised

    if (config.zabbix_host.get() == "debug") {
        build_discovery_list(rows);  // a record that cannot be normalised still fails the run
        debug_view(rows);
        return;
    }
    // Nothing needs the raw records once their entries exist: the entries take their place.
    const DiscoveryList descobertaClientesDB = build_discovery_list(std::move(rows));
    sendQuestDB(descobertaClientesDB.entries,
                QuestDbTarget{.address = config.quest_db_ip.get(),
                              .ingestion_port = config.quest_db_port.get()});
    print_line("OK");
}

}  // namespace tessim
