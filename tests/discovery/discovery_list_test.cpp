// From the real MariaDB to the discovery list: fetch, normalise, build.
#include <gtest/gtest.h>

#include <cstdlib>

#include "discovery/entry.hpp"
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
        MysqlConnection conn = conectar(db.settings());
        rows = obterDadosCliente(conn.get());
    }  // connection closed before anything is normalised
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    DescobertaClientesDB list = build_discovery_list(rows);
    ASSERT_EQ(list.entries.size(), rows.records.size());
    ASSERT_EQ(list.entries.size(), 4u);
    for (const DiscoveryEntry& e : list.entries) {
        std::int64_t id = e.at("{#ID_SERVICO}").integer();
        EXPECT_EQ(e.at("{#VALOR_PLANO}").kind(), Kind::floating);
        EXPECT_EQ(e.at("{#DIA_VENCIMENTO}").kind(), Kind::integer);  // from VARCHAR
        if (id == 20) {
            EXPECT_TRUE(e.at("{#ID_CLIENTE}").is_null());
            EXPECT_TRUE(e.at("{#CPF_CLIENTE}").is_null());
            EXPECT_EQ(e.at("{#TITULOS_ATRASO}"), Value::of_integer(0));
            EXPECT_TRUE(e.at("{#DATA_ATRASO}").is_null());
            continue;
        }
        EXPECT_EQ(e.at("{#CPF_CLIENTE}").text(), "01234567890");  // BIGINT lost the zero
        EXPECT_TRUE(e.at("{#BAIRRO}").is_null());                 // stored as ''
        EXPECT_EQ(e.at("{#TITULOS_ATRASO}"), Value::of_integer(2));
        // 2020-01-10 and 1965-07-14, midnight UTC.
        EXPECT_EQ(e.at("{#DATA_ATRASO}"), Value::of_instant(1578614400 * std::int64_t{1000000}));
        EXPECT_EQ(e.at("{#DATA_NASCIMENTO}"),
                  Value::of_instant(-141004800 * std::int64_t{1000000}));
        if (id == 10) {
            EXPECT_EQ(e.at("{#VALOR_PLANO}"), Value::of_double(99.9));
        }
        if (id == 11) {
            EXPECT_EQ(e.at("{#VALOR_PLANO}"), Value::of_double(0.0));
        }
    }
}

}  // namespace
}  // namespace tessim
