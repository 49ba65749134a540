#pragma once
// What the operator reads of a failure: the one line, the stream it goes to and the exit
// status, decided here from the failure's branch and nowhere else.

#include <string>
#include <string_view>

#include "core/failure.hpp"

namespace tessim {

enum class Stream : unsigned char { out, err };

struct FailureReport {
    std::string line;
    Stream stream;
    int status;
};

FailureReport report_of(const Failure& failure);

// The report of the exception being handled; call it inside a catch block only. The process
// library's hand-over error becomes the program's own HandOverFailure here; anything else
// that is not a Failure is reported as unhandled under its type's name.
FailureReport report_of_current_exception();

// The diagnostic of a failure no part of the run answers for: the program, the kind shown
// and the message.
FailureReport unhandled(std::string_view kind, std::string_view what);

}  // namespace tessim
