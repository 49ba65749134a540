#pragma once
// The program's fixed values.

#include <string_view>

namespace tessim {

inline constexpr std::string_view VERSION = "1.0.8";
inline constexpr int RUNTIME_LIMIT = 900;

// QuestDB's credentials are fixed in the program; the query endpoint and the row ingestion
// use the same pair.
inline constexpr std::string_view kQuestDbUser = "brantevika";
inline constexpr std::string_view kQuestDbPassword = "sentinelQT";

// The table every run mirrors the contracts into.
inline constexpr std::string_view kTable = "tessimClientes";

}  // namespace tessim
