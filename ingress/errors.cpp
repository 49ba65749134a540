#include "ingress/errors.hpp"

namespace ingress {

const char* to_string(ErrorCode code) noexcept {
    switch (code) {
        case ErrorCode::config_error:
            return "config_error";
        case ErrorCode::invalid_api_call:
            return "invalid_api_call";
        case ErrorCode::invalid_name:
            return "invalid_name";
        case ErrorCode::invalid_utf8:
            return "invalid_utf8";
        case ErrorCode::invalid_value:
            return "invalid_value";
        case ErrorCode::socket_error:
            return "socket_error";
        case ErrorCode::auth_error:
            return "auth_error";
        case ErrorCode::server_flush_error:
            return "server_flush_error";
    }
    return "unknown";
}

}  // namespace ingress
