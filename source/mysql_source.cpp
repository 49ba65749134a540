#include "source/mysql_source.hpp"

#include <system_error>

#include "ingress/conf.hpp"
#include "source/batched_rows.hpp"
#include "source/customer_statement.hpp"
#include "source/option_files.hpp"
#include "source/sql_values.hpp"
#include "source/tls_settings.hpp"

namespace tessim {
namespace {

std::string where(const ConnectionSettings& s) {
    return "usuário '" + s.user + "' em " + s.host + ":" + s.port + ", banco '" + s.database + "'";
}

[[noreturn]] void query_failed(MYSQL* conn, const char* what) {
    throw DatabaseFailure(DatabaseFailure::Cause::statement, mysql_errno(conn),
                          std::string(what) + " (erro " + std::to_string(mysql_errno(conn)) +
                              "): " + mysql_error(conn));
}

struct Column {
    ColumnKind kind;
    std::string_view name;
};

std::vector<Column> columns_of(MYSQL_RES* res) {
    std::vector<Column> cols;
    unsigned n = mysql_num_fields(res);
    MYSQL_FIELD* fields = mysql_fetch_fields(res);
    cols.reserve(n);
    for (unsigned i = 0; i < n; ++i)
        cols.push_back({column_kind(fields[i]), {fields[i].name, fields[i].name_length}});
    return cols;
}

// The result mysql_use_result gave: null means a failure to receive it, or a statement
// without rows.
MysqlResult result_of(MYSQL* conn, MYSQL_RES* res) {
    if (res == nullptr) {
        if (mysql_errno(conn) != 0) query_failed(conn, "falha ao receber o resultado");
        throw DatabaseFailure(DatabaseFailure::Cause::statement, 0,
                              "a consulta não devolveu linhas");
    }
    return MysqlResult(res);
}

}  // namespace

unsigned parse_port(std::string_view text) {
    const auto port = ingress::port_number(text);
    if (!port)
        throw DatabaseFailure(DatabaseFailure::Cause::connection, 0,
                              "porta do MySQL inválida: '" + std::string(text) +
                                  "' (esperado um número de 1 a 65535)");
    return *port;
}

MysqlConnection connect_to_mysql(const ConnectionSettings& settings) {
    return connect_to_mysql(settings, client_option_files());
}

MysqlConnection connect_to_mysql(const ConnectionSettings& settings,
                                 const std::vector<std::string>& option_files) {
    unsigned port = parse_port(settings.port);
    const bool password_given = !settings.password.empty();
    ClientOptions options = read_option_files(option_files, password_given);
    std::string password = settings.password;
    std::string context = where(settings);
    if (options.password) {
        password = std::move(options.password->password);
        context += ", senha de " + options.password->file;
    }
    context += tls_label(options.tls);
    const auto failed = [&](unsigned code, const std::string& reason) {
        return DatabaseFailure(DatabaseFailure::Cause::connection, code,
                               "falha ao conectar ao MySQL (" + context +
                                   (code != 0 ? ", erro " + std::to_string(code) : std::string()) +
                                   "): " + reason);
    };

    MysqlConnection conn(mysql_init(nullptr));
    if (!conn)
        throw DatabaseFailure(DatabaseFailure::Cause::connection, 0,
                              "sem memória para a conexão MySQL");
    mysql_optionsv(conn.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    // The handshake can only name a character set's default collation; the session
    // collation is fixed right after login, before any statement of ours.
    mysql_optionsv(conn.get(), MYSQL_INIT_COMMAND, "SET NAMES utf8mb4 COLLATE utf8mb4_general_ci");
    // "localhost" would otherwise mean the Unix socket and silently ignore the port.
    unsigned protocol = MYSQL_PROTOCOL_TCP;
    mysql_optionsv(conn.get(), MYSQL_OPT_PROTOCOL, &protocol);
    if (const std::string problem = apply_tls(conn.get(), options.tls); !problem.empty())
        throw failed(0, problem);
    if (!mysql_real_connect(conn.get(), settings.host.c_str(), settings.user.c_str(),
                            password.c_str(), settings.database.c_str(), port, nullptr, 0))
        throw failed(mysql_errno(conn.get()), mysql_error(conn.get()));
    if (const std::string shortfall = tls_shortfall(conn.get(), options.tls); !shortfall.empty())
        throw failed(0, shortfall);
    return conn;
}

CustomerRows obterDadosCliente(MYSQL* conn) {
    if (mysql_real_query(conn, kCustomerStatement.data(), kCustomerStatement.size()) != 0)
        query_failed(conn, "o servidor recusou a consulta");
    // The rows are read off the connection one by one straight into our own records
    // instead of being stored whole by the client library first: that stored copy (about
    // as large again as the records) would have been alive next to ours at the peak. All
    // rows are still read before this returns, and nothing else happens in between.
    MysqlResult res = result_of(conn, mysql_use_result(conn));
    std::vector<Column> cols = columns_of(res.get());
    if (cols.size() != kFieldCount)
        throw DatabaseFailure(DatabaseFailure::Cause::statement, 0,
                              "a consulta de clientes devolveu " + std::to_string(cols.size()) +
                                  " colunas, esperadas " + std::to_string(kFieldCount));
    CustomerRows rows;
    BatchedRows batched(conn, res.get());
    while (MYSQL_ROW row = batched.next()) {
        const unsigned long* lengths = mysql_fetch_lengths(res.get());
        CustomerRecord& record = rows.records.emplace_back();
        for (std::size_t i = 0; i < kFieldCount; ++i)
            record[i] = column_value(cols[i].kind, row[i], lengths[i], rows.texts, cols[i].name);
    }
    if (mysql_errno(conn) != 0) query_failed(conn, "falha ao ler o resultado");
    return rows;
}

}  // namespace tessim
