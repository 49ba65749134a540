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

    bool flush_due() const {
        return conf.auto_flush &&
               (encoder.data().size() >= conf.auto_flush_bytes ||
                (conf.auto_flush_rows != 0 && encoder.rows() >= conf.auto_flush_rows));
    }

    void flush_if_due() {
        if (flush_due()) send();
    }

    void start(LineEncoder& sending) {
        try {
            transport->start(sending.data());
        } catch (const IngressError& e) {
            failure = e.what();
            sending.clear();
            throw;
        }
    }

    // The request in flight, if any, answered; its failure spends the sender.
    void complete(LineEncoder& sending) {
        try {
            transport->finish();
        } catch (const IngressError& e) {
            requests = transport->attempts();
            failure = e.what();
            encoder.clear();
            sending.clear();
            throw;
        }
        requests = transport->attempts();
        sending.clear();
    }

    void write_rows(const RowShape& shape, std::size_t count,
                    const std::function<TimestampNanos(std::size_t, RowWriter&)>& fill) {
        // How much of the next body is written between two looks at the request in flight:
        // often enough that its upload and its answer are never left waiting long.
        constexpr std::size_t look_every = 64 * 1024;
        LineEncoder sending;  // the body of the request in flight
        try {
            std::size_t looked_at = encoder.data().size();
            for (std::size_t i = 0; i < count; ++i) {
                RowWriter row = encoder.begin_row(shape);
                const TimestampNanos at = fill(i, row);
                encoder.end_row(row, at);
                if (flush_due()) {
                    complete(sending);
                    std::swap(encoder, sending);
                    start(sending);
                    looked_at = 0;
                } else if (encoder.data().size() >= looked_at + look_every) {
                    transport->progress();
                    looked_at = encoder.data().size();
                }
            }
            complete(sending);
        } catch (...) {
            if (transport->in_flight()) {
                try {
                    complete(sending);
                } catch (const IngressError&) {
                    // Reported by the sender from now on; the first exception goes on.
                }
            }
            throw;
        }
        send();
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

void Sender::write_rows(const RowShape& shape, std::size_t count,
                        const std::function<TimestampNanos(std::size_t, RowWriter&)>& fill) {
    check_moved_from(impl_);
    impl_->check_usable();
    impl_->write_rows(shape, count, fill);
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
std::size_t Sender::requests() const noexcept {
    return impl_ ? impl_->requests : 0;
}

}  // namespace ingress
