#include "tests/e2e/e2e_support.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(TESSIM_ROOT) + "/tests/fixtures/" + name);
    if (!in) throw std::runtime_error("fixture not found: " + name);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void script(MYSQL* conn, std::string_view sql) {
    if (mysql_real_query(conn, sql.data(), sql.size()) != 0)
        throw std::runtime_error(std::string("MariaDB: ") + mysql_error(conn));
    do {
        if (MYSQL_RES* res = mysql_store_result(conn)) mysql_free_result(res);
        if (mysql_errno(conn))
            throw std::runtime_error(std::string("MariaDB: ") + mysql_error(conn));
    } while (mysql_next_result(conn) == 0);
    if (mysql_errno(conn)) throw std::runtime_error(std::string("MariaDB: ") + mysql_error(conn));
}

std::string database_name(std::string_view suffix) {
    return "tessim_t_e2e_" + std::string(suffix) + "_" + std::to_string(::getpid());
}

// Code points of a UTF-8 text; nullopt when the bytes are not well-formed UTF-8.
std::optional<std::vector<char32_t>> decode_utf8(std::string_view s) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        int n = 0;
        char32_t cp = b;
        if (b >= 0x80) {
            if ((b >> 5) == 6) {
                n = 1, cp = b & 0x1F;
            } else if ((b >> 4) == 14) {
                n = 2, cp = b & 0x0F;
            } else if ((b >> 3) == 30) {
                n = 3, cp = b & 0x07;
            } else {
                return std::nullopt;
            }
        }
        if (i + n >= s.size()) return std::nullopt;
        for (int k = 1; k <= n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (c & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMinimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::nullopt;
        out.push_back(cp);
        i += static_cast<std::size_t>(n) + 1;
    }
    return out;
}

// The Windows-1252 byte of a code point, if it has one.
std::optional<unsigned char> byte_cp1252(char32_t cp) {
    static const std::map<char32_t, unsigned char> kSpecials = {
        {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85},
        {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
        {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92},
        {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
        {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C},
        {0x017E, 0x9E}, {0x0178, 0x9F}};
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
    if (auto it = kSpecials.find(cp); it != kSpecials.end()) return it->second;
    return std::nullopt;
}

}  // namespace

std::optional<Servers> servers_from_env() {
    Servers s{{env("TESSIM_TEST_MYSQL_HOST"), env("TESSIM_TEST_MYSQL_PORT"),
               env("TESSIM_TEST_MYSQL_USER"), env("TESSIM_TEST_MYSQL_PASSWORD")},
              {env("TESSIM_TEST_QUESTDB_HOST"), env("TESSIM_TEST_QUESTDB_HTTP_PORT")}};
    if (s.mysql.host.empty() || s.mysql.port.empty() || s.mysql.user.empty() ||
        s.questdb.host.empty() || s.questdb.port.empty())
        return std::nullopt;
    return s;
}

Database::Database(const MariaDb& server, std::string name, bool create, Existing)
    : name_(std::move(name)) {
    conn_.reset(mysql_init(nullptr));
    mysql_optionsv(conn_.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    if (!mysql_real_connect(
            conn_.get(), server.host.c_str(), server.user.c_str(), server.password.c_str(), nullptr,
            static_cast<unsigned>(std::stoul(server.port)), nullptr, CLIENT_MULTI_STATEMENTS))
        throw std::runtime_error(std::string("MariaDB: ") + mysql_error(conn_.get()));
    if (create)
        script(conn_.get(),
               "DROP DATABASE IF EXISTS `" + name_ + "`; CREATE DATABASE `" + name_ + "`");
    script(conn_.get(), "USE `" + name_ + "`");
}

Database::Database(const MariaDb& server, std::string_view suffix,
                   std::vector<std::string> fixtures)
    : Database(server, database_name(suffix), true, Existing{}) {
    for (const std::string& f : fixtures) script(conn_.get(), fixture(f));
}

Database Database::generated(const MariaDb& server, std::string_view suffix, int contracts) {
    const std::string name = database_name(suffix);
    const std::string cmd = std::string(TESSIM_ROOT) + "/scripts/gen-contracts " +
                            std::to_string(contracts) + " --database " + name + " --host " +
                            server.host + " --port " + server.port + " --user " + server.user +
                            " --password " + server.password + " >/dev/null";
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("gen-contracts failed: " + cmd);
    return Database(server, name, false, Existing{});
}

Database::~Database() {
    if (conn_) {
        const std::string drop = "DROP DATABASE IF EXISTS `" + name_ + "`";
        mysql_real_query(conn_.get(), drop.data(), drop.size());
    }
}

void Database::exec(std::string_view sql) {
    script(conn_.get(), sql);
}

std::vector<Row> Database::rows(std::string_view sql) {
    if (mysql_real_query(conn_.get(), sql.data(), sql.size()) != 0)
        throw std::runtime_error(std::string("MariaDB: ") + mysql_error(conn_.get()));
    std::unique_ptr<MYSQL_RES, decltype(&mysql_free_result)> res(mysql_store_result(conn_.get()),
                                                                 mysql_free_result);
    if (!res) throw std::runtime_error(std::string("MariaDB: ") + mysql_error(conn_.get()));
    const unsigned field_count = mysql_num_fields(res.get());
    std::vector<Row> out;
    while (MYSQL_ROW row = mysql_fetch_row(res.get())) {
        const unsigned long* lengths = mysql_fetch_lengths(res.get());
        Row l;
        for (unsigned i = 0; i < field_count; ++i)
            l.push_back(row[i] ? Cell(std::string(row[i], lengths[i])) : std::nullopt);
        out.push_back(std::move(l));
    }
    return out;
}

std::string literal(std::string_view utf8) {
    static const char hex[] = "0123456789ABCDEF";
    std::string s = "CONVERT(X'";
    for (unsigned char c : utf8) {
        s += hex[c >> 4];
        s += hex[c & 15];
    }
    if (utf8.empty()) return "''";
    return s + "' USING utf8mb4)";
}

tessim::testing::ProgramRun run_tool(const Servers& s, const Arguments& a) {
    return tessim::testing::run_program(
        TESSIM_CLIENTES_PATH,
        {"tessim_clientes", "descobertaClientes", s.mysql.host, s.mysql.port, s.mysql.user,
         a.db_password.empty() ? s.mysql.password : a.db_password, a.database, s.questdb.host,
         a.quest_db_port.empty() ? s.questdb.port : a.quest_db_port, a.zabbix_host},
        {.limit = std::chrono::seconds(60)});
}

Json sql(const Servers& s, const std::string& statement) {
    return questdb_exec(s.questdb, statement);
}

void drop_table(const Servers& s) {
    sql(s, "DROP TABLE IF EXISTS tessimClientes");
}

bool table_exists(const Servers& s) {
    const Json t = sql(s, "select table_name from tables() where table_name = 'tessimClientes'");
    return !t.at("dataset").empty();
}

std::vector<Json> questdb_rows(const Servers& s, std::int64_t expected_rows) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        const Json wal = sql(s,
                             "select writerTxn, sequencerTxn from wal_tables() "
                             "where name = 'tessimClientes'");
        const Json n = sql(s, "select count() from tessimClientes");
        const bool applied = wal.contains("dataset") && !wal["dataset"].empty() &&
                             wal["dataset"][0][0] == wal["dataset"][0][1];
        const bool counted = n.contains("dataset") && n["dataset"][0][0] == expected_rows;
        if ((applied && counted) || std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const Json r = sql(s, "select * from tessimClientes order by idServico");
    if (!r.contains("dataset")) throw std::runtime_error("QuestDB: " + r.dump());
    std::vector<Json> out;
    for (const Json& row : r["dataset"]) {
        Json o = Json::object();
        for (std::size_t i = 0; i < r["columns"].size(); ++i)
            o[r["columns"][i]["name"].get<std::string>()] = row[i];
        out.push_back(std::move(o));
    }
    return out;
}

std::string iso_from_local(std::string_view date_time) {
    std::tm t{};
    int year = 0, month = 0, day = 0, h = 0, m = 0, sec = 0;
    if (std::sscanf(std::string(date_time).c_str(), "%d-%d-%d %d:%d:%d", &year, &month, &day, &h,
                    &m, &sec) < 3)
        throw std::runtime_error("not a date: " + std::string(date_time));
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = h;
    t.tm_min = m;
    t.tm_sec = sec;
    t.tm_isdst = -1;
    const std::time_t epoch = std::mktime(&t);
    std::tm utc{};
    gmtime_r(&epoch, &utc);
    char buf[48];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
    return buf;
}

Json expected_date(const Cell& c) {
    if (!c) return nullptr;
    return iso_from_local(*c);
}

Json repaired_text(const Cell& c) {
    if (!c || c->empty()) return nullptr;
    return undo_mojibake(*c);
}

Json integer(const Cell& c) {
    if (!c) return nullptr;
    return std::stoll(*c);
}

Json padded(const Cell& c, std::size_t width, bool numeric) {
    if (!c) return nullptr;
    // The empty text and a numeric zero have no value: kept as they are (the integer 0
    // reaches a STRING column as its text). A text "0" has one and is padded.
    if (c->empty() || (numeric && *c == "0")) return *c;
    std::string s = *c;
    std::size_t chars = 0;
    for (unsigned char b : s) chars += (b & 0xC0) != 0x80;
    if (chars >= width) return s;
    const std::size_t sign = (s[0] == '+' || s[0] == '-') ? 1 : 0;
    s.insert(sign, width - chars, '0');
    return s;
}

std::string undo_mojibake(std::string text) {
    for (;;) {
        const auto cps = decode_utf8(text);
        if (!cps) return text;
        std::string bytes;
        bool any_high = false;
        for (char32_t cp : *cps) {
            const auto b = byte_cp1252(cp);
            if (!b) return text;
            any_high = any_high || *b >= 0x80;
            bytes += static_cast<char>(*b);
        }
        if (!any_high || !decode_utf8(bytes)) return text;
        text = bytes;
    }
}

std::string creation_lines() {
    return std::string(YELLOW) + "Tabela tessimClientes não encontrada, criando tabela!" +
           std::string(RESET) + "\n{'ddl': 'OK'}\n";
}

std::int64_t micros_from_iso(const std::string& iso) {
    std::tm t{};
    int us = 0;
    if (std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d.%dZ", &t.tm_year, &t.tm_mon, &t.tm_mday,
                    &t.tm_hour, &t.tm_min, &t.tm_sec, &us) != 7)
        throw std::runtime_error("not an ISO timestamp: " + iso);
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return std::int64_t{timegm(&t)} * 1000000 + us;
}

}  // namespace e2e
