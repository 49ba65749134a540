#include "tests/store/local_responder.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace tessim::testing {
namespace {

struct Socket {
    int fd;
    explicit Socket(int f) : fd(f) {}
    ~Socket() {
        if (fd >= 0) ::close(fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
};

std::string read_head(int fd) {
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        head.append(buf, static_cast<std::size_t>(n));
    }
    return head;
}

void send_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) return;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    throw std::invalid_argument("bad percent escape");
}

std::string form_decode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out.push_back(' ');
        } else if (text[i] == '%' && i + 2 < text.size()) {
            out.push_back(static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace

std::string http_reply(int status, std::string_view body, std::string_view content_type) {
    return "HTTP/1.1 " + std::to_string(status) +
           " X\r\nContent-Type: " + std::string(content_type) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           std::string(body);
}

std::string query_parameter(const std::string& request_head, const std::string& name) {
    const std::size_t q = request_head.find('?');
    const std::size_t end = request_head.find(' ', q);
    if (q == std::string::npos || end == std::string::npos)
        throw std::invalid_argument("request without query string");
    const std::string_view query(request_head.data() + q + 1, end - q - 1);
    std::size_t pos = 0;
    while (pos <= query.size()) {
        std::size_t amp = query.find('&', pos);
        if (amp == std::string_view::npos) amp = query.size();
        const std::string_view pair = query.substr(pos, amp - pos);
        const std::size_t eq = pair.find('=');
        if (form_decode(pair.substr(0, eq)) == name)
            return eq == std::string_view::npos ? "" : form_decode(pair.substr(eq + 1));
        pos = amp + 1;
    }
    throw std::invalid_argument("parameter not in request: " + name);
}

LocalResponder::LocalResponder(std::vector<std::string> replies) : replies_(std::move(replies)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) throw std::system_error(errno, std::generic_category(), "socket");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        const int err = errno;
        ::close(listener_);
        throw std::system_error(err, std::generic_category(), "bind/listen");
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LocalResponder::~LocalResponder() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

std::string LocalResponder::base_url() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> LocalResponder::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LocalResponder::serve() {
    std::size_t answered = 0;
    while (!stop_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        Socket conn(::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC));
        if (conn.fd < 0) continue;
        const std::string head = read_head(conn.fd);
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(head);
        }
        const std::string& reply =
            replies_.empty() ? std::string() : replies_[std::min(answered, replies_.size() - 1)];
        ++answered;
        send_all(conn.fd, reply);
        ::shutdown(conn.fd, SHUT_WR);
    }
}

}  // namespace tessim::testing
