#include "tests/ingress/responder.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace {

int bound_socket(std::uint16_t* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) throw std::runtime_error("socket");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        throw std::runtime_error("bind");
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    *port = ntohs(addr.sin_port);
    return fd;
}

// Waits for fd to become readable, giving up when `stop` is set.
bool wait_readable(int fd, const std::atomic<bool>& stop) {
    while (!stop) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, 20);
        if (r > 0) return true;
        if (r < 0) return false;
    }
    return false;
}

}  // namespace

std::uint16_t unused_port() {
    std::uint16_t port = 0;
    ::close(bound_socket(&port));
    return port;
}

Responder::Responder(std::vector<Step> script) : script_(std::move(script)) {
    listen_fd_ = bound_socket(&port_);
    if (::listen(listen_fd_, 8) != 0) throw std::runtime_error("listen");
    thread_ = std::thread([this] { run(); });
}

Responder::~Responder() {
    stop_ = true;
    thread_.join();
    ::close(listen_fd_);
}

std::vector<ReceivedRequest> Responder::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void Responder::run() {
    while (wait_readable(listen_fd_, stop_)) {
        const int fd = ::accept(listen_fd_, nullptr, nullptr);
        if (fd < 0) continue;
        serve(fd);
        ::close(fd);
    }
}

void Responder::serve(int fd) {
    std::string in;
    char chunk[65536];
    for (;;) {
        // Read one request: headers, then Content-Length bytes of body.
        std::size_t head_end;
        while ((head_end = in.find("\r\n\r\n")) == std::string::npos) {
            if (!wait_readable(fd, stop_)) return;
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return;
            in.append(chunk, static_cast<std::size_t>(n));
        }
        ReceivedRequest req;
        req.head = in.substr(0, head_end);
        std::size_t length = 0;
        if (const auto at = req.head.find("Content-Length: "); at != std::string::npos) {
            length = std::strtoul(req.head.c_str() + at + 16, nullptr, 10);
        }
        while (in.size() < head_end + 4 + length) {
            if (!wait_readable(fd, stop_)) return;
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return;
            in.append(chunk, static_cast<std::size_t>(n));
        }
        req.body = in.substr(head_end + 4, length);
        in.erase(0, head_end + 4 + length);

        Step step;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(std::move(req));
            if (next_step_ < script_.size()) step = script_[next_step_++];
        }
        if (step.kind == Step::drop) return;
        if (step.kind == Step::hang) {
            // Keep the connection open and silent until the client gives up.
            while (wait_readable(fd, stop_)) {
                if (::recv(fd, chunk, sizeof chunk, 0) <= 0) return;
            }
            return;
        }
        const std::string out = "HTTP/1.1 " + std::to_string(step.status) +
                                " Scripted\r\nContent-Type: application/json\r\n"
                                "Content-Length: " +
                                std::to_string(step.body.size()) + "\r\n\r\n" + step.body;
        if (::send(fd, out.data(), out.size(), MSG_NOSIGNAL) < 0) return;
    }
}
