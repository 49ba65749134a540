#pragma once
// One HTTP connection to QuestDB's line-protocol endpoint, POST /write?precision=n.
//
// This is the one place where curl and HTTP failures become IngressError. A request that
// fails in a way that may pass (connection refused or reset, time-out, HTTP 5xx) is sent
// again with growing pauses until retry_timeout has passed; a 4xx answer is final. QuestDB
// commits each request as its own transaction, so a retried request may only duplicate
// rows when the server committed and then failed to answer.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "ingress/conf.hpp"

namespace ingress {

class HttpTransport {
  public:
    explicit HttpTransport(const SenderConf& conf);
    ~HttpTransport();
    HttpTransport(const HttpTransport&) = delete;
    HttpTransport& operator=(const HttpTransport&) = delete;

    // Returns once QuestDB answered 2xx; throws IngressError otherwise.
    void post(std::string_view body);

    // Requests sent so far, retries included (for tests and diagnostics).
    std::size_t attempts() const noexcept { return attempts_; }

  private:
    struct Curl;
    std::unique_ptr<Curl> curl_;
    SenderConf conf_;
    std::string url_;
    std::size_t attempts_ = 0;
};

}  // namespace ingress
