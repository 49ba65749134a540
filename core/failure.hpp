#pragma once
// The program's own failures: one root and a branch for each thing that can go wrong in the
// world outside. A failure carries its reason as its message and its context (contract,
// column, field) as fields; which line the operator reads, on which stream and with which
// exit status, is decided from the branch by the entry (app/failure_report.hpp), in one
// place. Misuse inside the program is a std::logic_error and stays outside this family.

#include <stdexcept>
#include <string>

namespace tessim {

class Failure : public std::runtime_error {
  public:
    enum class Branch : unsigned char {
        command_line,    // neither of the two layouts
        unset_field,     // a mode that needs a field the one-argument layout leaves unset
        database,        // the management database
        query_endpoint,  // QuestDB's /exec: the exchange failed, or its answer is absent or
                         // not the shape the statement asks for
        value_refused,   // a value of a contract that its column cannot take
        rows_refused,    // QuestDB did not take the rows, or the sender could not be made
        hand_over,       // the password handed over from a launching run could not be taken
        start_up,        // a library could not be started
        system,          // the operating system refused a call the run needs
    };
    Branch branch() const noexcept { return branch_; }

  protected:
    Failure(Branch branch, const std::string& reason)
        : std::runtime_error(reason), branch_(branch) {}

  private:
    Branch branch_;
};

// A branch whose reason says all there is to say.
template <Failure::Branch B>
class PlainFailure : public Failure {
  public:
    explicit PlainFailure(const std::string& reason) : Failure(B, reason) {}
};
using CommandLineRefused = PlainFailure<Failure::Branch::command_line>;
using UnsetField = PlainFailure<Failure::Branch::unset_field>;
using QueryEndpointFailure = PlainFailure<Failure::Branch::query_endpoint>;
using RowsRefused = PlainFailure<Failure::Branch::rows_refused>;
using HandOverFailure = PlainFailure<Failure::Branch::hand_over>;
using StartUpFailure = PlainFailure<Failure::Branch::start_up>;
using SystemFailure = PlainFailure<Failure::Branch::system>;

// The MySQL side: the connection, the statement, a value the row model has no faithful place
// for, or a delivered record the normalisation cannot take. `server_error` is MySQL's error
// number, 0 when the client library gave none or the failure is our own. A record names the
// field and the contract (its idServico) so that the operator can find the row.
class DatabaseFailure : public Failure {
  public:
    enum class Cause : unsigned char { connection, statement, value, record };
    DatabaseFailure(Cause cause, unsigned server_error, const std::string& reason)
        : Failure(Branch::database, reason), cause_(cause), server_error_(server_error) {}
    DatabaseFailure(std::string field, std::string contract, const std::string& reason)
        : Failure(Branch::database, reason),
          cause_(Cause::record),
          server_error_(0),
          field_(std::move(field)),
          contract_(std::move(contract)) {}
    Cause cause() const noexcept { return cause_; }
    unsigned server_error() const noexcept { return server_error_; }
    const std::string& field() const noexcept { return field_; }
    const std::string& contract() const noexcept { return contract_; }

  private:
    Cause cause_;
    unsigned server_error_;
    std::string field_;
    std::string contract_;
};

// A value of a contract that its column cannot take. `by` says who refused it: the column's
// declared type, the line-protocol client (whose reason names the table and column itself),
// or the local clock, which has no instant for the wall time.
class ValueRefused : public Failure {
  public:
    enum class By : unsigned char { column_type, client, clock };
    ValueRefused(By by, std::string contract, std::string column, const std::string& reason)
        : Failure(Branch::value_refused, reason),
          by_(by),
          contract_(std::move(contract)),
          column_(std::move(column)) {}
    By by() const noexcept { return by_; }
    // The contract's idServico as the operator finds it in the database.
    const std::string& contract() const noexcept { return contract_; }
    const std::string& column() const noexcept { return column_; }

  private:
    By by_;
    std::string contract_;
    std::string column_;
};

}  // namespace tessim
