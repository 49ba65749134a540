#include "tests/source/test_db.hpp"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tessim::testing {
namespace {

std::string fixture(std::string_view name) {
    std::string path = std::string(TESSIM_FIXTURES_DIR) + "/" + std::string(name);
    std::ifstream in(path);
    if (!in) throw std::runtime_error("fixture not found: " + path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void run_script(MYSQL* conn, std::string_view sql) {
    if (mysql_real_query(conn, sql.data(), sql.size()) != 0)
        throw std::runtime_error(std::string("test script failed: ") + mysql_error(conn));
    do {
        if (MYSQL_RES* res = mysql_store_result(conn)) mysql_free_result(res);
        if (mysql_errno(conn)) throw std::runtime_error(mysql_error(conn));
    } while (mysql_next_result(conn) == 0);
    if (mysql_errno(conn))
        throw std::runtime_error(std::string("test script failed: ") + mysql_error(conn));
}

}  // namespace

std::optional<ConnectionSettings> test_server() {
    const char* host = std::getenv("TESSIM_TEST_MYSQL_HOST");
    const char* port = std::getenv("TESSIM_TEST_MYSQL_PORT");
    const char* user = std::getenv("TESSIM_TEST_MYSQL_USER");
    const char* password = std::getenv("TESSIM_TEST_MYSQL_PASSWORD");
    if (!host || !port || !user || !password) return std::nullopt;
    return ConnectionSettings{host, port, user, password, ""};
}

TestDatabase::TestDatabase(const ConnectionSettings& server, std::string_view suffix,
                           std::initializer_list<std::string_view> schema_files)
    : settings_(server) {
    settings_.database =
        "tessim_t_source_" + std::string(suffix) + "_" + std::to_string(::getpid());
    admin_.reset(mysql_init(nullptr));
    mysql_optionsv(admin_.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    if (!mysql_real_connect(admin_.get(), server.host.c_str(), server.user.c_str(),
                            server.password.c_str(), nullptr, parse_port(server.port), nullptr,
                            CLIENT_MULTI_STATEMENTS))
        throw std::runtime_error(std::string("test server: ") + mysql_error(admin_.get()));
    run_script(admin_.get(), "DROP DATABASE IF EXISTS `" + settings_.database +
                                 "`; CREATE DATABASE `" + settings_.database + "`; USE `" +
                                 settings_.database + "`");
    for (std::string_view file : schema_files) run_script(admin_.get(), fixture(file));
}

TestDatabase::~TestDatabase() {
    if (admin_) {
        std::string drop = "DROP DATABASE IF EXISTS `" + settings_.database + "`";
        mysql_real_query(admin_.get(), drop.data(), drop.size());
    }
}

void TestDatabase::exec(std::string_view sql) {
    run_script(admin_.get(), sql);
}

void TestDatabase::add_numbers() {
    exec(
        "CREATE TABLE d (d INT); INSERT INTO d VALUES (0),(1),(2),(3),(4),(5),(6),(7),(8),(9);"
        "CREATE TABLE seq (seq INT PRIMARY KEY);"
        "INSERT INTO seq SELECT 1 + a.d + 10 * b.d + 100 * c.d + 1000 * e.d + 10000 * f.d "
        "FROM d a, d b, d c, d e, d f");
}

}  // namespace tessim::testing
