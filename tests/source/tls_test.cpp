// TLS to the management database, against the test server (whose certificate, signed by the
// suite's CA, names 127.0.0.1 and nothing else) and a MariaDB without TLS.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "source/mysql_source.hpp"
#include "tests/source/option_files_dir.hpp"
#include "tests/source/test_db.hpp"

namespace tessim {
namespace {

TEST(Tls, EachModeAgainstServersWithAndWithoutTls) {
    TESSIM_REQUIRE_MARIADB(server);
    const char* ca = std::getenv("TESSIM_TEST_MYSQL_SSL_CA");
    const char* other_ca = std::getenv("TESSIM_TEST_MYSQL_OTHER_CA");
    const char* plain_port = std::getenv("TESSIM_TEST_MYSQL_PLAIN_PORT");
    if (!ca || !other_ca || !plain_port) GTEST_SKIP() << "no TLS servers: scripts/services start";
    testing::TestDatabase db(server, "tls", {});
    // The server lets this user in over TLS only: a session it opens was encrypted.
    const std::string user = "tessim_tls_" + std::to_string(::getpid());
    db.exec("CREATE USER '" + user + "'@'%' IDENTIFIED BY 'Tls-Zq9-7731' REQUIRE SSL");
    ConnectionSettings tls_only = db.settings();
    tls_only.user = user;
    tls_only.password = "Tls-Zq9-7731";
    tls_only.database = "";
    ConnectionSettings by_other_name = tls_only;
    by_other_name.host = "localhost";
    ConnectionSettings plain = server;
    plain.port = plain_port;
    plain.database = "";

    const std::string mode = "[tessim_clientes]\nssl-mode=";
    const std::string right_ca = std::string("\nssl-ca=") + ca + "\n";
    struct Case {
        const ConnectionSettings& to;
        std::string options;
        const char* failure;  // nullptr: connects
    };
    const Case cases[] = {
        {tls_only, "", nullptr},
        {plain, "", nullptr},
        {plain, mode + "REQUIRED\n", "o servidor não oferece TLS, e ssl-mode=REQUIRED o exige"},
        {tls_only, "[client]\nSSL_Mode = verify_ca" + right_ca, nullptr},
        {tls_only, mode + "VERIFY_CA\nssl-ca=" + other_ca + "\n", "erro 2026"},
        {tls_only, mode + "VERIFY_IDENTITY" + right_ca, nullptr},
        {by_other_name, mode + "VERIFY_IDENTITY" + right_ca, "erro 2026"},
        {by_other_name, "[client]\nssl-verify-server-cert" + right_ca, "VERIFY_IDENTITY"},
        {tls_only, mode + "VERIFY_CA\n", "ssl-mode=VERIFY_CA precisa de ssl-ca ou ssl-capath"},
        {tls_only, mode + "REQUIRED\nssl-ca=/nonexistent/ca.pem\n",
         "ssl-ca /nonexistent/ca.pem não pôde ser lido"},
    };
    testing::OptionFilesDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options + " to " + c.to.host + ":" + c.to.port);
        const std::string file = dir.write("tls.cnf", c.options);
        try {
            MysqlConnection conn = connect_to_mysql(c.to, {file});
            EXPECT_EQ(c.failure, nullptr) << "connected";
            EXPECT_EQ(mysql_get_ssl_cipher(conn.get()) == nullptr, &c.to == &plain);
        } catch (const DatabaseFailure& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.failure ? c.failure : "connects"), std::string::npos)
                << message;
            EXPECT_NE(message.find(" em " + c.to.host + ":" + c.to.port), std::string::npos);
            EXPECT_EQ(message.find(c.to.password), std::string::npos) << message;
        }
    }
    db.exec("DROP USER '" + user + "'@'%'");
}

}  // namespace
}  // namespace tessim
