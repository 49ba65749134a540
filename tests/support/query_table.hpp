#pragma once
// Any statement the tests send to a MySQL/MariaDB server, and any result read as Values the
// way the customer fetch reads its columns.

#include <mysql.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/failure.hpp"
#include "source/mysql_source.hpp"
#include "source/sql_values.hpp"
#include "source/value.hpp"

namespace tessim {

// Sends `sql` as one text-protocol statement and stores the whole result. Throws
// DatabaseFailure (statement) when the server rejects it, the connection breaks or it gives
// no rows.
inline MysqlResult run_statement(MYSQL* conn, std::string_view sql) {
    const auto failed = [conn](const std::string& what) {
        return DatabaseFailure(
            DatabaseFailure::Cause::statement, mysql_errno(conn),
            what + " (erro " + std::to_string(mysql_errno(conn)) + "): " + mysql_error(conn));
    };
    if (mysql_real_query(conn, sql.data(), sql.size()) != 0)
        throw failed("o servidor recusou a consulta");
    MysqlResult res(mysql_store_result(conn));
    if (!res && mysql_errno(conn) != 0) throw failed("falha ao receber o resultado");
    if (!res)
        throw DatabaseFailure(DatabaseFailure::Cause::statement, 0,
                              "a consulta não devolveu linhas");
    return res;
}

struct QueryTable {
    TextStore texts;
    std::vector<std::string> columns;
    std::vector<std::vector<Value>> rows;
};

// The whole result of `sql`, each column read by its type as column_value reads it.
inline QueryTable fetch_table(MYSQL* conn, std::string_view sql) {
    MysqlResult res = run_statement(conn, sql);
    const unsigned n = mysql_num_fields(res.get());
    const MYSQL_FIELD* fields = mysql_fetch_fields(res.get());
    QueryTable table;
    for (unsigned i = 0; i < n; ++i)
        table.columns.emplace_back(fields[i].name, fields[i].name_length);
    while (MYSQL_ROW row = mysql_fetch_row(res.get())) {
        const unsigned long* lengths = mysql_fetch_lengths(res.get());
        std::vector<Value>& values = table.rows.emplace_back();
        for (unsigned i = 0; i < n; ++i)
            values.push_back(column_value(column_kind(fields[i]), row[i], lengths[i], table.texts,
                                          table.columns[i]));
    }
    return table;
}

}  // namespace tessim
