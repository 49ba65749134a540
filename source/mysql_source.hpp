#pragma once
// The MySQL side of the customer source: one connection, one plain text-protocol query,
// the whole result read at once into Values.

#include <mysql.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/failure.hpp"
#include "source/customer_record.hpp"
#include "source/value.hpp"

namespace tessim {

struct MysqlCloser {
    void operator()(MYSQL* conn) const noexcept { mysql_close(conn); }
};
using MysqlConnection = std::unique_ptr<MYSQL, MysqlCloser>;

struct ResultFreer {
    void operator()(MYSQL_RES* res) const noexcept { mysql_free_result(res); }
};
using MysqlResult = std::unique_ptr<MYSQL_RES, ResultFreer>;

// The connection fields of the run configuration, as texts.
struct ConnectionSettings {
    std::string host;
    std::string port;
    std::string user;
    std::string password;
    std::string database;
};

// A TCP port 1-65535 written in decimal digits only; anything else throws DatabaseFailure
// (port 0 would silently mean "the default port" to the client library).
unsigned parse_port(std::string_view text);

// Opens the connection with character set utf8mb4 and collation utf8mb4_general_ci, over
// TCP to host:port, with the TLS settings of the MySQL option files (source/option_files.hpp);
// an empty password is looked up there too; nothing else is taken from them. Throws
// DatabaseFailure naming host and port, with the server's error number and text (naming the
// file that gave the password, if one did), or with what TLS lacked.
MysqlConnection connect_to_mysql(const ConnectionSettings& settings);
// The same with the option files to read (client_option_files() for the one above).
MysqlConnection connect_to_mysql(const ConnectionSettings& settings,
                                 const std::vector<std::string>& option_files);

// Every contract as a raw customer record, in the server's row order, read row by row off
// the connection (no stored copy of the whole result in the client library). The result is freed
// before returning; the connection stays open for the caller to close.
CustomerRows obterDadosCliente(MYSQL* conn);

}  // namespace tessim
