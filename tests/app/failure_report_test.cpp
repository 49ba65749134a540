#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/failure_report.hpp"
#include "process/concealed_argument.hpp"

namespace tessim {
namespace {

// What the operator reads for each branch, byte for byte: these lines are compared by the
// operators' own checks, so a change of wording must show up here.
TEST(FailureReport, EachBranchHasItsLineStreamAndStatus) {
    using Cause = DatabaseFailure::Cause;
    const std::string unhandled = "tessim_clientes: falha não tratada (";
    struct Case {
        const char* name;
        std::function<void()> raise;
        std::string line;
        Stream stream;
    };
    const std::vector<Case> cases = {
        {"command line", [] { throw CommandLineRefused(); }, std::string(kCriticalErrorLine),
         Stream::out},
        {"connection", [] { throw DatabaseFailure(Cause::connection, 1045, "negado"); },
         unhandled + "tessim::ConnectionError): negado", Stream::err},
        {"statement", [] { throw DatabaseFailure(Cause::statement, 1146, "sem tabela"); },
         unhandled + "tessim::QueryError): sem tabela", Stream::err},
        {"value", [] { throw DatabaseFailure(Cause::value, 0, "fora"); },
         unhandled + "tessim::ValueError): fora", Stream::err},
        {"record", [] { throw DatabaseFailure("dataRescisao", "7", "mktime não converte x"); },
         unhandled +
             "tessim::NormalizationError): campo dataRescisao do contrato idServico=7: mktime "
             "não converte x",
         Stream::err},
        {"no answer",
         [] { throw QueryEndpointFailure(QueryEndpointFailure::Cause::no_answer, "SHOW", "sem"); },
         unhandled + "std::runtime_error): sem", Stream::err},
        {"malformed answer",
         [] {
             throw QueryEndpointFailure(QueryEndpointFailure::Cause::malformed_answer, "SHOW",
                                        "torta");
         },
         unhandled + "std::invalid_argument): torta", Stream::err},
        {"column type",
         [] { throw ValueRefused(ValueRefused::By::column_type, "5", "cpf", "não cabe"); },
         "Erro: contrato idServico=5, coluna cpf: não cabe", Stream::err},
        {"client",
         [] { throw ValueRefused(ValueRefused::By::client, "5", "cpf", "column \"cpf\": NUL"); },
         "Erro: contrato idServico=5: column \"cpf\": NUL", Stream::err},
        {"clock",
         [] { throw ValueRefused(ValueRefused::By::clock, "5", "dataAtraso", "sem instante"); },
         "Erro: contrato idServico=5: table \"tessimClientes\", column \"dataAtraso\": sem "
         "instante",
         Stream::err},
        {"rows, several lines", [] { throw RowsRefused("recusado\r\nlinha 2\n \n"); },
         "Erro: recusado  linha 2", Stream::err},
        {"hand-over", [] { throw tavmolibrary::process_library::HandOverError("sem pipe"); },
         unhandled + "tavmolibrary::process_library::HandOverError): sem pipe", Stream::err},
        {"standard", [] { throw std::out_of_range("fora"); },
         unhandled + "std::out_of_range): fora", Stream::err},
        {"not an exception", [] { throw 42; }, unhandled + "int): exceção sem descrição",
         Stream::err},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.raise();
            ADD_FAILURE() << "nothing thrown";
        } catch (...) {
            const FailureReport report = report_of_current_exception();
            EXPECT_EQ(report.line, c.line);
            EXPECT_EQ(report.stream, c.stream);
            EXPECT_EQ(report.status, 1);
        }
    }
}

}  // namespace
}  // namespace tessim
