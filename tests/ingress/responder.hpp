#pragma once
// A tiny scripted HTTP/1.1 responder on 127.0.0.1 for the replies a real QuestDB cannot be
// made to give: 5xx, a request that is never answered, a connection dropped mid-request.
// Each received request takes the next step of the script; when the script runs out the
// responder answers 204.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct Step {
    enum Kind { reply, hang, drop } kind = reply;
    int status = 204;
    std::string body;
};

inline Step answer(int status, std::string body = "") {
    return {Step::reply, status, body};
}
inline Step hang() {
    return {Step::hang, 0, ""};
}
inline Step drop() {
    return {Step::drop, 0, ""};
}

struct ReceivedRequest {
    std::string head;  // request line and headers
    std::string body;
};

class Responder {
  public:
    explicit Responder(std::vector<Step> script);
    ~Responder();
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    std::uint16_t port() const { return port_; }
    std::vector<ReceivedRequest> requests() const;

  private:
    void run();
    void serve(int fd);

    int listen_fd_ = -1;
    std::uint16_t port_ = 0;
    std::vector<Step> script_;
    std::size_t next_step_ = 0;
    mutable std::mutex mutex_;
    std::vector<ReceivedRequest> requests_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A port on 127.0.0.1 with nothing listening on it (bound once, then released).
std::uint16_t unused_port();
