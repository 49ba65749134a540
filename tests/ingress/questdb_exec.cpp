#include "tests/ingress/questdb_exec.hpp"

#include <curl/curl.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <thread>

std::optional<QuestDbAddress> questdb_from_env() {
    const char* host = std::getenv("TESSIM_TEST_QUESTDB_HOST");
    const char* port = std::getenv("TESSIM_TEST_QUESTDB_HTTP_PORT");
    if (host == nullptr || port == nullptr || *host == '\0' || *port == '\0') return std::nullopt;
    return QuestDbAddress{host, port};
}

namespace {
size_t collect(char* data, size_t size, size_t n, void* out) {
    static_cast<std::string*>(out)->append(data, size * n);
    return size * n;
}
}  // namespace

nlohmann::json questdb_exec(const QuestDbAddress& at, const std::string& sql) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> h(curl_easy_init(), curl_easy_cleanup);
    std::unique_ptr<char, decltype(&curl_free)> q(
        curl_easy_escape(h.get(), sql.data(), static_cast<int>(sql.size())), curl_free);
    const std::string url = "http://" + at.host + ":" + at.port + "/exec?query=" + q.get();
    std::string body;
    curl_easy_setopt(h.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(h.get(), CURLOPT_NOPROXY, "*");
    curl_easy_setopt(h.get(), CURLOPT_USERNAME, "brantevika");
    curl_easy_setopt(h.get(), CURLOPT_PASSWORD, "sentinelQT");
    curl_easy_setopt(h.get(), CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(h.get(), CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(h.get(), CURLOPT_WRITEDATA, &body);
    if (const CURLcode rc = curl_easy_perform(h.get()); rc != CURLE_OK) {
        throw std::runtime_error(std::string("/exec failed: ") + curl_easy_strerror(rc));
    }
    return nlohmann::json::parse(body);
}

std::int64_t wait_for_count(const QuestDbAddress& at, const std::string& table,
                            std::int64_t expected, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::int64_t seen = -1;
    for (;;) {
        const auto answer = questdb_exec(at, "select count() from '" + table + "'");
        if (answer.contains("dataset") && !answer["dataset"].empty()) {
            seen = answer["dataset"][0][0].get<std::int64_t>();
        }
        if (seen == expected || std::chrono::steady_clock::now() > deadline) return seen;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}
