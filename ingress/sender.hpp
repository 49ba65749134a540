#pragma once
// The sender: rows in, line protocol over HTTP out.
//
//   auto sender = ingress::Sender::from_conf("http::addr=127.0.0.1:9000;");
//   const ingress::RowShape shape("trades", {"price", "sym"});
//   sender.write_rows(shape, prices.size(), [&](std::size_t i, ingress::RowWriter& row) {
//       row.column(0, prices[i]);
//       row.column(1, ingress::Text{symbols[i]});
//       return ingress::TimestampNanos::now();
//   });
//   sender.close();
//
// The buffer goes out whenever it passes auto_flush_bytes, so a million rows never sit in one
// giant buffer. Each request is a transaction of its own in QuestDB: after a failure, rows of
// earlier requests stay in the table.
//
// After a failed request the sender is spent: every later call throws. The destructor never
// sends anything: rows not yet sent are dropped, so a sender left by an exception goes away
// without a further delivery.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ingress/conf.hpp"
#include "ingress/errors.hpp"
#include "ingress/http_transport.hpp"
#include "ingress/line_encoder.hpp"
#include "ingress/row_shape.hpp"
#include "ingress/row_writer.hpp"
#include "ingress/timestamp.hpp"

namespace ingress {

class Sender {
  public:
    // Parses the configuration (see conf.hpp) and prepares the connection; nothing is sent
    // before write_rows. Throws IngressError(config_error).
    static Sender from_conf(std::string_view conf) { return Sender(parse_conf(conf)); }
    explicit Sender(const SenderConf& conf) : conf_(conf) { transport_.emplace(conf); }

    // Rows of one shape: fill(i, writer) writes the columns of row i (0 <= i < count) and
    // gives its time. The buffer goes out whenever it passes auto_flush_bytes, and each
    // request travels while the rows of the next one are written: a request's failure
    // surfaces at the next full buffer or at the end, and the rows written since are dropped
    // with it. Returns once every row was accepted; no rows, no request. When fill throws,
    // the request in flight is still completed before the exception goes on, and the rows
    // after it stay unsent.
    void write_rows(const RowShape& shape, std::size_t count,
                    const std::function<TimestampNanos(std::size_t, RowWriter&)>& fill);

    // Releases the connection. Throws IngressError(invalid_api_call) when rows were still
    // unsent (a fill that threw left them; they are dropped, the sender is closed all the
    // same); after a failed request it closes quietly, since that failure has been reported
    // already.
    void close();

  private:
    void complete(LineEncoder& sending);
    void next_request(LineEncoder& sending);

    SenderConf conf_;
    LineEncoder encoder_;
    std::optional<HttpTransport> transport_;  // empty once closed
    std::string failure_;                     // message of the request that failed, if any
};

}  // namespace ingress
