#pragma once
// The sender's configuration text, in QuestDB's client form:
//
//   http::addr=host:port;username=u;password=p;
//
// Keys: addr (required; port defaults to 9000), username and password (together or not at
// all), and the optional tuning keys request_timeout (ms, default 30000),
// request_min_throughput (bytes/s, default 102400; the time-out of one request grows by
// its size over this rate), retry_timeout (ms, default 10000; 0 disables retries),
// auto_flush (on|off, default on), auto_flush_bytes (default 4194304) and auto_flush_rows
// (default off). Inside a value ";;" stands for one ';'. Only the http transport exists.
//
// Error messages never repeat the password or any text that might be part of it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ingress {

struct SenderConf {
    std::string host;
    std::uint16_t port = 9000;
    std::string username;
    std::string password;
    std::chrono::milliseconds request_timeout{30000};
    std::uint64_t request_min_throughput = 102400;
    std::chrono::milliseconds retry_timeout{10000};
    bool auto_flush = true;
    std::size_t auto_flush_bytes = 4u << 20;
    std::size_t auto_flush_rows = 0;  // 0: no limit by row count
};

// Throws IngressError(config_error).
SenderConf parse_conf(std::string_view text);

// A TCP port written as decimal digits only, 1 to 65535; nullopt for anything else.
std::optional<std::uint16_t> port_number(std::string_view text);

}  // namespace ingress
