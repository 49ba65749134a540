#pragma once
// What the operator reads of a failure: its line of the operator's lines
// (process/operator_lines.hpp), with the stream it goes to and the exit status, decided here
// from the failure's branch and nowhere else.

#include "core/failure.hpp"
#include "process/operator_lines.hpp"

namespace tessim {

using Report = tavmolibrary::process_library::Report;

Report report_of(const Failure& failure);

// The report of the exception being handled; call it inside a catch block only. The process
// library's own failures join the family here (its hand-over error, the system calls it
// makes); anything else that is not a Failure is out of memory or an internal error.
Report report_of_current_exception();

}  // namespace tessim
