#include "source/batched_rows.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>

namespace tessim {
namespace {

// About a dozen of the server's pieces per wake-up.
constexpr int kBatchBytes = 256 * 1024;
// How long a wait may hold back data that has arrived but is less than a batch: the tail of
// a result, or a server that sends slowly. Doubles up to the maximum while nothing at all
// arrives (the server still computing), so that an idle wait costs few wake-ups either.
constexpr int kFirstWaitMs = 5;
constexpr int kLongestWaitMs = 200;

}  // namespace

BatchedRows::BatchedRows(MYSQL* conn, MYSQL_RES* res)
    : conn_(conn), res_(res), timeout_ms_(kFirstWaitMs) {
    if (mysql_options(conn_, MYSQL_OPT_NONBLOCK, 0) != 0) return;
    const int fd = static_cast<int>(mysql_get_socket(conn_));
    if (fd < 0) return;
    // Over TLS the connector reads through OpenSSL, which reads the socket as it finds it: a
    // blocking socket would keep it waiting for the threshold inside the read, past the end
    // of a result, instead of coming back to our wait.
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return;
    const int batch = kBatchBytes;
    if (setsockopt(fd, SOL_SOCKET, SO_RCVLOWAT, &batch, sizeof batch) != 0) {
        fcntl(fd, F_SETFL, flags);
        return;
    }
    socket_ = fd;
    flags_ = flags;
}

BatchedRows::~BatchedRows() {
    if (socket_ < 0) return;
    const int one = 1;
    setsockopt(socket_, SOL_SOCKET, SO_RCVLOWAT, &one, sizeof one);
    fcntl(socket_, F_SETFL, flags_);
}

MYSQL_ROW BatchedRows::next() {
    if (socket_ < 0) return mysql_fetch_row(res_);
    MYSQL_ROW row = nullptr;
    int status = mysql_fetch_row_start(&row, res_);
    while (status != 0) status = mysql_fetch_row_cont(&row, res_, wait(status));
    return row;
}

// Returns the events that happened, as the connector's _cont functions take them.
int BatchedRows::wait(int status) {
    pollfd p{socket_, 0, 0};
    if (status & MYSQL_WAIT_READ) p.events |= POLLIN;
    if (status & MYSQL_WAIT_WRITE) p.events |= POLLOUT;
    if (status & MYSQL_WAIT_EXCEPT) p.events |= POLLPRI;
    // A wait with a deadline of the connector's own (none is set here, but a server option
    // could add one) is left as the connector asked.
    if (status & MYSQL_WAIT_TIMEOUT) {
        const int n = poll(&p, 1, static_cast<int>(mysql_get_timeout_value_ms(conn_)));
        if (n == 0) return MYSQL_WAIT_TIMEOUT;
        return n > 0 ? status & ~MYSQL_WAIT_TIMEOUT : status;
    }
    // A read wait that has not seen a batch arrive in time goes back to the connector all
    // the same: it takes what is there, or asks to wait again.
    const bool reading = (status & MYSQL_WAIT_READ) != 0;
    const int n = poll(&p, 1, reading ? timeout_ms_ : -1);
    if (n > 0) {
        timeout_ms_ = kFirstWaitMs;
        int events = 0;
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) events |= MYSQL_WAIT_READ;
        if (p.revents & (POLLOUT | POLLHUP | POLLERR)) events |= MYSQL_WAIT_WRITE;
        if (p.revents & POLLPRI) events |= MYSQL_WAIT_EXCEPT;
        return events != 0 ? events : status & ~MYSQL_WAIT_TIMEOUT;
    }
    if (n == 0) {
        timeout_ms_ = std::min(2 * timeout_ms_, kLongestWaitMs);
        return MYSQL_WAIT_READ;
    }
    // poll failed (EINTR): let the connector look again.
    return status & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE | MYSQL_WAIT_EXCEPT);
}

}  // namespace tessim
