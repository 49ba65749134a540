#pragma once
// Every line the operator can read about a failure or a stop, in one table: its text, with
// each part that varies written as <name>, the stream it goes to and how the run ends after
// it. docs/failures.md lists the same lines byte for byte, and a test holds the two together.
// The lines are the operator's Portuguese (the query endpoint's "Error: " and the client's
// reasons excepted) and name what failed in the operator's terms, never a type of the code.

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>

namespace tavmolibrary::process_library {

enum class Stream : unsigned char { out, err };

// How a run ends after a line, where no fixed status says it.
inline constexpr int kRunGoesOn = -1;        // the line is written and the run goes on
inline constexpr int kStatusOfTheLoad = -2;  // the status the load ends with
inline constexpr int kSignalStatus = -3;     // 128 + the signal's number

enum class Line : unsigned char {
    critical_error,
    value_refused_by_type,
    value_refused_by_client,
    value_refused_by_clock,
    rows_refused,
    exchange_failed,
    timeout,
    interrupted,
    deferred_stop,
    // Failures that nothing in the run answers for: what failed, then why.
    unset_field,
    database,
    database_record,
    query_endpoint,
    hand_over,
    start_up,
    system,
    memory,
    internal,
};

struct OperatorLine {
    Line line;
    std::string_view text;
    Stream stream;
    int status;
};

// In the order of Line (a row out of its place does not compile).
// clang-format off
inline constexpr OperatorLine kOperatorLines[] = {
    {Line::critical_error, "Erro crítico -- Contactar Brantevika em: suporte@brantevika.com.br ou +55 (11) 4003-2671", Stream::out, 1},
    {Line::value_refused_by_type, "Erro: contrato idServico=<contrato>, coluna <coluna>: <motivo>", Stream::err, 1},
    {Line::value_refused_by_client, "Erro: contrato idServico=<contrato>: <motivo>", Stream::err, 1},
    {Line::value_refused_by_clock, "Erro: contrato idServico=<contrato>: table \"tessimClientes\", column \"<coluna>\": <motivo>", Stream::err, 1},
    {Line::rows_refused, "Erro: <motivo>", Stream::err, 1},
    {Line::exchange_failed, "Error: <descrição do libcurl>", Stream::out, kRunGoesOn},
    {Line::timeout, "Tempo limite de execução excedido (<segundos> s).", Stream::out, 0},
    {Line::interrupted, "Execução interrompida por <sinal>; a tabela não foi alterada.", Stream::err, kSignalStatus},
    {Line::deferred_stop, "Sinal <sinal> recebido com a tabela já em alteração; a execução foi levada até o fim.", Stream::err, kStatusOfTheLoad},
    {Line::unset_field, "tessim_clientes: falha não tratada (linha de comando): <motivo>", Stream::err, 1},
    {Line::database, "tessim_clientes: falha não tratada (banco de gestão MySQL): <motivo>", Stream::err, 1},
    {Line::database_record, "tessim_clientes: falha não tratada (banco de gestão MySQL): campo <campo> do contrato idServico=<contrato>: <motivo>", Stream::err, 1},
    {Line::query_endpoint, "tessim_clientes: falha não tratada (endpoint de consultas /exec do QuestDB): <motivo>", Stream::err, 1},
    {Line::hand_over, "tessim_clientes: falha não tratada (passagem da senha à execução destacada): <motivo>", Stream::err, 1},
    {Line::start_up, "tessim_clientes: falha não tratada (início das bibliotecas): <motivo>", Stream::err, 1},
    {Line::system, "tessim_clientes: falha não tratada (sistema operacional): <motivo>", Stream::err, 1},
    {Line::memory, "tessim_clientes: falha não tratada (memória): não há memória para continuar a execução", Stream::err, 1},
    {Line::internal, "tessim_clientes: falha não tratada (erro interno do programa): <motivo>", Stream::err, 1},
};
// clang-format on

consteval bool in_order() {
    for (std::size_t i = 0; i < std::size(kOperatorLines); ++i)
        if (static_cast<std::size_t>(kOperatorLines[i].line) != i) return false;
    return std::size(kOperatorLines) == static_cast<std::size_t>(Line::internal) + 1;
}
static_assert(in_order(), "kOperatorLines must list every Line, in its order");

struct Report {
    std::string line;
    Stream stream;
    int status;
};

// The text of `line` with its <...> parts replaced, in order, by `parts`, and kept on one
// line: a server's reason may span several, and whoever reads the last line of a stream must
// see all of it. std::logic_error when the number of parts does not match.
Report report(Line line, std::initializer_list<std::string_view> parts = {});

// Writes the report's line on its stream: standard output as print_line does (throwing as it
// does), standard error as print_error_line does.
void write_report(const Report& report);

}  // namespace tavmolibrary::process_library
