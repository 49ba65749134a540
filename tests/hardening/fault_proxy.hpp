#pragma once
// An HTTP relay in front of the real QuestDB that misbehaves on chosen requests, so that a
// fault can be placed exactly (the third /exec request of a run, the first /write). Every
// request the script does not name is relayed to the real server and its reply relayed back.
// It listens on a loopback address of its own (the tool's query endpoint is always port 9000,
// so a relay for /exec needs its own address, e.g. 127.0.0.19).

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessim::testing {

struct Fault {
    enum Kind {
        relay,       // pass it on to the real server
        die,         // stop listening and drop the connection: the server is gone from here on
        reply,       // answer with `status` and `body` instead of the server
        hang,        // read the request and never answer
        die_midway,  // read part of the request body, then die as above
    } kind = relay;
    int status = 0;
    std::string body;
    int delay_ms = 0;  // relay: wait this long before passing the request on
};

class FaultProxy {
  public:
    // Listens on host:port (port 0: any free one); relays to upstream_host:upstream_port.
    // `script[i]` is what happens to the (i+1)-th request; requests past its end are relayed.
    FaultProxy(std::string host, std::uint16_t port, std::string upstream_host,
               std::uint16_t upstream_port, std::vector<Fault> script);
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    std::uint16_t port() const { return port_; }
    // The request lines seen, in order ("GET /exec?query=... HTTP/1.1").
    std::vector<std::string> request_lines() const;

  private:
    void serve();
    void handle(int client);

    std::string upstream_host_;
    std::uint16_t upstream_port_;
    std::vector<Fault> script_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::vector<int> held_;  // connections kept open without an answer
    std::thread thread_;
};

}  // namespace tessim::testing
