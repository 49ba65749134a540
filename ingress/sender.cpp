#include "ingress/sender.hpp"

#include <optional>

#include "ingress/http_transport.hpp"

namespace ingress {

struct Sender::Impl {
    SenderConf conf;
    LineEncoder encoder;
    std::optional<HttpTransport> transport;  // empty once closed
    std::string failure;                     // message of the request that failed, if any

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

    // The request in flight, if any, answered; its failure spends the sender.
    void complete(LineEncoder& sending) {
        try {
            transport->finish();
        } catch (const IngressError& e) {
            failure = e.what();
            encoder.clear();
            sending.clear();
            throw;
        }
        sending.clear();
    }

    // The request in flight answered, then the rows written since go out as the next one.
    void next_request(LineEncoder& sending) {
        complete(sending);
        std::swap(encoder, sending);
        try {
            transport->start(sending.data());
        } catch (const IngressError& e) {
            failure = e.what();
            sending.clear();
            throw;
        }
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
                    next_request(sending);
                    looked_at = 0;
                } else if (encoder.data().size() >= looked_at + look_every) {
                    transport->progress();
                    looked_at = encoder.data().size();
                }
            }
            if (encoder.rows() != 0) next_request(sending);
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

void Sender::write_rows(const RowShape& shape, std::size_t count,
                        const std::function<TimestampNanos(std::size_t, RowWriter&)>& fill) {
    if (!impl_) throw IngressError(ErrorCode::invalid_api_call, "the sender was moved from");
    impl_->check_usable();
    impl_->write_rows(shape, count, fill);
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

}  // namespace ingress
