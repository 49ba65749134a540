// The configuration text: accepted forms, every refusal, and the password kept out of
// every message.
#include <gtest/gtest.h>

#include <string>

#include "ingress/conf.hpp"
#include "ingress/errors.hpp"

namespace {

using namespace ingress;

TEST(Conf, TheProgramsForm) {
    const auto c = parse_conf("http::addr=10.0.0.5:9009;username=brantevika;password=sentinelQT;");
    EXPECT_EQ(c.host, "10.0.0.5");
    EXPECT_EQ(c.port, 9009);
    EXPECT_EQ(c.username, "brantevika");
    EXPECT_EQ(c.password, "sentinelQT");
    EXPECT_EQ(c.request_timeout.count(), 30000);
    EXPECT_EQ(c.retry_timeout.count(), 10000);
    EXPECT_EQ(c.auto_flush_bytes, 4u << 20);
}

TEST(Conf, OtherAcceptedForms) {
    auto c = parse_conf("http::addr=questdb.local");
    EXPECT_EQ(c.host, "questdb.local");
    EXPECT_EQ(c.port, 9000);
    EXPECT_TRUE(c.username.empty());

    c = parse_conf("http::addr=[::1]:9100;");
    EXPECT_EQ(c.host, "[::1]");
    EXPECT_EQ(c.port, 9100);

    c = parse_conf("http::addr=h:1;username=u;password=a;;b;;;");
    EXPECT_EQ(c.password, "a;b;");

    c = parse_conf("http::password=p=q;username=u;addr=h:65535;");
    EXPECT_EQ(c.password, "p=q");
    EXPECT_EQ(c.port, 65535);
}

TEST(Conf, Refusals) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "http::"},
        {"addr=h:9000;", "http::"},
        {"https::addr=h:9000;", "only http"},
        {"tcp::addr=h:9009;", "only http"},
        {"HTTP::addr=h;", "unknown transport"},
        {"http::", "'addr' is missing"},
        {"http::username=u;password=p;", "'addr' is missing"},
        {"http::addr=h:;", "empty port"},
        {"http::addr=h:0;", "port"},
        {"http::addr=h:65536;", "port"},
        {"http::addr=h:90a;", "port"},
        {"http::addr=h:-1;", "port"},
        {"http::addr=:9000;", "empty host"},
        {"http::addr=a/b:9000;", "bad character"},
        {"http::addr=u@h:9000;", "bad character"},
        {"http::addr=h h:9000;", "bad character"},
        {"http::addr=[::1;", "no ']'"},
        {"http::addr=h;addr=g;", "given twice"},
        {"http::addr=h;bogus=1;", "unknown key 'bogus'"},
        {"http::addr=h;tls_verify=on;", "unknown key 'tls_verify'"},
        {"http::addr=h;username=u;", "go together"},
        {"http::addr=h;password=p;", "go together"},
        {"http::addr=h;username=a:b;password=p;", "':'"},
        {"http::addr=h;garbage;", "no '='"},
        {"http::addr=;", "empty value"},
        {"http::addr=h;retry_timeout=0;", "unknown key 'retry_timeout'"},
        {"http::addr=h;=x;", "bad key"},
    };
    for (const auto& [text, expected] : cases) {
        try {
            parse_conf(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const IngressError& e) {
            EXPECT_EQ(e.code(), ErrorCode::config_error) << text;
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos)
                << text << " -> " << e.what();
        }
    }
}

TEST(Conf, PasswordNeverInMessages) {
    // Each text is refused; a password with a stray ';' leaves pieces of it as "entries".
    const char* cases[] = {
        "http::addr=h;username=u;password=sentinelQT;bogus=1;",
        "http::addr=h;password=sentinelQT;",
        "http::addr=h;username=u;password=sentinel;QT;",
        "http::addr=h;username=u;password=senti;nelQT=1;",
        "http::addr=h;username=u;password=sentinelQT;password=sentinelQT;",
        "https::addr=h;username=u;password=sentinelQT;",
        "http::addr=h;username=u;password=;",
        // The piece after a single ';' is a known key with a value that is refused.
        "http::addr=h;username=u;password=x;auto_flush=sentinelQT;",
        "http::addr=h;username=u;password=x;addr=sentinel/QT;",
        "http::addr=h;username=u;password=x;retry_timeout=sentinelQT;",
    };
    for (const char* text : cases) {
        try {
            parse_conf(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const IngressError& e) {
            const std::string msg = e.what();
            for (const char* piece : {"sentinel", "nelQT", "QT"}) {
                EXPECT_EQ(msg.find(piece), std::string::npos) << text << " -> " << msg;
            }
        }
    }
}

}  // namespace
