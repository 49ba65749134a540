#pragma once
// Failures of the customer source. Each carries the MySQL error number when the server or
// the client library gave one (0 when the failure is our own, e.g. a value out of range).
// Messages never include the password: they are built from host, port, user and database
// only, plus the client library's own text, which does not echo it either.

#include <string>
#include <string_view>

#include "core/failure.hpp"

namespace tessim {

// Nothing in the run answers for these: they end it with the diagnostic of an unhandled
// failure, under the kind's name.
class SourceError : public UnhandledFailure {
  public:
    SourceError(std::string_view kind, unsigned code, const std::string& message)
        : UnhandledFailure(kind, message), code_(code) {}
    unsigned code() const { return code_; }

  private:
    unsigned code_;
};

// Opening the connection failed: refused, unknown host, bad login, missing database.
class ConnectionError : public SourceError {
  public:
    ConnectionError(unsigned code, const std::string& message)
        : SourceError("tessim::ConnectionError", code, message) {}
};

// The server rejected the statement, or the connection broke while running or fetching it.
class QueryError : public SourceError {
  public:
    QueryError(unsigned code, const std::string& message)
        : SourceError("tessim::QueryError", code, message) {}
};

// A column value that has no faithful place in the value model (an unsigned BIGINT above
// the signed range, a malformed number): better to stop than to deliver a wrong value.
class ValueError : public SourceError {
  public:
    ValueError(unsigned code, const std::string& message)
        : SourceError("tessim::ValueError", code, message) {}
};

}  // namespace tessim
