// Against the real QuestDB: what each value kind becomes in the table, hostile texts,
// refused writes and refused credentials. Tables are ingress_t_*, dropped first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ingress/sender.hpp"
#include "tests/ingress/questdb_exec.hpp"
#include "tests/ingress/rows.hpp"

namespace {

using namespace ingress;
using namespace ingress_test;
using nlohmann::json;

class QuestDb : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto env = questdb_from_env();
        if (!env)
            GTEST_SKIP() << "TESSIM_TEST_QUESTDB_HOST/HTTP_PORT not set (scripts/test sets them)";
        at_ = *env;
    }

    std::string conf() const {
        return "http::addr=" + at_.host + ":" + at_.port +
               ";username=brantevika;password=sentinelQT;";
    }

    json exec(const std::string& sql) const { return questdb_exec(at_, sql); }

    void recreate(const std::string& table, const std::string& columns) const {
        exec("drop table if exists " + table);
        const json r =
            exec("create table " + table + " (" + columns + ") timestamp(ts) partition by day wal");
        ASSERT_FALSE(r.contains("error")) << r.dump();
    }

    json rows(const std::string& sql) const {
        const json r = exec(sql);
        EXPECT_TRUE(r.contains("dataset")) << r.dump();
        return r.value("dataset", json::array());
    }

    QuestDbAddress at_;
};

// 2024-02-29T13:45:30.123456Z
constexpr std::int64_t row_ns = 1'709'214'330'123'456'789;

TEST_F(QuestDb, EveryValueKindRoundTrips) {
    recreate("ingress_t_kinds",
             "n LONG, l LONG, d DOUBLE, dec DOUBLE, s STRING, v VARCHAR, sym SYMBOL, "
             "ldt TIMESTAMP, tm TIMESTAMP, tn TIMESTAMP, ts TIMESTAMP");
    auto sender = Sender::from_conf(conf());
    const RowShape shape("ingress_t_kinds",
                         {"n", "l", "d", "dec", "s", "v", "sym", "ldt", "tm", "tn"});
    send_rows(sender, shape,
              {{{1, std::int64_t{-9'007'199'254'740'993}, 0.1, Decimal{"-1234.50"},
                 Text{"S\xC3\xA3o Paulo"}, Text{"a,b=c d"}, Text{"PF"},
                 TimestampMicros(1'709'214'330'123'456), TimestampMicros(1'000'000),
                 TimestampNanos(2'000'001'999)},
                TimestampNanos(row_ns)},
               // Columns left out read back as null.
               {{2}, TimestampNanos(row_ns + 1000)},
               // An integer given for a DOUBLE column is widened by QuestDB.
               {{3, 1, 1.0, 7}, TimestampNanos(row_ns + 2000)}});
    sender.close();
    ASSERT_EQ(wait_for_count(at_, "ingress_t_kinds", 3), 3);

    const json r = rows(
        "select n, l, d, dec, s, v, sym, ldt, tm, tn, ts from ingress_t_kinds "
        "order by n");
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0], json::parse(R"([1, -9007199254740993, 0.1, -1234.5, "São Paulo", "a,b=c d",
        "PF", "2024-02-29T13:45:30.123456Z", "1970-01-01T00:00:01.000000Z",
        "1970-01-01T00:00:02.000001Z", "2024-02-29T13:45:30.123456Z"])"))
        << r[0].dump();
    EXPECT_EQ(r[1], json::parse(R"([2, null, null, null, null, null, null, null, null, null,
        "2024-02-29T13:45:30.123457Z"])"))
        << r[1].dump();
    EXPECT_EQ(r[2][1], 1);
    EXPECT_EQ(r[2][2], 1.0);
    EXPECT_EQ(r[2][3], 7.0);
}

TEST_F(QuestDb, HostileTextsArriveExactlyAndAddNoRows) {
    recreate("ingress_t_text", "i LONG, s STRING, v VARCHAR, ts TIMESTAMP");
    const std::vector<std::string> texts = {
        R"(say "hello")",
        R"(C:\path\to\)",
        "\\",
        "\\\\n is not a newline",
        "a,b=c d",
        "line one\nline two",
        "cr\rlf\r\n",
        "tab\there",
        "\"\nfake=1i 1\ningress_t_text i=999i,s=\"injected\" 1\n",
        "\xF0\x9F\x98\x80 emoji \xE2\x82\xAC",
        "",
        " leading and trailing ",
        "trailing backslash\\",
        "=",
        "\\\"",
    };
    auto sender = Sender::from_conf(conf());
    std::vector<Row> sent;
    for (std::size_t i = 0; i < texts.size(); ++i)
        sent.push_back({{static_cast<std::int64_t>(i), Text{texts[i]}, Text{texts[i]}},
                        TimestampNanos(row_ns + static_cast<std::int64_t>(i))});
    send_rows(sender, RowShape("ingress_t_text", {"i", "s", "v"}), sent);
    const auto n = static_cast<std::int64_t>(texts.size());
    ASSERT_EQ(wait_for_count(at_, "ingress_t_text", n), n);
    const json r = rows("select i, s, v from ingress_t_text order by i");
    ASSERT_EQ(r.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(r[i][0], i);
        EXPECT_EQ(r[i][1], texts[i]) << i;
        EXPECT_EQ(r[i][2], texts[i]) << i;
    }
}

TEST_F(QuestDb, WrongCredentialsAreRefused) {
    auto sender = Sender::from_conf("http::addr=" + at_.host + ":" + at_.port +
                                    ";username=brantevika;password=wrong-password;");
    try {
        send_rows(sender, RowShape("ingress_t_auth", {"x"}), {{{1}, TimestampNanos(row_ns)}});
        FAIL() << "accepted";
    } catch (const IngressError& e) {
        EXPECT_EQ(e.code(), ErrorCode::auth_error);
        EXPECT_NE(std::string(e.what()).find("HTTP 401"), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find("wrong-password"), std::string::npos) << e.what();
    }
}

TEST_F(QuestDb, RefusedWritesCarryQuestDbsMessageAndCommitNothing) {
    recreate("ingress_t_typed", "i INT, s STRING, ts TIMESTAMP");
    struct Case {
        const char* column;
        std::vector<ColumnValue> values;  // of i and s
        const char* message;
    };
    const Case cases[] = {
        {"i", {Text{"text"}}, "cast error"},
        {"s", {Null{}, 5}, "cast error"},
        {"i", {2.5}, "cast error"},
    };
    const RowShape shape("ingress_t_typed", {"i", "s"});
    for (const auto& c : cases) {
        auto sender = Sender::from_conf(conf());
        try {
            // A good row first, in the same request.
            send_rows(sender, shape,
                      {{{1}, TimestampNanos(row_ns)}, {c.values, TimestampNanos(row_ns)}});
            ADD_FAILURE() << "accepted " << c.column;
        } catch (const IngressError& e) {
            const std::string msg = e.what();
            EXPECT_EQ(e.code(), ErrorCode::server_flush_error);
            EXPECT_NE(msg.find("HTTP 400"), std::string::npos) << msg;
            EXPECT_NE(msg.find(c.message), std::string::npos) << msg;
            EXPECT_NE(msg.find("column: " + std::string(c.column)), std::string::npos) << msg;
        }
    }
    // The request is one transaction: the good rows of the refused requests are not there.
    auto sender = Sender::from_conf(conf());
    send_rows(sender, shape, {{{42}, TimestampNanos(row_ns)}});
    ASSERT_EQ(wait_for_count(at_, "ingress_t_typed", 1), 1);
    EXPECT_EQ(rows("select i from ingress_t_typed"), json::parse("[[42]]"));
}

TEST_F(QuestDb, TimestampFieldNamedLikeTheDesignatedColumnWins) {
    recreate("ingress_t_designated", "x LONG, ts TIMESTAMP");
    auto sender = Sender::from_conf(conf());
    send_rows(sender, RowShape("ingress_t_designated", {"x", "ts"}),
              {{{1, TimestampMicros(1'600'000'000'000'000)}, TimestampNanos(row_ns)}});
    ASSERT_EQ(wait_for_count(at_, "ingress_t_designated", 1), 1);
    EXPECT_EQ(rows("select x, ts from ingress_t_designated"),
              json::parse(R"([[1, "2020-09-13T12:26:40.000000Z"]])"));
}

TEST_F(QuestDb, ManyRowsInSeveralRequests) {
    recreate("ingress_t_many", "i LONG, s VARCHAR, ts TIMESTAMP");
    SenderConf small_requests = parse_conf(conf());
    small_requests.auto_flush_bytes = 1 << 20;
    Sender sender(small_requests);
    constexpr int n = 200000;
    sender.write_rows(RowShape("ingress_t_many", {"i", "s"}), n, [](std::size_t i, RowWriter& row) {
        row.column(0, static_cast<std::int64_t>(i));
        row.column(1, Text{"row text of moderate length"});
        return TimestampNanos(row_ns + static_cast<std::int64_t>(i) * 1000);
    });
    ASSERT_EQ(wait_for_count(at_, "ingress_t_many", n), n);
    EXPECT_EQ(rows("select sum(i) from ingress_t_many"),
              json::parse("[[" + std::to_string(std::int64_t{n} * (n - 1) / 2) + "]]"));
}

}  // namespace
