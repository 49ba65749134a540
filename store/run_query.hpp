#pragma once
// The QuestDB SQL query endpoint: one statement per HTTP GET to /exec, answer parsed as JSON.
// Each call sends `sql_query` to `base_url` + "/exec" (base_url as "http://host:port") with
// the parameters query and fmt=json and basic authentication; the body is parsed whatever the
// HTTP status, and a body that is not JSON throws QueryEndpointFailure.

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tessim {

// The query endpoint always listens on port 9000 of the configured QuestDB address.
std::string questdb_exec_base(std::string_view quest_db_ip);

// The answer. A failed exchange writes its operator's line ("Error: " and libcurl's
// description of the failure) and yields nullopt.
std::optional<nlohmann::ordered_json> run_query(const std::string& base_url,
                                                const std::string& sql_query);

// The same exchange for a look that must not change what a run prints: a failed exchange
// and a body that is not JSON both yield nullopt, silently.
std::optional<nlohmann::ordered_json> silent_query(const std::string& base_url,
                                                   const std::string& sql_query);

}  // namespace tessim
