#include "tests/hardening/fault_proxy.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <thread>

namespace tessim::testing {
namespace {

// Reads once, waiting in short slices so that a stopping proxy is never stuck in a read.
// Returns the bytes read, 0 at end of stream or on error, -1 when stopping.
ssize_t read_some(int fd, char* buf, std::size_t n, const std::atomic<bool>& stop) {
    while (!stop) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, 100);
        if (r < 0 && errno != EINTR) return 0;
        if (r <= 0) continue;
        const ssize_t got = ::recv(fd, buf, n, 0);
        return got < 0 ? 0 : got;
    }
    return -1;
}

bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t put = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (put <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::optional<std::size_t> content_length(const std::string& head) {
    const std::string h = lower(head);
    const auto at = h.find("\r\ncontent-length:");
    if (at == std::string::npos) return std::nullopt;
    return std::stoul(h.substr(at + 17));
}

bool chunked(const std::string& head) {
    return lower(head).find("transfer-encoding: chunked") != std::string::npos;
}

// A buffered reader over one socket.
struct Stream {
    int fd;
    const std::atomic<bool>& stop;
    std::string buffered;

    bool fill() {
        char buf[65536];
        const ssize_t got = read_some(fd, buf, sizeof buf, stop);
        if (got <= 0) return false;
        buffered.append(buf, static_cast<std::size_t>(got));
        return true;
    }
    std::optional<std::string> until(std::string_view mark) {
        for (;;) {
            const auto at = buffered.find(mark);
            if (at != std::string::npos) {
                std::string out = buffered.substr(0, at + mark.size());
                buffered.erase(0, at + mark.size());
                return out;
            }
            if (!fill()) return std::nullopt;
        }
    }
    std::optional<std::string> exactly(std::size_t n) {
        while (buffered.size() < n)
            if (!fill()) return std::nullopt;
        std::string out = buffered.substr(0, n);
        buffered.erase(0, n);
        return out;
    }
};

// The rest of an HTTP message after its head, as framed by the head.
std::optional<std::string> message_body(Stream& in, const std::string& head) {
    if (auto n = content_length(head)) return in.exactly(*n);
    if (!chunked(head)) return std::string();
    std::string raw;
    for (;;) {
        auto size_line = in.until("\r\n");
        if (!size_line) return std::nullopt;
        raw += *size_line;
        const std::size_t size = std::stoul(*size_line, nullptr, 16);
        if (size == 0) {
            auto trailer = in.until("\r\n");  // no trailers from QuestDB: just the blank line
            if (!trailer) return std::nullopt;
            return raw + *trailer;
        }
        auto chunk = in.exactly(size + 2);
        if (!chunk) return std::nullopt;
        raw += *chunk;
    }
}

int connect_to(const std::string& host, std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    ::inet_pton(AF_INET, host.c_str(), &addr.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string canned(int status, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) + " Fault\r\nContent-Type: text/plain\r\n" +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

}  // namespace

FaultProxy::FaultProxy(std::string host, std::uint16_t port, std::string upstream_host,
                       std::uint16_t upstream_port, std::vector<Fault> script)
    : upstream_host_(std::move(upstream_host)),
      upstream_port_(upstream_port),
      script_(std::move(script)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 16) != 0) {
        const std::string why = std::strerror(errno);
        ::close(listener_);
        throw std::runtime_error("fault proxy cannot listen on " + host + ":" +
                                 std::to_string(port) + ": " + why);
    }
    socklen_t len = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

FaultProxy::~FaultProxy() {
    stop_ = true;
    thread_.join();
    if (listener_ >= 0) ::close(listener_);
    for (int fd : held_) ::close(fd);
}

std::vector<std::string> FaultProxy::request_lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

void FaultProxy::serve() {
    while (!stop_) {
        if (listener_ < 0) {  // dead: nothing listens any more
            ::usleep(50000);
            continue;
        }
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) handle(client);
    }
}

void FaultProxy::handle(int client) {
    Stream in{client, stop_, {}};
    for (;;) {  // one connection may carry several requests (keep-alive)
        const auto head = in.until("\r\n\r\n");
        if (!head) break;
        std::size_t index;
        {
            std::lock_guard lock(mutex_);
            lines_.push_back(head->substr(0, head->find("\r\n")));
            index = lines_.size() - 1;
        }
        const Fault fault = index < script_.size() ? script_[index] : Fault{};
        auto die = [&] {
            ::close(listener_);
            listener_ = -1;
            ::close(client);
        };
        if (fault.kind == Fault::die) return die();
        if (fault.kind == Fault::die_midway) {
            const std::size_t whole = content_length(*head).value_or(0);
            (void)in.exactly(std::min(in.buffered.size() + 1, whole / 2));
            return die();
        }
        const auto body = message_body(in, *head);
        if (!body) break;
        if (fault.kind == Fault::hang) {
            held_.push_back(client);
            return;
        }
        if (fault.kind == Fault::reply) {
            write_all(client, canned(fault.status, fault.body));
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(fault.delay_ms));
        const int up = connect_to(upstream_host_, upstream_port_);
        if (up < 0) break;
        Stream back{up, stop_, {}};
        const bool sent = write_all(up, *head + *body);
        const auto reply_head = sent ? back.until("\r\n\r\n") : std::nullopt;
        const auto reply_body = reply_head ? message_body(back, *reply_head) : std::nullopt;
        ::close(up);
        if (!reply_body) break;
        // One request per connection from here: the relay closes after each reply.
        std::string relayed_head = reply_head->substr(0, reply_head->size() - 2);
        relayed_head += "Connection: close\r\n\r\n";
        write_all(client, relayed_head + *reply_body);
        break;
    }
    ::close(client);
}

}  // namespace tessim::testing
