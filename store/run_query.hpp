#pragma once
// The QuestDB SQL query endpoint: one statement per HTTP GET to /exec, answer parsed as JSON.

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/constants.hpp"

namespace tessim {

// The query endpoint always listens on port 9000 of the configured QuestDB address.
std::string questdb_exec_base();

// Sends `sql_query` to `base_url` + "/exec" (base_url as "http://host:port") with the
// parameters query and fmt=json and basic authentication, and returns the parsed body
// whatever the HTTP status. A failed exchange prints "Error: " and libcurl's description of
// the failure on standard output and yields nullopt. A body that is not JSON throws.
std::optional<nlohmann::ordered_json> run_query_at(const std::string& base_url,
                                                   const std::string& sql_query);

// run_query_at on questdb_exec_base() of the Run configuration.
std::optional<nlohmann::ordered_json> run_query(const std::string& sql_query);

// The same exchange for a look that must not change what a run prints: a failed exchange
// and a body that is not JSON both yield nullopt, silently.
std::optional<nlohmann::ordered_json> silent_query(const std::string& sql_query);

}  // namespace tessim
