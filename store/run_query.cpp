#include "store/run_query.hpp"

#include <curl/curl.h>

#include <memory>
#include <new>
#include <stdexcept>

#include "core/constants.hpp"
#include "core/failure.hpp"
#include "process/operator_lines.hpp"
#include "store/answer_parse.hpp"
#include "store/form_encode.hpp"

namespace tessim {
namespace {

using tavmolibrary::process_library::Line;
using tavmolibrary::process_library::report;
using tavmolibrary::process_library::write_report;

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

size_t append_body(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// Options are set in one place; a refused option is a programming fault, not a transport
// failure, so it throws instead of printing "Error: ".
void set_option(CURL* curl, CURLoption option, auto value) {
    const CURLcode code = curl_easy_setopt(curl, option, value);
    if (code != CURLE_OK)
        throw std::logic_error(std::string("libcurl recusou uma opção: ") +
                               curl_easy_strerror(code));
}

// One GET of /exec: the body whatever the HTTP status. A failed exchange throws
// QueryEndpointFailure with libcurl's description of the failure.
std::string exchange(const std::string& base_url, const std::string& sql_query) {
    const std::string url = base_url + "/exec?query=" + form_encode(sql_query) + "&fmt=json";
    const std::string user(kQuestDbUser);
    const std::string password(kQuestDbPassword);

    CurlHandle curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) throw std::bad_alloc();
    std::string body;
    char error_text[CURL_ERROR_SIZE] = {};

    CURL* c = curl.get();
    set_option(c, CURLOPT_ERRORBUFFER, error_text);
    set_option(c, CURLOPT_URL, url.c_str());
    set_option(c, CURLOPT_HTTPGET, 1L);
    set_option(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set_option(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    set_option(c, CURLOPT_USERNAME, user.c_str());
    set_option(c, CURLOPT_PASSWORD, password.c_str());
    // The address comes from the command line only: an http_proxy in the environment must
    // not reroute the request.
    set_option(c, CURLOPT_NOPROXY, "*");
    // The request runs on the run-time limiter's worker thread: libcurl must not install
    // signal handlers (its resolver would otherwise use SIGALRM, process-wide).
    set_option(c, CURLOPT_NOSIGNAL, 1L);
    set_option(c, CURLOPT_WRITEFUNCTION, &append_body);
    set_option(c, CURLOPT_WRITEDATA, static_cast<void*>(&body));

    const CURLcode code = curl_easy_perform(c);
    if (code != CURLE_OK)
        throw QueryEndpointFailure(error_text[0] != '\0' ? std::string(error_text)
                                                         : curl_easy_strerror(code));
    return body;
}

nlohmann::ordered_json parsed(const std::string& body) {
    try {
        return parse_answer(body);
    } catch (const nlohmann::json::exception& e) {
        throw QueryEndpointFailure(std::string("a resposta não é JSON: ") + e.what());
    }
}

}  // namespace

std::string questdb_exec_base(std::string_view quest_db_ip) {
    return "http://" + std::string(quest_db_ip) + ":9000";
}

std::optional<nlohmann::ordered_json> run_query(const std::string& base_url,
                                                const std::string& sql_query) {
    std::string body;
    try {
        body = exchange(base_url, sql_query);
    } catch (const QueryEndpointFailure& failure) {
        write_report(report(Line::exchange_failed, {failure.what()}));
        return std::nullopt;
    }
    return parsed(body);
}

std::optional<nlohmann::ordered_json> silent_query(const std::string& base_url,
                                                   const std::string& sql_query) {
    try {
        return parsed(exchange(base_url, sql_query));
    } catch (const QueryEndpointFailure&) {
        return std::nullopt;
    }
}

}  // namespace tessim
