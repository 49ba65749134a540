#pragma once
// The one failure kind of the ingestion client. Every low-level failure (configuration,
// encoding, curl, HTTP status) is turned into an IngressError before it leaves the library,
// so a caller needs exactly one catch clause.

#include <stdexcept>
#include <string>
#include <string_view>

namespace ingress {

enum class ErrorCode {
    config_error,        // the configuration text is malformed or names an unknown key
    invalid_api_call,    // misuse: a call on a sender that is closed or already failed
    invalid_name,        // a table or column name QuestDB would refuse
    invalid_utf8,        // a name or text value that is not well-formed UTF-8
    invalid_value,       // NaN/Inf, malformed decimal, designated time before 1970, ...
    socket_error,        // connection refused, reset, timed out, name not resolved
    auth_error,          // HTTP 401/403
    server_flush_error,  // any other non-2xx answer of QuestDB
};

class IngressError : public std::runtime_error {
  public:
    IngressError(ErrorCode code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    ErrorCode code() const noexcept { return code_; }

  private:
    ErrorCode code_;
};

// The refusal of a row's value or name: every one names its table and column the same way.
IngressError column_error(ErrorCode code, std::string_view table, std::string_view column,
                          const std::string& why);
// The refusal of a whole row.
IngressError table_error(ErrorCode code, std::string_view table, const std::string& why);

}  // namespace ingress
