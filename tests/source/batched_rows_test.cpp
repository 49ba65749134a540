// Streamed results read with batched waits: the same rows as the connector's own blocking
// reading, for results far larger than a batch and for results smaller than one (whose
// tail never reaches the wake-up threshold), and the socket left as it was found.
#include "source/batched_rows.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>
#include <vector>

#include "source/mysql_source.hpp"
#include "tests/source/test_db.hpp"

namespace tessim {
namespace {

std::vector<std::string> read_all(MYSQL* conn, const std::string& sql, bool batched) {
    if (mysql_real_query(conn, sql.data(), sql.size()) != 0) {
        ADD_FAILURE() << mysql_error(conn);
        return {};
    }
    MysqlResult res(mysql_use_result(conn));
    EXPECT_TRUE(res) << mysql_error(conn);
    if (!res) return {};
    std::vector<std::string> rows;
    auto keep = [&](MYSQL_ROW row) {
        const unsigned long* lengths = mysql_fetch_lengths(res.get());
        std::string line;
        for (unsigned i = 0; i < mysql_num_fields(res.get()); ++i)
            line.append(row[i] ? std::string(row[i], lengths[i]) : "NULL").append("|");
        rows.push_back(std::move(line));
    };
    if (batched) {
        BatchedRows reader(conn, res.get());
        EXPECT_TRUE(reader.waits_in_batches());
        while (MYSQL_ROW row = reader.next()) keep(row);
    } else {
        while (MYSQL_ROW row = mysql_fetch_row(res.get())) keep(row);
    }
    EXPECT_EQ(mysql_errno(conn), 0u) << mysql_error(conn);
    return rows;
}

TEST(BatchedRows, ReadsTheSameRowsAsTheBlockingWay) {
    TESSIM_REQUIRE_MARIADB(server);
    testing::TestDatabase db(server, "numbers", {});
    db.add_numbers();
    MysqlConnection plain = connect_to_mysql(db.settings());
    MysqlConnection batched = connect_to_mysql(db.settings());
    // About 12 MB (many batches) with NULLs and texts of varying length; then results of a
    // single row and of none, which end below the threshold.
    const std::string big =
        "SELECT seq, IF(seq % 7 = 0, NULL, REPEAT(CHAR(65 + seq % 26), seq % 300)) "
        "FROM seq WHERE seq <= 80000";
    for (const std::string& sql : {big, std::string("SELECT 42, 'x'"),
                                   std::string("SELECT seq FROM seq WHERE seq > 100000")}) {
        SCOPED_TRACE(sql);
        const std::vector<std::string> expected = read_all(plain.get(), sql, false);
        const std::vector<std::string> got = read_all(batched.get(), sql, true);
        EXPECT_EQ(got.size(), expected.size());
        EXPECT_TRUE(got == expected);
    }
    // The connection goes on working the ordinary way, its socket's threshold back to 1.
    int lowat = 0;
    socklen_t len = sizeof lowat;
    ASSERT_EQ(getsockopt(static_cast<int>(mysql_get_socket(batched.get())), SOL_SOCKET, SO_RCVLOWAT,
                         &lowat, &len),
              0);
    EXPECT_EQ(lowat, 1);
    EXPECT_EQ(read_all(batched.get(), "SELECT 1", false), std::vector<std::string>{"1|"});
}

TEST(BatchedRows, AnErrorInTheMiddleOfAResultIsReported) {
    TESSIM_REQUIRE_MARIADB(server);
    testing::TestDatabase db(server, "numbers", {});
    db.add_numbers();
    MysqlConnection conn = connect_to_mysql(db.settings());
    // The server finds the error only when it reaches the row: after rows were streamed.
    const std::string sql =
        "SELECT seq, IF(seq < 50000, seq, (SELECT seq FROM seq WHERE seq <= 2)) FROM seq "
        "WHERE seq <= 60000";
    ASSERT_EQ(mysql_real_query(conn.get(), sql.data(), sql.size()), 0) << mysql_error(conn.get());
    MysqlResult res(mysql_use_result(conn.get()));
    ASSERT_TRUE(res);
    std::size_t rows = 0;
    {
        BatchedRows reader(conn.get(), res.get());
        while (reader.next()) ++rows;
    }
    EXPECT_LT(rows, 60000u);
    EXPECT_NE(mysql_errno(conn.get()), 0u);
}

}  // namespace
}  // namespace tessim
