#include "app/failure_report.hpp"

#include <new>
#include <system_error>

#include "process/concealed_argument.hpp"

namespace tessim {
namespace {

using tavmolibrary::process_library::Line;
using tavmolibrary::process_library::report;

Report value_refused(const ValueRefused& refused) {
    switch (refused.by()) {
        case ValueRefused::By::column_type:
            return report(Line::value_refused_by_type,
                          {refused.contract(), refused.column(), refused.what()});
        case ValueRefused::By::client:
            return report(Line::value_refused_by_client, {refused.contract(), refused.what()});
        case ValueRefused::By::clock:
            break;
    }
    return report(Line::value_refused_by_clock,
                  {refused.contract(), refused.column(), refused.what()});
}

}  // namespace

Report report_of(const Failure& failure) {
    using Branch = Failure::Branch;
    const std::string_view why = failure.what();
    switch (failure.branch()) {
        case Branch::command_line:
            return report(Line::critical_error);
        case Branch::unset_field:
            return report(Line::unset_field, {why});
        case Branch::database: {
            const auto& database = static_cast<const DatabaseFailure&>(failure);
            if (database.cause() == DatabaseFailure::Cause::record)
                return report(Line::database_record, {database.field(), database.contract(), why});
            return report(Line::database, {why});
        }
        case Branch::query_endpoint:
            return report(Line::query_endpoint, {why});
        case Branch::value_refused:
            return value_refused(static_cast<const ValueRefused&>(failure));
        case Branch::rows_refused:
            return report(Line::rows_refused, {why});
        case Branch::hand_over:
            return report(Line::hand_over, {why});
        case Branch::start_up:
            return report(Line::start_up, {why});
        case Branch::system:
            break;
    }
    return report(Line::system, {why});
}

Report report_of_current_exception() {
    try {
        throw;
    } catch (const Failure& failure) {
        return report_of(failure);
    } catch (const tavmolibrary::process_library::HandOverError& e) {
        return report_of(HandOverFailure(e.what()));
    } catch (const std::system_error& e) {
        return report_of(SystemFailure(e.what()));
    } catch (const std::bad_alloc&) {
        return report(Line::memory);
    } catch (const std::exception& e) {
        // The message only, never the Run configuration (it holds the MySQL password).
        return report(Line::internal, {e.what()});
    } catch (...) {
        return report(Line::internal, {"exceção sem descrição"});
    }
}

}  // namespace tessim
