#pragma once
// One HTTP connection to QuestDB's line-protocol endpoint, POST /write?precision=n.
//
// This is the one place where curl and HTTP failures become IngressError. A request that
// fails in a way that may pass (connection refused or reset, time-out, HTTP 5xx) is sent
// again with growing pauses until retry_timeout has passed; a 4xx answer is final. QuestDB
// commits each request as its own transaction, so a retried request may only duplicate
// rows when the server committed and then failed to answer.
//
// A request is sent in two halves, start() and finish(), so that the caller can prepare the
// next body while QuestDB works on this one; everything runs on the caller's thread (curl's
// multi interface), nothing in the background.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "ingress/conf.hpp"

namespace ingress {

// libcurl's set-up for the whole process (curl_global_init), done by the first call; false
// when it failed. A program that starts threads should call it before it does: the set-up
// is not safe to run beside another thread using curl.
bool init_curl() noexcept;

class HttpTransport {
  public:
    explicit HttpTransport(const SenderConf& conf);
    ~HttpTransport();
    HttpTransport(const HttpTransport&) = delete;
    HttpTransport& operator=(const HttpTransport&) = delete;

    // Sends what the connection takes of `body` now and returns. The bytes must stay
    // unchanged until finish() returned. Only one request may be in flight.
    void start(std::string_view body);
    // Moves the request in flight on (more of the body out, the answer in) without waiting.
    void progress();
    // Waits until the request in flight is answered (2xx), retrying it as above; throws
    // IngressError otherwise. Nothing in flight: returns at once.
    void finish();
    bool in_flight() const noexcept { return in_flight_; }

    struct Curl;  // curl's handles, defined with the code that uses them

  private:
    void attempt();

    std::unique_ptr<Curl> curl_;
    SenderConf conf_;
    std::string url_;
    bool in_flight_ = false;
    std::size_t tries_ = 0;  // of the request in flight
    std::chrono::steady_clock::time_point deadline_;
    std::chrono::milliseconds pause_{0};
};

}  // namespace ingress
