// The whole source path over data from scripts/gen-contracts: every generated contract
// must normalise (mojibake names, empty districts, missing customers, plans without price).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "discovery/discovery_list.hpp"
#include "tests/discovery/entry_value.hpp"
#include "tests/source/test_db.hpp"
#include "tests/support/value_equality.hpp"

namespace tessim {
namespace {

TEST(GeneratedContracts, AllNormaliseWithTheExpectedShape) {
    TESSIM_REQUIRE_MARIADB(server);
    ConnectionSettings settings = server;
    settings.database = "tessim_t_source_gen_" + std::to_string(::getpid());
    // The generator takes the server from the same TESSIM_TEST_MYSQL_* variables.
    std::string cmd = std::string("python3 ") + TESSIM_ROOT +
                      "/scripts/gen-contracts 3000 --seed 7 --database " + settings.database;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

    CustomerRows rows;
    {
        MysqlConnection conn = connect_to_mysql(settings);
        rows = obterDadosCliente(conn.get());
        std::string drop = "DROP DATABASE `" + settings.database + "`";
        mysql_real_query(conn.get(), drop.data(), drop.size());
    }
    ::setenv("TZ", "America/Sao_Paulo", 1);
    ::tzset();
    DiscoveryList list = build_discovery_list(rows);
    ASSERT_EQ(list.entries.size(), 3000u);

    std::size_t overdue = 0, unsigned_docs = 0, orphans = 0, repaired = 0;
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        const DiscoveryEntry& e = list.entries[i];
        EXPECT_EQ(entry_value(e, "{#VALOR_PLANO}").kind(), Kind::floating);
        overdue += entry_value(e, "{#TITULOS_ATRASO}").integer() > 0;
        unsigned_docs += !entry_value(e, "{#CONTRATOS_SEM_ASSINATURA}").text().empty();
        orphans += entry_value(e, "{#ID_CLIENTE}").is_null();
        repaired += entry_value(e, "{#NOME_CLIENTE}").kind() == Kind::text &&
                    entry_value(e, "{#NOME_CLIENTE}").text() != rows.records[i][nomeCliente].text();
        const Value& cpf = entry_value(e, "{#CPF_CLIENTE}");
        if (cpf.kind() == Kind::text && !cpf.text().empty()) {
            EXPECT_GE(cpf.text().size(), 11u);
        }
    }
    // A fifth of customers with overdue bills, a tenth of contracts with unsigned
    // documents, about 1% orphans, a few percent mojibake names mended.
    EXPECT_GT(overdue, 300u);
    EXPECT_LT(overdue, 900u);
    EXPECT_GT(unsigned_docs, 180u);
    EXPECT_LT(unsigned_docs, 450u);
    EXPECT_GT(orphans, 5u);
    EXPECT_LT(orphans, 80u);
    EXPECT_GT(repaired, 20u);

    // Built from rows it consumes (the run's way: 3000 records are mapped memory, turned into
    // entries in place), the list is the same, and its texts outlive the rows object.
    DiscoveryList consumed;
    {
        CustomerRows gone = std::move(rows);
        consumed = build_discovery_list(std::move(gone));
        EXPECT_EQ(gone.records.size(), 0u);
    }
    ASSERT_EQ(consumed.entries.size(), list.entries.size());
    for (std::size_t i = 0; i < list.entries.size(); ++i)
        ASSERT_EQ(consumed.entries[i], list.entries[i]) << "entry " << i;
}

}  // namespace
}  // namespace tessim
