#pragma once
// The discovery run: the program's main job, behind the mode "descobertaClientes".

#include <string>

#include "source/customer_record.hpp"

namespace tessim {

// Reads every contract, normalises it, builds the discovery list, then either prints the
// debug view (zabbix_host "debug") or loads QuestDB and prints "OK". Reads the Run
// configuration here and hands the source and the store what they need of it. Returns when
// the run is complete; every failure passes through.
void descobertaClientes();

// One line of the debug view: the raw values of a record between parentheses, separated by
// ", ". None for null, integers and decimals in digits, doubles as the shortest text that
// reads back, texts quoted and escaped so that every control character stays visible on the
// line, dates as 2021-03-05 and date-times as 2021-03-05 14:07:09 (with .ffffff when the
// value has microseconds).
std::string debug_line(const CustomerRecord& raw);

}  // namespace tessim
