#pragma once
// The sender: rows in, line protocol over HTTP out.
//
//   auto sender = ingress::Sender::from_conf("http::addr=127.0.0.1:9000;");
//   const ingress::RowShape shape("trades", {"price", "sym"});
//   ingress::RowWriter row = sender.begin_row(shape);
//   row.column(0, 2.5);
//   row.column(1, ingress::Text{"BTC"});
//   sender.end_row(row, ingress::TimestampNanos::now());
//   sender.flush();
//
// Rows are buffered; flush() sends them all and returns once QuestDB accepted them. With
// auto_flush on, end_row() also sends the buffer whenever it passes auto_flush_bytes (or
// auto_flush_rows), so a million rows never sit in one giant buffer. Each request is a
// transaction of its own in QuestDB: after a failure, rows of earlier requests stay in the
// table.
//
// After a failed request the sender is spent: every later row or flush() throws. The
// destructor never sends anything: rows not yet flushed are dropped, so a sender left by
// an exception goes away without a further delivery.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ingress/conf.hpp"
#include "ingress/errors.hpp"
#include "ingress/row_shape.hpp"
#include "ingress/row_writer.hpp"
#include "ingress/timestamp.hpp"

namespace ingress {

class Sender {
  public:
    // Parses the configuration (see conf.hpp) and prepares the connection; nothing is sent
    // until the first flush. Throws IngressError(config_error).
    static Sender from_conf(std::string_view conf);
    explicit Sender(const SenderConf& conf);

    Sender(Sender&&) noexcept;
    Sender& operator=(Sender&&) noexcept;
    ~Sender();

    // Row by row for a shape made once (see LineEncoder::begin_row). end_row() completes the
    // row and then sends the buffer if auto_flush says so. While a row is open, nothing else
    // may be added or flushed (IngressError(invalid_api_call)).
    RowWriter begin_row(const RowShape& shape);
    void end_row(RowWriter& row, TimestampNanos at);

    // Many rows of one shape: fill(i, writer) writes the columns of row i (0 <= i < count)
    // and gives its time. The buffer goes out whenever auto_flush says so, as with end_row(),
    // but each request travels while the rows of the next one are written: a request's
    // failure surfaces at the next full buffer or at the end, and the rows written since
    // are dropped with it. Returns once every row was accepted, as flush() does. When fill
    // throws, the request in flight is still completed before the exception goes on.
    void write_rows(const RowShape& shape, std::size_t count,
                    const std::function<TimestampNanos(std::size_t, RowWriter&)>& fill);

    // Sends every buffered row; a no-op with nothing buffered.
    void flush();

    // Releases the connection. Throws IngressError(invalid_api_call) when rows were still
    // waiting for a flush (they are dropped, the sender is closed all the same); after a
    // failed request it closes quietly, since that failure has been reported already.
    void close();

    bool is_closed() const noexcept;
    std::size_t pending_rows() const noexcept;
    // HTTP requests made so far, retries included.
    std::size_t requests() const noexcept;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ingress
