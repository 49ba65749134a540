// From the real MariaDB to the discovery list: fetch, normalise, build.
#include <gtest/gtest.h>

#include <cstdlib>

#include "discovery/discovery_list.hpp"
#include "tests/source/customer_fixture.hpp"
#include "tests/source/test_db.hpp"

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
        EXPECT_EQ(entry_value(e, "{#DATA_ATRASO}"), Value::of_datetime({2020, 1, 10, 0, 0, 0, 0}));
        EXPECT_EQ(entry_value(e, "{#DATA_NASCIMENTO}"),
                  Value::of_datetime({1965, 7, 14, 0, 0, 0, 0}));
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
