#pragma once
// A throw-away database on the test MariaDB server: created with the fixture schema,
// dropped again when the object goes away.

#include <optional>
#include <string>
#include <string_view>

#include "source/mysql_source.hpp"
#include "tests/support/query_table.hpp"

namespace tessim::testing {

// The test server's address from TESSIM_TEST_MYSQL_*; empty when they are unset.
std::optional<ConnectionSettings> test_server();

class TestDatabase {
  public:
    // Creates `tessim_t_source_<suffix>_<pid>`; `schema_files` are fixture file names run in
    // order inside it (e.g. "schema.sql").
    TestDatabase(const ConnectionSettings& server, std::string_view suffix,
                 std::initializer_list<std::string_view> schema_files = {"schema.sql"});
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    const ConnectionSettings& settings() const { return settings_; }
    // Runs one or more statements separated by ';' (a script).
    void exec(std::string_view sql);
    // Adds the table `seq (seq INT PRIMARY KEY)` holding 1 to 100000, made from a table of
    // digits `d`: MySQL has no sequence engine (seq_1_to_N) to give them.
    void add_numbers();

  private:
    ConnectionSettings settings_;
    MysqlConnection admin_;
};

}  // namespace tessim::testing

// Skips the current test when the server is not configured.
#define TESSIM_REQUIRE_MARIADB(var)                                                        \
    auto var##_opt = ::tessim::testing::test_server();                                     \
    if (!var##_opt) GTEST_SKIP() << "TESSIM_TEST_MYSQL_* not set: start scripts/services"; \
    const ::tessim::ConnectionSettings& var = *var##_opt
