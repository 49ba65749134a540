#include "ingress/timestamp.hpp"

#include <chrono>

namespace ingress {

TimestampNanos TimestampNanos::now() noexcept {
    using namespace std::chrono;
    return TimestampNanos(
        duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace ingress
