#pragma once
// A one-thread HTTP responder on 127.0.0.1 for the replies a real QuestDB cannot be made to
// give (error statuses with chosen bodies, non-JSON bodies, broken transfers). It answers
// each connection with the next canned reply, repeating the last one, and records every
// request head it receives.

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tessim::testing {

// A full HTTP/1.1 reply with Content-Length and Connection: close.
std::string http_reply(int status, std::string_view body,
                       std::string_view content_type = "application/json");

// Decoded value of one parameter of a request head's request line; throws when absent.
std::string query_parameter(const std::string& request_head, const std::string& name);

class LocalResponder {
  public:
    // An empty reply closes the connection without answering.
    explicit LocalResponder(std::vector<std::string> replies);
    ~LocalResponder();
    LocalResponder(const LocalResponder&) = delete;
    LocalResponder& operator=(const LocalResponder&) = delete;

    std::string base_url() const;
    std::vector<std::string> requests() const;

  private:
    void serve();

    std::vector<std::string> replies_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace tessim::testing
