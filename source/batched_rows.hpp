#pragma once
// Reading a streamed result (mysql_use_result) with fewer wake-ups.
//
// The server sends a large result in pieces of a few kilobytes as it computes it. Read the
// usual way, the client catches up with the server after nearly every piece and sleeps
// until the next one. Here the waits are ours (through the connector's non-blocking
// interface), and a wait for data asks the kernel to wake us only once a batch has arrived
// (SO_RCVLOWAT), or after a short time whatever has arrived, so a result is read in a few
// hundred larger steps. Nothing about the rows changes, and the server is not held back:
// the kernel widens the receive window to more than the batch, and the time-outs take
// whatever is there.
//
// What it earns is CPU time and context switches, not wall time: the server sets the
// fetch's pace either way (docs/performance.md has the measurements).

#include <mysql.h>

namespace tessim {

class BatchedRows {
  public:
    // Takes over waiting for `res`, a result of mysql_use_result on `conn`. When the
    // connector cannot work without blocking, reads the plain blocking way.
    BatchedRows(MYSQL* conn, MYSQL_RES* res);
    ~BatchedRows();  // the socket's wake-up threshold and blocking mode back to normal
    BatchedRows(const BatchedRows&) = delete;
    BatchedRows& operator=(const BatchedRows&) = delete;

    // The next row as mysql_fetch_row gives it: null at the end or on an error
    // (mysql_errno tells which).
    MYSQL_ROW next();
    // False when the connector could not be made non-blocking (rows are read all the same).
    bool waits_in_batches() const { return socket_ >= 0; }

  private:
    int wait(int status);

    MYSQL* conn_;
    MYSQL_RES* res_;
    int socket_ = -1;  // -1: blocking reads
    int flags_ = 0;    // the socket's file status flags as found
    int timeout_ms_;
};

}  // namespace tessim
