#pragma once
// The discovery run: the program's main job, behind the mode "descobertaClientes".

#include "core/run_config.hpp"

namespace tessim {

// Reads every contract, normalises it, builds the discovery list, then either prints the
// debug view (zabbix_host "debug") or loads QuestDB and prints "OK". Hands the source and
// the store what they need of `config`. Returns when the run is complete; every failure
// passes through. The debug view shows each record's raw values: None for null, integers and
// decimals in digits, doubles as the shortest text that reads back, texts quoted and escaped
// so that every control character stays visible on the line, dates as 2021-03-05 and
// date-times as 2021-03-05 14:07:09 (with .ffffff when the value has microseconds).
void descobertaClientes(const RunConfig& config);

}  // namespace tessim
