// From the real MariaDB to the discovery list: fetch, normalise, build.
#include <gtest/gtest.h>

#include <cstdlib>

#include "discovery/discovery_list.hpp"
#include "tests/discovery/entry_value.hpp"
#include "tests/source/customer_fixture.hpp"
#include "tests/source/test_db.hpp"
#include "tests/support/value_equality.hpp"

namespace tessim {
namespace {

TEST(DiscoveryListFromDatabase, BuildsOneEntryPerContract) {
    TESSIM_REQUIRE_MARIADB(server);
    testing::TestDatabase db(server, "disc", {"schema.sql", "schema_numeric.sql"});
    db.exec(testing::kCustomerFixture);
    CustomerRows rows;
    {
        MysqlConnection conn = connect_to_mysql(db.settings());
        rows = obterDadosCliente(conn.get());
    }  // connection closed before anything is normalised
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    DiscoveryList list = build_discovery_list(rows);
    ASSERT_EQ(list.entries.size(), rows.records.size());
    ASSERT_EQ(list.entries.size(), 4u);
    for (const DiscoveryEntry& e : list.entries) {
        std::int64_t id = entry_value(e, "{#ID_SERVICO}").integer();
        EXPECT_EQ(entry_value(e, "{#VALOR_PLANO}").kind(), Kind::floating);
        EXPECT_EQ(entry_value(e, "{#DIA_VENCIMENTO}").kind(), Kind::integer);  // from VARCHAR
        if (id == 20) {
            EXPECT_TRUE(entry_value(e, "{#ID_CLIENTE}").is_null());
            EXPECT_TRUE(entry_value(e, "{#CPF_CLIENTE}").is_null());
            EXPECT_EQ(entry_value(e, "{#TITULOS_ATRASO}"), Value::of_integer(0));
            EXPECT_TRUE(entry_value(e, "{#DATA_ATRASO}").is_null());
            continue;
        }
        EXPECT_EQ(entry_value(e, "{#CPF_CLIENTE}").text(), "01234567890");  // BIGINT lost the zero
        EXPECT_TRUE(entry_value(e, "{#BAIRRO}").is_null());                 // stored as ''
        EXPECT_EQ(entry_value(e, "{#TITULOS_ATRASO}"), Value::of_integer(2));
        // 2020-01-10 and 1965-07-14, midnight UTC.
        EXPECT_EQ(entry_value(e, "{#DATA_ATRASO}"),
                  Value::of_instant(1578614400 * std::int64_t{1000000}));
        EXPECT_EQ(entry_value(e, "{#DATA_NASCIMENTO}"),
                  Value::of_instant(-141004800 * std::int64_t{1000000}));
        if (id == 10) {
            EXPECT_EQ(entry_value(e, "{#VALOR_PLANO}"), Value::of_double(99.9));
        }
        if (id == 11) {
            EXPECT_EQ(entry_value(e, "{#VALOR_PLANO}"), Value::of_double(0.0));
        }
    }
}

}  // namespace
}  // namespace tessim
