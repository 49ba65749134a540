#pragma once
// Read-back through QuestDB's /exec endpoint for the integration tests.
#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

struct QuestDbAddress {
    std::string host;
    std::string port;
};

// From TESSIM_TEST_QUESTDB_HOST / TESSIM_TEST_QUESTDB_HTTP_PORT; empty when unset.
std::optional<QuestDbAddress> questdb_from_env();

// Runs one SQL statement; throws std::runtime_error on a transport failure.
nlohmann::json questdb_exec(const QuestDbAddress& at, const std::string& sql);

// Polls "select count() from table" until it reaches `expected` (the WAL is applied
// asynchronously) or `limit` passes; gives the last count seen.
std::int64_t wait_for_count(const QuestDbAddress& at, const std::string& table,
                            std::int64_t expected,
                            std::chrono::milliseconds limit = std::chrono::seconds(20));
