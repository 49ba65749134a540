// The customer statement over the fixture schema on the real MariaDB.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "source/mysql_source.hpp"
#include "tests/source/customer_fixture.hpp"
#include "tests/source/test_db.hpp"
#include "tests/support/value_equality.hpp"

namespace tessim {
namespace {

using testing::TestDatabase;

std::map<std::int64_t, CustomerRecord> by_contract(const CustomerRows& rows) {
    std::map<std::int64_t, CustomerRecord> out;
    for (const CustomerRecord& r : rows.records) {
        EXPECT_EQ(r[idServico].kind(), Kind::integer);
        out.emplace(static_cast<std::int64_t>(r[idServico].integer()), r);
    }
    return out;
}

CustomerRows fetch(const TestDatabase& db) {
    MysqlConnection conn = connect_to_mysql(db.settings());
    return obterDadosCliente(conn.get());
}

TEST(CustomerQuery, EmptyDatabaseGivesNoRecords) {
    TESSIM_REQUIRE_MARIADB(server);
    TestDatabase db(server, "empty");
    EXPECT_EQ(fetch(db).records.size(), 0u);
}

TEST(CustomerQuery, JoinsCustomersBillsAndDocuments) {
    TESSIM_REQUIRE_MARIADB(server);
    TestDatabase db(server, "joins");
    db.exec(testing::kCustomerFixture);
    CustomerRows rows = fetch(db);
    ASSERT_EQ(rows.records.size(), 4u);
    auto c = by_contract(rows);
    ASSERT_EQ(c.size(), 4u);

    // Three contracts of one customer with two overdue bills: the same three figures.
    for (std::int64_t id : {10, 11, 12}) {
        const CustomerRecord& r = c.at(id);
        EXPECT_EQ(r[idCliente], Value::of_integer(1)) << id;
        EXPECT_EQ(r[tituloAtraso], Value::of_integer(2)) << id;
        EXPECT_EQ(r[valorAtraso].kind(), Kind::decimal) << id;
        EXPECT_EQ(r[valorAtraso].text(), "125.50") << id;
        EXPECT_EQ(r[dataPrimeiroAtraso], Value::of_date(2020, 1, 10)) << id;
        EXPECT_EQ(r[nomeCliente].text(), "Maria Concei\xC3\xA7\xC3\xA3o");
        EXPECT_EQ(r[cpfCliente].text(), "1234567890");
        EXPECT_EQ(r[bairroCliente].kind(), Kind::text);  // empty text as stored
        EXPECT_EQ(r[bairroCliente].text().size(), 0u);
        EXPECT_EQ(r[dataNascimento], Value::of_date(1965, 7, 14));
    }
    const CustomerRecord& first = c.at(10);
    EXPECT_EQ(first[dataInstalacao], Value::of_datetime({2021, 3, 5, 14, 7, 9, 0}));
    EXPECT_EQ(first[diaVencimento], Value::of_integer(10));
    EXPECT_EQ(first[valorPlano].text(), "99.90");
    EXPECT_EQ(first[nomeVendedor].text(), "Vendedor Um");
    EXPECT_EQ(first[dataFinalFidelidade], Value::of_date(2022, 3, 1));
    std::string docs(first[contratosSemAssinatura].text());
    EXPECT_TRUE(docs == "100 | 101" || docs == "101 | 100") << docs;
    EXPECT_EQ(c.at(11)[contratosSemAssinatura].kind(), Kind::text);
    EXPECT_EQ(c.at(11)[contratosSemAssinatura].text().size(), 0u);
    EXPECT_TRUE(c.at(11)[valorPlano].is_null());
    EXPECT_EQ(c.at(12)[motivoRescisao].text(),
              "Mudan\xC3\xA7"
              "a de endere\xC3\xA7o");
    EXPECT_EQ(c.at(12)[dataRescisao], Value::of_date(2020, 2, 1));

    // A contract whose customer row is missing.
    const CustomerRecord& orphan = c.at(20);
    for (std::size_t f : {idCliente, nomeCliente, cpfCliente, cnpjCliente, bairroCliente,
                          cidadeCliente, estadoCliente, dataNascimento, ruc, tipoPessoa,
                          dataPrimeiroAtraso, nomeEmpresa, nomePlano, valorPlano, nomeVendedor})
        EXPECT_TRUE(orphan[f].is_null()) << f;
    EXPECT_EQ(orphan[tituloAtraso], Value::of_integer(0));
    EXPECT_EQ(orphan[valorAtraso].kind(), Kind::decimal);
    EXPECT_EQ(orphan[valorAtraso].text().find_first_not_of("0."), std::string::npos)
        << orphan[valorAtraso].text();
    EXPECT_EQ(orphan[contratosSemAssinatura].kind(), Kind::text);
    EXPECT_EQ(orphan[contratosSemAssinatura].text().size(), 0u);
}

TEST(CustomerQuery, NumericTaxpayerColumnsArriveAsIntegers) {
    TESSIM_REQUIRE_MARIADB(server);
    TestDatabase db(server, "numeric", {"schema.sql", "schema_numeric.sql"});
    db.exec(testing::kCustomerFixture);
    CustomerRows rows = fetch(db);  // owns the bytes the records point into
    auto c = by_contract(rows);
    EXPECT_EQ(c.at(10)[cpfCliente], Value::of_integer(1234567890));
    EXPECT_EQ(c.at(10)[diaVencimento].kind(), Kind::text);
    EXPECT_EQ(c.at(10)[diaVencimento].text(), "10");
}

// A column compared with a user variable fails with error 1267 as soon as the tables' collation
// is not the session's, which is the case of every database migrated between MariaDB and MySQL.
TEST(CustomerQuery, TablesInAnotherCollationThanTheSession) {
    TESSIM_REQUIRE_MARIADB(server);
    TestDatabase db(server, "collation");
    for (const char* table :
         {"clientes", "empresas", "internetplanos", "funcionarios", "rescisao_motivos",
          "clientes_has_internetplanos", "cobrancas", "contratos"})
        db.exec(std::string("ALTER TABLE ") + table +
                " CONVERT TO CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci");
    db.exec(testing::kCustomerFixture);
    EXPECT_EQ(fetch(db).records.size(), 4u);
}

}  // namespace
}  // namespace tessim
