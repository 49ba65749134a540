#include "discovery/discovery_run.hpp"

#include <cstdio>
#include <string>

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

std::string two(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string debug_value(const Value& v) {
    switch (v.kind()) {
        case Kind::null:
            return "None";
        case Kind::integer:
            return std::to_string(v.integer());
        case Kind::decimal:
            return std::string(v.text());
        case Kind::floating:
            return printed_float(v.floating());
        case Kind::text:
            return printed_text(std::string(v.text()));
        case Kind::date:
        case Kind::datetime: {
            const CivilTime t = v.time();
            char buf[48];
            std::snprintf(buf, sizeof buf, "%04d-%s-%s", t.year, two(t.month).c_str(),
                          two(t.day).c_str());
            std::string s = buf;
            if (v.kind() == Kind::date) return s;
            s += " " + two(t.hour) + ":" + two(t.minute) + ":" + two(t.second);
            if (t.microsecond != 0) {
                std::snprintf(buf, sizeof buf, ".%06d", t.microsecond);
                s += buf;
            }
            return s;
        }
        case Kind::instant:
            return std::to_string(v.instant());
    }
    return "None";
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

std::string debug_line(const CustomerRecord& raw) {
    std::string linha = "(";
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (i) linha += ", ";
        linha += debug_value(raw[i]);
    }
    linha += ")";
    return linha;
}

void descobertaClientes() {
    const RunConfig& config = run_config();
    CustomerRows rows;
    {
        MysqlConnection conn = connect_to_mysql(connection_settings_from_run_config());
        rows = obterDadosCliente(conn.get());
    }  // the connection closes here, before any record is normalised

    if (config.zabbix_host.get() == "debug") {
        build_discovery_list(rows);  // a record that cannot be normalised still fails the run
        debug_view(rows);
        return;
    }
    // Nothing needs the raw records once their entries exist: the entries take their place.
    const DiscoveryList descobertaClientesDB = build_discovery_list(std::move(rows));
    sendQuestDB(descobertaClientesDB);
    print_line("OK");
}

}  // namespace tessim
