#pragma once
// The program's own failures. Each carries the one line that reports it, the stream that line
// goes to and the exit status of the run; the entry writes the line and ends the run, in one
// place. Failures of other kinds (the libraries', the standard library's) are reported there
// too, as the unhandled failures they are.

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace tessim {

enum class Stream : unsigned char { out, err };

class Failure : public std::runtime_error {
  public:
    Failure(const std::string& what, std::string report, Stream stream, int status)
        : std::runtime_error(what), report_(std::move(report)), stream_(stream), status_(status) {}

    const std::string& report() const noexcept { return report_; }
    Stream stream() const noexcept { return stream_; }
    int status() const noexcept { return status_; }

  private:
    std::string report_;
    Stream stream_;
    int status_;
};

// The diagnostic of a failure that no part of the run answers for: the program, the kind of
// the failure and its message.
std::string unhandled_report(std::string_view kind, std::string_view what);

// A failure that no part of the run answers for, on standard error with status 1. Our own
// kinds pass the name they are shown under, so that renaming a class does not change what
// the operator reads.
class UnhandledFailure : public Failure {
  public:
    UnhandledFailure(std::string_view kind, const std::string& what)
        : Failure(what, unhandled_report(kind, what), Stream::err, 1) {}
};

// The rows could not all be stored: a value that does not fit its column, or QuestDB refusing
// or not taking them. "Erro: " and the reason, on one line of standard error (a server's
// reason may span several lines, and a caller reading the last line must see all of it).
class StoreFailure : public Failure {
  public:
    explicit StoreFailure(const std::string& reason);
};

}  // namespace tessim
