#include "ingress/sender.hpp"

namespace ingress {

// The request in flight, if any, answered; its failure spends the sender.
void Sender::complete(LineEncoder& sending) {
    try {
        transport_->finish();
    } catch (const IngressError& e) {
        failure_ = e.what();
        encoder_.clear();
        sending.clear();
        throw;
    }
    sending.clear();
}

// The request in flight answered, then the rows written since go out as the next one.
void Sender::next_request(LineEncoder& sending) {
    complete(sending);
    std::swap(encoder_, sending);
    try {
        transport_->start(sending.data());
    } catch (const IngressError& e) {
        failure_ = e.what();
        sending.clear();
        throw;
    }
}

void Sender::write_rows(const RowShape& shape, std::size_t count,
                        const std::function<TimestampNanos(std::size_t, RowWriter&)>& fill) {
    if (!transport_) throw IngressError(ErrorCode::invalid_api_call, "the sender is closed");
    if (!failure_.empty())
        throw IngressError(ErrorCode::invalid_api_call,
                           "the sender failed earlier and cannot be used: " + failure_);
    // How much of the next body is written between two looks at the request in flight:
    // often enough that its upload and its answer are never left waiting long.
    constexpr std::size_t look_every = 64 * 1024;
    LineEncoder sending;  // the body of the request in flight
    try {
        std::size_t looked_at = encoder_.data().size();
        for (std::size_t i = 0; i < count; ++i) {
            RowWriter row = encoder_.begin_row(shape);
            const TimestampNanos at = fill(i, row);
            encoder_.end_row(row, at);
            if (encoder_.data().size() >= conf_.auto_flush_bytes) {
                next_request(sending);
                looked_at = 0;
            } else if (encoder_.data().size() >= looked_at + look_every) {
                transport_->progress();
                looked_at = encoder_.data().size();
            }
        }
        if (encoder_.rows() != 0) next_request(sending);
        complete(sending);
    } catch (...) {
        if (transport_->in_flight()) {
            try {
                complete(sending);
            } catch (const IngressError&) {
                // Reported by the sender from now on; the first exception goes on.
            }
        }
        throw;
    }
}

void Sender::close() {
    if (!transport_) return;
    transport_.reset();
    const std::size_t dropped = encoder_.rows();
    encoder_.clear();
    if (dropped != 0 && failure_.empty()) {
        throw IngressError(ErrorCode::invalid_api_call, "sender closed with " +
                                                            std::to_string(dropped) +
                                                            " rows not flushed; they were dropped");
    }
}

}  // namespace ingress
