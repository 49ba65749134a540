// Against the real test MariaDB: the connection settings, the column mapping of every SQL
// type, failures, and the customer statement over the fixture schema.
#include "source/mysql_source.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/source/option_files_dir.hpp"
#include "tests/source/test_db.hpp"
#include "tests/support/value_equality.hpp"

namespace tessim {
namespace {

using testing::TestDatabase;

const Value& col(const QueryTable& t, std::size_t row, std::string_view name) {
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        if (t.columns[i] == name) return t.rows.at(row).at(i);
    throw std::out_of_range(std::string(name));
}

TEST(MysqlSource, SessionUsesUtf8mb4GeneralCi) {
    TESSIM_REQUIRE_MARIADB(server);
    TestDatabase db(server, "session", {});
    MysqlConnection conn = connect_to_mysql(db.settings());
    QueryTable t = fetch_table(conn.get(),
                               "SELECT @@character_set_client c, @@character_set_results r, "
                               "@@collation_connection k, DATABASE() d, "
                               "_utf8mb4'S\xC3\xA3o Jo\xC3\xA3o' s");
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(col(t, 0, "c").text(), "utf8mb4");
    EXPECT_EQ(col(t, 0, "r").text(), "utf8mb4");
    EXPECT_EQ(col(t, 0, "k").text(), "utf8mb4_general_ci");
    EXPECT_EQ(col(t, 0, "d").text(), db.settings().database);
    EXPECT_EQ(col(t, 0, "s").text(), "S\xC3\xA3o Jo\xC3\xA3o");
}

TEST(MysqlSource, MapsEverySqlTypeToItsKind) {
    TESSIM_REQUIRE_MARIADB(server);
    TestDatabase db(server, "types", {});
    db.exec(R"(
        SET SESSION sql_mode = '';
        CREATE TABLE t (
          k INT PRIMARY KEY,
          ti TINYINT, si SMALLINT, mi MEDIUMINT, i INT, bi BIGINT,
          iu INT UNSIGNED, biu BIGINT UNSIGNED, yr YEAR, b BIT(10), flag TINYINT(1),
          d DECIMAL(10,2), dbig DECIMAL(38,10), f FLOAT, dbl DOUBLE,
          ch CHAR(3), vc VARCHAR(20), bn BINARY(3), vb VARBINARY(8), tx TEXT, bl BLOB,
          en ENUM('F','J'), st SET('a','b'), js JSON,
          dt DATE, dtm DATETIME, dtm6 DATETIME(6), ts TIMESTAMP NULL, tm TIME,
          zd DATE, zdt DATETIME, pd DATE);
        INSERT INTO t VALUES (1,
          -128, -32768, -8388608, -2147483648, -9223372036854775808,
          4294967295, 9223372036854775807, 2024, b'1000000001', 1,
          -12.50, 1234567890123456789012345678.0123456789, 1.5, 2.25,
          'São', 'Conceição', 'ab', x'00ff10', 'texto', x'c3a3',
          'J', 'a,b', '{"a": 1}',
          '2021-03-05', '2021-03-05 14:07:09', '2021-03-05 14:07:09.250000',
          '2030-06-01 12:00:00', '-838:59:59',
          '0000-00-00', '0000-00-00 00:00:00', '2020-00-00');
        INSERT INTO t (k) VALUES (2);
    )");
    MysqlConnection conn = connect_to_mysql(db.settings());
    QueryTable t = fetch_table(conn.get(), "SELECT * FROM t ORDER BY k");
    ASSERT_EQ(t.rows.size(), 2u);

    const std::pair<std::string_view, Value> ints[] = {
        {"ti", Value::of_integer(-128)},
        {"si", Value::of_integer(-32768)},
        {"mi", Value::of_integer(-8388608)},
        {"i", Value::of_integer(-2147483648LL)},
        {"bi", Value::of_integer(INT64_MIN)},
        {"iu", Value::of_integer(4294967295LL)},
        {"biu", Value::of_integer(INT64_MAX)},
        {"yr", Value::of_integer(2024)},
        {"b", Value::of_integer(513)},
        {"flag", Value::of_integer(1)},
        {"f", Value::of_double(1.5)},
        {"dbl", Value::of_double(2.25)},
        {"dt", Value::of_date(2021, 3, 5)},
        {"dtm", Value::of_datetime({2021, 3, 5, 14, 7, 9, 0})},
        {"dtm6", Value::of_datetime({2021, 3, 5, 14, 7, 9, 250000})},
        {"ts", Value::of_datetime({2030, 6, 1, 12, 0, 0, 0})},
        {"zd", Value::null()},
        {"zdt", Value::null()},
        {"pd", Value::null()},
    };
    for (const auto& [name, expected] : ints) EXPECT_EQ(col(t, 0, name), expected) << name;

    const std::pair<std::string_view, std::string_view> texts[] = {
        {"ch", "S\xC3\xA3o"},
        {"vc", "Concei\xC3\xA7\xC3\xA3o"},
        {"bn", std::string_view("ab\0", 3)},
        {"vb", std::string_view("\x00\xff\x10", 3)},
        {"tx", "texto"},
        {"bl", "\xC3\xA3"},
        {"en", "J"},
        {"st", "a,b"},
        {"js", "{\"a\": 1}"},
        {"tm", "-838:59:59"},
    };
    for (const auto& [name, bytes] : texts) {
        EXPECT_EQ(col(t, 0, name).kind(), Kind::text) << name;
        EXPECT_EQ(col(t, 0, name).text(), bytes) << name;
    }
    EXPECT_EQ(col(t, 0, "d").kind(), Kind::decimal);
    EXPECT_EQ(col(t, 0, "d").text(), "-12.50");
    EXPECT_EQ(col(t, 0, "dbig").text(), "1234567890123456789012345678.0123456789");

    for (std::size_t i = 1; i < t.columns.size(); ++i)
        EXPECT_TRUE(t.rows[1][i].is_null()) << t.columns[i];
}

TEST(MysqlSource, UnsignedBigintAboveSignedRangeFailsClearly) {
    TESSIM_REQUIRE_MARIADB(server);
    TestDatabase db(server, "ubig", {});
    db.exec("CREATE TABLE u (v BIGINT UNSIGNED); INSERT INTO u VALUES (18446744073709551615)");
    MysqlConnection conn = connect_to_mysql(db.settings());
    try {
        fetch_table(conn.get(), "SELECT v FROM u");
        FAIL() << "wrapped instead of failing";
    } catch (const DatabaseFailure& e) {
        EXPECT_EQ(e.cause(), DatabaseFailure::Cause::value);
        EXPECT_NE(std::string(e.what()).find("18446744073709551615"), std::string::npos);
    }
}

TEST(MysqlSource, FailuresCarryCodeAndNeverThePassword) {
    TESSIM_REQUIRE_MARIADB(server);
    TestDatabase db(server, "fail", {});
    const std::string secret = "Zq9-senha-secreta-7731";

    struct Case {
        const char* what;
        ConnectionSettings settings;
        unsigned code;  // 0: any
    };
    ConnectionSettings bad_password = db.settings();
    bad_password.password = secret;
    ConnectionSettings missing_db = db.settings();
    missing_db.database = "tessim_t_source_nao_existe";
    missing_db.password = server.password;
    ConnectionSettings refused = db.settings();
    refused.port = "1";  // nothing listens on port 1
    refused.password = secret;
    ConnectionSettings bad_port = db.settings();
    bad_port.port = "33o6";
    bad_port.password = secret;
    const Case cases[] = {
        {"bad password", bad_password, 1045},
        {"missing database", missing_db, 1049},
        {"refused port", refused, 2002},
        {"non-numeric port", bad_port, 0},
    };
    for (const Case& c : cases) {
        try {
            connect_to_mysql(c.settings);
            ADD_FAILURE() << c.what << ": connected";
        } catch (const DatabaseFailure& e) {
            std::string msg = e.what();
            EXPECT_EQ(e.cause(), DatabaseFailure::Cause::connection) << msg;
            if (c.code) {
                EXPECT_EQ(e.server_error(), c.code) << c.what << ": " << msg;
            }
            EXPECT_EQ(msg.find(secret), std::string::npos) << c.what << ": " << msg;
            EXPECT_EQ(msg.find(server.password), std::string::npos) << c.what << ": " << msg;
        }
    }
}

TEST(MysqlSource, ParsePortAcceptsOnlyPlainPortNumbers) {
    EXPECT_EQ(parse_port("3306"), 3306u);
    EXPECT_EQ(parse_port("65535"), 65535u);
    for (const char* bad : {"", "0", "65536", " 3306", "3306 ", "+3306", "-1", "3306a", "abc"})
        EXPECT_THROW(parse_port(bad), DatabaseFailure) << "'" << bad << "'";
}

TEST(MysqlSource, RejectedStatementThrowsQueryError) {
    TESSIM_REQUIRE_MARIADB(server);
    TestDatabase db(server, "reject", {});
    MysqlConnection conn = connect_to_mysql(db.settings());
    // The fixture schema is not loaded, so the customer statement meets no tables.
    try {
        obterDadosCliente(conn.get());
        FAIL() << "statement accepted without tables";
    } catch (const DatabaseFailure& e) {
        EXPECT_EQ(e.cause(), DatabaseFailure::Cause::statement);
        EXPECT_EQ(e.server_error(), 1146u) << e.what();  // ER_NO_SUCH_TABLE
    }
}

}  // namespace
}  // namespace tessim

namespace tessim {
namespace {

// Every option but the password (and TLS, which the server offers) points somewhere else, so
// that a connection which took any of them would fail or show it.
std::string hostile_client_options(const std::string& password) {
    return "[client]\nhost=10.255.255.1\nport=1\nuser=ninguem\ndatabase=nao_existe\n"
           "protocol=socket\nsocket=/nonexistent.sock\ndefault-character-set=latin1\n"
           "init-command=SET NAMES latin1\nconnect-timeout=1\n"
           "[tessim_clientes]\npassword=" +
           password + "\n";
}

TEST(MysqlSource, EmptyPasswordTakesOnlyThePasswordFromOptionFiles) {
    TESSIM_REQUIRE_MARIADB(server);
    TestDatabase db(server, "cnf", {});
    testing::OptionFilesDir dir;
    ConnectionSettings settings = db.settings();
    settings.password = "";

    const std::string good = dir.write("good.cnf", hostile_client_options(server.password));
    MysqlConnection conn =
        connect_to_mysql(settings, {(dir.path() / "missing.cnf").string(), good});
    QueryTable t = fetch_table(conn.get(),
                               "SELECT @@collation_connection k, DATABASE() d, "
                               "SUBSTRING_INDEX(USER(), '@', 1) u, @@port p");
    EXPECT_EQ(col(t, 0, "k").text(), "utf8mb4_general_ci");
    EXPECT_EQ(col(t, 0, "d").text(), settings.database);
    EXPECT_EQ(col(t, 0, "u").text(), settings.user);
    EXPECT_EQ(col(t, 0, "p"), Value::of_integer(parse_port(settings.port)));
    EXPECT_NE(mysql_get_host_info(conn.get()), std::string_view("Localhost via UNIX socket"));

    // No file gives one: the empty password, as without files. A wrong one names its file.
    const std::string none = dir.write("none.cnf", "[mysqld]\npassword=x\n");
    const std::string wrong = dir.write("wrong.cnf", hostile_client_options("Zq9-errada-7731"));
    for (const auto& [file, shown] :
         {std::pair{none, "using password: NO"}, std::pair{wrong, "senha de "}}) {
        try {
            connect_to_mysql(settings, {file});
            ADD_FAILURE() << file << ": connected";
        } catch (const DatabaseFailure& e) {
            EXPECT_EQ(e.server_error(), 1045u) << e.what();
            EXPECT_NE(std::string(e.what()).find(shown), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).find("Zq9-errada-7731"), std::string::npos);
        }
    }
}

TEST(MysqlSource, GivenPasswordSkipsOptionFilesThatCannotBeUsed) {
    TESSIM_REQUIRE_MARIADB(server);
    TestDatabase db(server, "cnfarg", {});
    testing::OptionFilesDir dir;
    // A folder where a file should be, and a file anyone may change (whose mode would stop the
    // run), are skipped; a wrong password beside them is not taken.
    std::filesystem::create_directories(dir.path() / "unreadable.cnf");
    const std::string world = dir.write("world.cnf", "[client]\nssl-mode=VERIFY_CA\n");
    ::chmod(world.c_str(), 0666);
    const std::string wrong = dir.write("wrong.cnf", "[client]\npassword=errada\n");
    EXPECT_NO_THROW(
        connect_to_mysql(db.settings(), {(dir.path() / "unreadable.cnf").string(), world, wrong}));
    // A line the format does not allow still stops it.
    const std::string bad = dir.write("bad.cnf", "[client]\nssl-mode=SOMETIMES\n");
    EXPECT_THROW(connect_to_mysql(db.settings(), {bad}), DatabaseFailure);
}

}  // namespace
}  // namespace tessim
