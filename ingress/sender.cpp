#include "ingress/sender.hpp"

#include <optional>

#include "ingress/http_transport.hpp"

namespace ingress {
namespace {

template <class P>
void check_moved_from(const P& impl) {
    if (!impl) throw IngressError(ErrorCode::invalid_api_call, "the sender was moved from");
}

}  // namespace

struct Sender::Impl {
    SenderConf conf;
    LineEncoder encoder;
    std::optional<HttpTransport> transport;  // empty once closed
    std::string failure;                     // message of the request that failed, if any
    std::size_t requests = 0;

    void check_usable() const {
        if (!transport) {
            throw IngressError(ErrorCode::invalid_api_call, "the sender is closed");
        }
        if (!failure.empty()) {
            throw IngressError(ErrorCode::invalid_api_call,
                               "the sender failed earlier and cannot be used: " + failure);
        }
    }

    void flush_if_due() {
        if (conf.auto_flush &&
            (encoder.data().size() >= conf.auto_flush_bytes ||
             (conf.auto_flush_rows != 0 && encoder.rows() >= conf.auto_flush_rows))) {
            send();
        }
    }

    void send() {
        if (encoder.row_open()) {
            throw IngressError(ErrorCode::invalid_api_call,
                               "a row is still being written; end it before flushing");
        }
        if (encoder.rows() == 0) return;
        try {
            transport->post(encoder.data());
        } catch (const IngressError& e) {
            requests = transport->attempts();
            failure = e.what();
            encoder.clear();
            throw;
        }
        requests = transport->attempts();
        encoder.clear();
    }
};

Sender Sender::from_conf(std::string_view conf) {
    return Sender(parse_conf(conf));
}

Sender::Sender(const SenderConf& conf) : impl_(std::make_unique<Impl>()) {
    impl_->conf = conf;
    impl_->transport.emplace(conf);
}

Sender::Sender(Sender&&) noexcept = default;
Sender& Sender::operator=(Sender&&) noexcept = default;
Sender::~Sender() = default;

void Sender::row(TableName table, std::span<const Column> columns, TimestampNanos at) {
    check_moved_from(impl_);
    impl_->check_usable();
    impl_->encoder.add_row(table, columns, at);
    impl_->flush_if_due();
}

RowWriter Sender::begin_row(const RowShape& shape) {
    check_moved_from(impl_);
    impl_->check_usable();
    return impl_->encoder.begin_row(shape);
}

void Sender::end_row(RowWriter& row, TimestampNanos at) {
    check_moved_from(impl_);
    impl_->check_usable();
    impl_->encoder.end_row(row, at);
    impl_->flush_if_due();
}

void Sender::flush() {
    check_moved_from(impl_);
    impl_->check_usable();
    impl_->send();
}

void Sender::close() {
    if (!impl_ || !impl_->transport) return;
    impl_->transport.reset();
    const std::size_t dropped = impl_->encoder.rows();
    impl_->encoder.clear();
    if (dropped != 0 && impl_->failure.empty()) {
        throw IngressError(ErrorCode::invalid_api_call, "sender closed with " +
                                                            std::to_string(dropped) +
                                                            " rows not flushed; they were dropped");
    }
}

bool Sender::is_closed() const noexcept {
    return !impl_ || !impl_->transport;
}
std::size_t Sender::pending_rows() const noexcept {
    return impl_ ? impl_->encoder.rows() : 0;
}
std::size_t Sender::pending_bytes() const noexcept {
    return impl_ ? impl_->encoder.data().size() : 0;
}
std::size_t Sender::requests() const noexcept {
    return impl_ ? impl_->requests : 0;
}

}  // namespace ingress
