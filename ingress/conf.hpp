#pragma once
// The sender's configuration text, in QuestDB's client form:
//
//   http::addr=host:port;username=u;password=p;
//
// Keys: addr (required; port defaults to 9000), username and password (together or not at
// all). Inside a value ";;" stands for one ';'. Only the http transport exists. The tuning
// of the sender is not part of the text: it keeps the defaults below (a test that needs
// other values builds the SenderConf itself).
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
    // The time-out of one request grows by its size over this rate (bytes/s).
    std::uint64_t request_min_throughput = 102400;
    // How long a failed request is sent again; 0: never.
    std::chrono::milliseconds retry_timeout{10000};
    // A request goes out whenever the rows written pass this size.
    std::size_t auto_flush_bytes = 4u << 20;
};

// Throws IngressError(config_error).
SenderConf parse_conf(std::string_view text);

// A TCP port written as decimal digits only, 1 to 65535; nullopt for anything else.
std::optional<std::uint16_t> port_number(std::string_view text);

}  // namespace ingress
