// Proves that the two real servers the suite runs against answer: MariaDB through
// Connector/C, QuestDB's /exec with and without basic authentication.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <mysql.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

const char* env(const char* name) { return std::getenv(name); }

struct MysqlCloser {
    void operator()(MYSQL* m) const { mysql_close(m); }
};
struct ResultFree {
    void operator()(MYSQL_RES* r) const { mysql_free_result(r); }
};
struct CurlCleanup {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

TEST(SmokeServers, MariadbAnswersSelectOne) {
    if (!env("TESSIM_TEST_MYSQL_HOST")) GTEST_SKIP() << "TESSIM_TEST_MYSQL_* not set";
    std::unique_ptr<MYSQL, MysqlCloser> conn(mysql_init(nullptr));
    ASSERT_TRUE(conn);
    ASSERT_TRUE(mysql_real_connect(conn.get(), env("TESSIM_TEST_MYSQL_HOST"),
                                   env("TESSIM_TEST_MYSQL_USER"),
                                   env("TESSIM_TEST_MYSQL_PASSWORD"), nullptr,
                                   static_cast<unsigned>(std::atoi(env("TESSIM_TEST_MYSQL_PORT"))),
                                   nullptr, 0))
        << mysql_error(conn.get());
    ASSERT_EQ(mysql_query(conn.get(), "SELECT 1"), 0) << mysql_error(conn.get());
    std::unique_ptr<MYSQL_RES, ResultFree> res(mysql_store_result(conn.get()));
    ASSERT_TRUE(res);
    MYSQL_ROW row = mysql_fetch_row(res.get());
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row[0], "1");
}

std::size_t collect(char* data, std::size_t size, std::size_t n, void* out) {
    static_cast<std::string*>(out)->append(data, size * n);
    return size * n;
}

long questdb_get(bool with_auth, std::string& body) {
    std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    std::string url = std::string("http://") + env("TESSIM_TEST_QUESTDB_HOST") + ":" +
                      env("TESSIM_TEST_QUESTDB_HTTP_PORT") + "/exec?query=SELECT+1&fmt=json";
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
    if (with_auth) {
        curl_easy_setopt(curl.get(), CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        curl_easy_setopt(curl.get(), CURLOPT_USERNAME, "brantevika");
        curl_easy_setopt(curl.get(), CURLOPT_PASSWORD, "sentinelQT");
    }
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(curl.get()) != CURLE_OK) return -1;
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    return status;
}

TEST(SmokeServers, QuestdbExecNeedsBasicAuthentication) {
    if (!env("TESSIM_TEST_QUESTDB_HOST")) GTEST_SKIP() << "TESSIM_TEST_QUESTDB_* not set";
    std::string body;
    EXPECT_EQ(questdb_get(true, body), 200);
    EXPECT_NE(body.find("\"dataset\":[[1]]"), std::string::npos) << body;

    std::string refused;
    EXPECT_EQ(questdb_get(false, refused), 401);
    EXPECT_EQ(refused.find("dataset"), std::string::npos) << refused;
}

}  // namespace
