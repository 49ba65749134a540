#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <new>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "app/failure_report.hpp"
#include "process/concealed_argument.hpp"

namespace tessim {
namespace {

namespace process = tavmolibrary::process_library;
using process::Stream;

// What the operator reads for each kind of failure, byte for byte: these lines are compared
// by the operators' own checks, so a change of wording must show up here.
TEST(FailureReport, EachFailureHasItsLineStreamAndStatus) {
    using Cause = DatabaseFailure::Cause;
    const std::string unhandled = "tessim_clientes: falha não tratada (";
    struct Case {
        const char* name;
        std::function<void()> raise;
        std::string line;
        Stream stream;
    };
    const std::vector<Case> cases = {
        {"command line", [] { throw CommandLineRefused("recusada"); },
         "Erro crítico -- Contactar Brantevika em: suporte@brantevika.com.br ou +55 (11) "
         "4003-2671",
         Stream::out},
        {"unset field", [] { throw UnsetField("campo db_host"); },
         unhandled + "linha de comando): campo db_host", Stream::err},
        {"connection", [] { throw DatabaseFailure(Cause::connection, 1045, "negado"); },
         unhandled + "banco de gestão MySQL): negado", Stream::err},
        {"record", [] { throw DatabaseFailure("dataRescisao", "7", "mktime não converte x"); },
         unhandled +
             "banco de gestão MySQL): campo dataRescisao do contrato idServico=7: mktime não "
             "converte x",
         Stream::err},
        {"query endpoint", [] { throw QueryEndpointFailure("sem\nresposta"); },
         unhandled + "endpoint de consultas /exec do QuestDB): sem resposta", Stream::err},
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
        {"hand-over", [] { throw process::HandOverError("sem pipe"); },
         unhandled + "passagem da senha à execução destacada): sem pipe", Stream::err},
        {"start-up", [] { throw StartUpFailure("libcurl"); },
         unhandled + "início das bibliotecas): libcurl", Stream::err},
        {"system call",
         [] { throw std::system_error(EAGAIN, std::generic_category(), "launch: fork"); },
         unhandled + "sistema operacional): launch: fork: Resource temporarily unavailable",
         Stream::err},
        {"memory", [] { throw std::bad_alloc(); },
         unhandled + "memória): não há memória para continuar a execução", Stream::err},
        {"misuse", [] { throw std::out_of_range("fora"); },
         unhandled + "erro interno do programa): fora", Stream::err},
        {"not an exception", [] { throw 42; },
         unhandled + "erro interno do programa): exceção sem descrição", Stream::err},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.raise();
            ADD_FAILURE() << "nothing thrown";
        } catch (...) {
            const Report report = report_of_current_exception();
            EXPECT_EQ(report.line, c.line);
            EXPECT_EQ(report.stream, c.stream);
            EXPECT_EQ(report.status, 1);
        }
    }
}

// docs/failures.md lists every line of the table, with its stream and how the run ends,
// and nothing else.
TEST(FailureReport, TheManualListsEveryOperatorLine) {
    std::ifstream manual(std::string(TESSIM_ROOT) + "/docs/failures.md");
    ASSERT_TRUE(manual) << "docs/failures.md";
    const std::regex row(R"(^\| `(.+)` \| (stdout|stderr) \| (.+) \|$)");
    std::set<std::tuple<std::string, std::string, std::string>> listed, in_code;
    for (std::string line; std::getline(manual, line);)
        if (std::smatch m; std::regex_match(line, m, row)) listed.emplace(m[1], m[2], m[3]);
    for (const process::OperatorLine& kind : process::kOperatorLines) {
        const std::string ends = kind.status == process::kRunGoesOn ? "a execução continua"
                                 : kind.status == process::kStatusOfTheLoad ? "o da carga"
                                 : kind.status == process::kSignalStatus
                                     ? "128 + o sinal"
                                     : std::to_string(kind.status);
        in_code.emplace(kind.text, kind.stream == Stream::out ? "stdout" : "stderr", ends);
    }
    EXPECT_EQ(listed, in_code);
}

// A line given too few or too many parts is the program's own slip, never a line printed short.
TEST(OperatorLines, PartsMustMatchTheirPlaces) {
    using process::Line;
    EXPECT_THROW(process::report(Line::timeout), std::logic_error);
    EXPECT_THROW(process::report(Line::critical_error, {"a mais"}), std::logic_error);
}

}  // namespace
}  // namespace tessim
