#include "ingress/http_transport.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <thread>

#include "ingress/errors.hpp"
#include "ingress/names.hpp"

namespace ingress {
namespace {

constexpr long connect_timeout_ms = 10000;
constexpr std::size_t max_reply_bytes = 64 * 1024;

struct Reply {
    long status = 0;
    std::string body;
};

size_t collect(char* data, size_t size, size_t count, void* user) {
    auto* reply = static_cast<Reply*>(user);
    const size_t n = size * count;
    const size_t room = max_reply_bytes - std::min(max_reply_bytes, reply->body.size());
    reply->body.append(data, std::min(n, room));
    return n;
}

bool transient_status(long status) {
    switch (status) {
        case 500:
        case 502:
        case 503:
        case 504:
        case 507:
        case 509:
        case 523:
        case 524:
        case 529:
        case 599:
            return true;
        default:
            return false;
    }
}

bool transient_curl(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
            return true;
        default:
            return false;
    }
}

// QuestDB explains a refused write in a JSON body: {"code", "message", "line", "errorId"}.
std::string describe_reply(const Reply& reply) {
    std::string out = "HTTP " + std::to_string(reply.status);
    const auto json = nlohmann::json::parse(reply.body, nullptr, false);
    if (json.is_object() && json.contains("message") && json["message"].is_string()) {
        out += ": " + json["message"].get<std::string>();
        if (json.contains("line") && json["line"].is_number_integer()) {
            out += " [line " + std::to_string(json["line"].get<long long>()) + "]";
        }
        if (json.contains("errorId") && json["errorId"].is_string()) {
            out += " [errorId " + json["errorId"].get<std::string>() + "]";
        }
    } else if (!reply.body.empty()) {
        std::string text = reply.body.substr(0, 512);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        out += ": " + printable(text);
    }
    return out;
}

}  // namespace

struct HttpTransport::Curl {
    CURLM* multi = nullptr;  // owns the connection kept alive between requests
    CURL* handle = nullptr;
    curl_slist* headers = nullptr;
    bool added = false;  // handle is in multi: a transfer runs
    Reply reply;
    char error[CURL_ERROR_SIZE] = "";
    ~Curl() {
        if (added) curl_multi_remove_handle(multi, handle);
        curl_slist_free_all(headers);
        if (handle != nullptr) curl_easy_cleanup(handle);
        if (multi != nullptr) curl_multi_cleanup(multi);
    }
};

bool init_curl() noexcept {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

HttpTransport::HttpTransport(const SenderConf& conf)
    : curl_(std::make_unique<Curl>()), conf_(conf) {
    if (!init_curl()) throw IngressError(ErrorCode::socket_error, "curl_global_init failed");
    curl_->handle = curl_easy_init();
    curl_->multi = curl_multi_init();
    if (curl_->handle == nullptr || curl_->multi == nullptr) {
        throw IngressError(ErrorCode::socket_error, "curl_easy_init failed");
    }
    const std::string host = conf.host;
    url_ = "http://" + host + ":" + std::to_string(conf.port) + "/write?precision=n";
    // curl would add "Expect: 100-continue" to large bodies and wait a second for it.
    curl_->headers = curl_slist_append(curl_->headers, "Expect:");
    curl_->headers = curl_slist_append(curl_->headers, "Content-Type: text/plain; charset=utf-8");
    if (curl_->headers == nullptr) throw IngressError(ErrorCode::socket_error, "out of memory");

    CURL* h = curl_->handle;
    curl_easy_setopt(h, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);  // no SIGALRM games in a library
    curl_easy_setopt(h, CURLOPT_NOPROXY, "*");  // http_proxy must not reroute our writes
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, curl_->headers);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connect_timeout_ms);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &curl_->reply);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, curl_->error);
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    // curl copies a body into its upload buffer before each send; at the default 64 KiB a
    // 4 MiB batch takes 64 system calls, at curl's largest 2 MiB it takes two.
    curl_easy_setopt(h, CURLOPT_UPLOAD_BUFFERSIZE, 2L << 20);
    if (!conf.username.empty()) {
        curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(h, CURLOPT_USERNAME, conf_.username.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, conf_.password.c_str());
    }
}

HttpTransport::~HttpTransport() = default;

namespace {

// Runs the transfer of `curl` to its end and gives its result; the handle leaves the multi
// handle, its connection stays there for the next request.
CURLcode wait_for_answer(HttpTransport::Curl& curl) {
    CURLcode code = CURLE_OK;
    for (bool done = false; !done;) {
        int running = 0;
        const CURLMcode m = curl_multi_perform(curl.multi, &running);
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(curl.multi, &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == curl.handle) {
                code = msg->data.result;
                done = true;
            }
        }
        if (!done && m != CURLM_OK) {
            std::snprintf(curl.error, sizeof curl.error, "%s", curl_multi_strerror(m));
            code = CURLE_FAILED_INIT;
            break;
        }
        // Waits for the socket or for curl's own next deadline (the request's time-out),
        // whichever comes first.
        if (!done) curl_multi_poll(curl.multi, nullptr, 0, 1000, nullptr);
    }
    curl_multi_remove_handle(curl.multi, curl.handle);
    curl.added = false;
    return code;
}

}  // namespace

void HttpTransport::start(std::string_view body) {
    if (in_flight_) throw IngressError(ErrorCode::invalid_api_call, "a request is in flight");
    CURL* h = curl_->handle;
    const auto timeout = conf_.request_timeout.count() +
                         static_cast<long long>(body.size() * 1000 / conf_.request_min_throughput);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    deadline_ = std::chrono::steady_clock::now() + conf_.retry_timeout;
    pause_ = std::chrono::milliseconds(10);
    tries_ = 0;
    in_flight_ = true;
    attempt();
}

void HttpTransport::attempt() {
    curl_->reply = Reply{};
    curl_->error[0] = '\0';
    ++tries_;
    if (curl_multi_add_handle(curl_->multi, curl_->handle) != CURLM_OK) {
        in_flight_ = false;
        throw IngressError(ErrorCode::socket_error, "curl_multi_add_handle failed");
    }
    curl_->added = true;
    progress();
}

void HttpTransport::progress() {
    int running = 0;
    if (curl_->added) curl_multi_perform(curl_->multi, &running);
}

void HttpTransport::finish() {
    using clock = std::chrono::steady_clock;
    while (in_flight_) {
        const CURLcode code = wait_for_answer(*curl_);
        CURL* h = curl_->handle;
        Reply& reply = curl_->reply;
        bool transient;
        ErrorCode kind;
        std::string what;
        if (code != CURLE_OK) {
            transient = transient_curl(code);
            kind = ErrorCode::socket_error;
            what = "cannot reach QuestDB at " + conf_.host + ":" + std::to_string(conf_.port) +
                   ": " + (curl_->error[0] != '\0' ? curl_->error : curl_easy_strerror(code));
        } else {
            curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &reply.status);
            if (reply.status >= 200 && reply.status < 300) {
                in_flight_ = false;
                return;
            }
            transient = transient_status(reply.status);
            kind = reply.status == 401 || reply.status == 403 ? ErrorCode::auth_error
                                                              : ErrorCode::server_flush_error;
            what = "QuestDB refused the write: " + describe_reply(reply);
        }
        if (!transient || clock::now() + pause_ > deadline_) {
            in_flight_ = false;
            if (tries_ > 1) what += " (after " + std::to_string(tries_) + " attempts)";
            throw IngressError(kind, what);
        }
        std::this_thread::sleep_for(pause_);
        pause_ = std::min(pause_ * 2, std::chrono::milliseconds(1000));
        attempt();
    }
}

}  // namespace ingress
