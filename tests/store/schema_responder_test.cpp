#include <gtest/gtest.h>

#include <sstream>

#include "core/palette.hpp"
#include "store/run_query.hpp"
#include "store/schema.hpp"
#include "tests/store/local_responder.hpp"
#include "tests/support/stdout_sink.hpp"

namespace tessim {
namespace {

using testing::http_reply;
using testing::LocalResponder;
using testing::query_parameter;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

const std::string linha_desatualizada =
    std::string(YELLOW) + "O QuestDB se encontra com a tabela desatualizada, atualizando tabela!" +
    std::string(RESET) + "\n";
const std::string linha_nao_encontrada = std::string(YELLOW) +
                                         "Tabela tessimClientes não encontrada, criando tabela!" +
                                         std::string(RESET) + "\n";

std::string resposta_colunas(int linhas) {
    std::string dataset;
    for (int i = 0; i < linhas; ++i)
        dataset += (i ? "," : "") + std::string(R"(["c)") + std::to_string(i) + R"(","INT"])";
    return http_reply(200, R"({"query":"SHOW COLUMNS FROM tessimClientes","dataset":[)" + dataset +
                               "],\"count\":" + std::to_string(linhas) + "}");
}

const std::string truncada = http_reply(200, R"({"ddl":"OK"})");
const std::string sem_tabela =
    http_reply(400, R"({"error":"table does not exist [table=tessimClientes]","position":18})");
const std::string criada = http_reply(200, R"({"ddl":"OK"})");
const std::string nao_json = http_reply(200, "<html>oops</html>", "text/html");

struct Execucao {
    std::string saida;
    std::vector<std::string> consultas;  // decoded "query" parameters, in order
    bool falhou = false;
};

Execucao executar(const std::vector<std::string>& respostas) {
    LocalResponder responder(respostas);
    const auto consulta = [&](const std::string& sql) {
        return run_query(responder.base_url(), sql, kStdoutSink);
    };
    Execucao e;
    CaptureStdout();
    try {
        truncate_and_fit_table(consulta, kStdoutSink);
    } catch (const std::exception&) {
        e.falhou = true;
    }
    e.saida = GetCapturedStdout();
    for (const auto& head : responder.requests())
        e.consultas.push_back(query_parameter(head, "query"));
    return e;
}

std::vector<std::string> inicio() {
    return {std::string(kTruncateTable), std::string(kShowColumns)};
}

std::vector<std::string> com_alters(std::vector<std::string> consultas, std::size_t quantos) {
    const auto lista = colunas_tabela();
    for (std::size_t i = 0; i < quantos; ++i) consultas.push_back(lista[i].second);
    return consultas;
}

TEST(EsquemaTabela, MissingTableIsCreated) {
    const auto e = executar({sem_tabela, sem_tabela, criada});
    EXPECT_FALSE(e.falhou);
    EXPECT_EQ(e.saida, linha_nao_encontrada + "{'ddl': 'OK'}\n");
    auto esperadas = inicio();
    esperadas.emplace_back(kCreateTable);
    EXPECT_EQ(e.consultas, esperadas);
}

TEST(EsquemaTabela, ThirtyTwoOrMoreColumnsLeaveTheTableAlone) {
    for (int linhas : {32, 33, 40}) {
        const auto e = executar({truncada, resposta_colunas(linhas)});
        EXPECT_FALSE(e.falhou);
        EXPECT_EQ(e.saida, "") << linhas;
        EXPECT_EQ(e.consultas, inicio()) << linhas;
    }
}

// Fewer than 32 columns, an empty dataset included: every ALTER runs and every answer is
// printed, whatever it says.
TEST(EsquemaTabela, FewerColumnsRunAllAlters) {
    for (int linhas : {0, 1, 31}) {
        std::vector<std::string> respostas = {truncada, resposta_colunas(linhas)};
        std::string esperado = linha_desatualizada;
        for (int i = 0; i < 32; ++i) {
            const bool existe = i < linhas;
            respostas.push_back(existe ? http_reply(400, R"({"error":"column exists"})")
                                       : http_reply(200, R"({"ddl":"OK"})"));
            esperado += existe ? "{'error': 'column exists'}\n" : "{'ddl': 'OK'}\n";
        }
        const auto e = executar(respostas);
        EXPECT_FALSE(e.falhou);
        EXPECT_EQ(e.saida, esperado) << linhas;
        EXPECT_EQ(e.consultas, com_alters(inicio(), kColumnCount)) << linhas;
    }
}

// Every answer to SHOW COLUMNS that cannot be counted leads to the creation.
TEST(EsquemaTabela, UncountableAnswersLeadToCreation) {
    const std::string respostas[] = {
        http_reply(200, R"({"dataset":12})"),    http_reply(200, R"({"dataset":null})"),
        http_reply(200, R"({"dataset":false})"), http_reply(200, R"([{"dataset":[]}])"),
        http_reply(200, R"("dataset")"),         http_reply(200, R"({"count":32})"),
    };
    for (const auto& resposta : respostas) {
        const auto e = executar({truncada, resposta, criada});
        EXPECT_FALSE(e.falhou);
        EXPECT_EQ(e.saida, linha_nao_encontrada + "{'ddl': 'OK'}\n") << resposta;
        ASSERT_EQ(e.consultas.size(), 3u);
        EXPECT_EQ(e.consultas[2], kCreateTable);
    }
}

TEST(EsquemaTabela, AbsentShowColumnsAnswerLeadsToCreation) {
    const auto e = executar({truncada, "", criada});
    EXPECT_FALSE(e.falhou);
    EXPECT_EQ(e.saida,
              "Error: Empty reply from server\n" + linha_nao_encontrada + "{'ddl': 'OK'}\n");
    EXPECT_EQ(e.consultas.size(), 3u);
}

// A failure inside the migration loop abandons it and takes the creation path, although the
// table exists; the creation's error answer is printed.
TEST(EsquemaTabela, FailureInMigrationLoopTakesCreationPath) {
    std::vector<std::string> respostas = {truncada, resposta_colunas(10)};
    for (int i = 0; i < 4; ++i) respostas.push_back(http_reply(200, R"({"ddl":"OK"})"));
    respostas.push_back(nao_json);
    respostas.push_back(http_reply(400, R"({"error":"table already exists"})"));
    const auto e = executar(respostas);
    EXPECT_FALSE(e.falhou);
    EXPECT_EQ(e.saida, linha_desatualizada + "{'ddl': 'OK'}\n{'ddl': 'OK'}\n{'ddl': 'OK'}\n" +
                           "{'ddl': 'OK'}\n" + linha_nao_encontrada +
                           "{'error': 'table already exists'}\n");
    auto esperadas = com_alters(inicio(), 5);
    esperadas.emplace_back(kCreateTable);
    EXPECT_EQ(e.consultas, esperadas);
}

// Outside the guarded check a body that is not JSON escapes the phase.
TEST(EsquemaTabela, NonJsonOutsideTheCheckEscapes) {
    {
        const auto e = executar({nao_json});
        EXPECT_TRUE(e.falhou);
        EXPECT_EQ(e.saida, "");
        EXPECT_EQ(e.consultas.size(), 1u);
    }
    {
        const auto e = executar({truncada, nao_json});
        EXPECT_TRUE(e.falhou);
        EXPECT_EQ(e.saida, "");
        EXPECT_EQ(e.consultas, inicio());
    }
    {
        const auto e = executar({truncada, sem_tabela, nao_json});
        EXPECT_TRUE(e.falhou);
        EXPECT_EQ(e.saida, linha_nao_encontrada);
        EXPECT_EQ(e.consultas.size(), 3u);
    }
}

// An absent truncation answer is dropped like any other.
TEST(EsquemaTabela, AbsentTruncationAnswerIsDropped) {
    const auto e = executar({"", resposta_colunas(32)});
    EXPECT_FALSE(e.falhou);
    EXPECT_EQ(e.saida, "Error: Empty reply from server\n");
    EXPECT_EQ(e.consultas, inicio());
}

// Nothing listens on port 9000 of 127.0.0.3: every request fails in transport.
TEST(EsquemaTabela, UnreachableQuestDB) {
    const std::string base = questdb_exec_base("127.0.0.3");
    CaptureStdout();
    truncate_and_fit_table(
        [&](const std::string& sql) { return run_query(base, sql, kStdoutSink); }, kStdoutSink);
    const std::string saida = GetCapturedStdout();

    std::vector<std::string> linhas;
    std::istringstream in(saida);
    for (std::string linha; std::getline(in, linha);) linhas.push_back(linha);
    ASSERT_EQ(linhas.size(), 5u) << saida;
    const std::string falha = "Error: Failed to connect to 127.0.0.3 port 9000";
    EXPECT_EQ(linhas[0].rfind(falha, 0), 0u) << linhas[0];
    EXPECT_EQ(linhas[1].rfind(falha, 0), 0u) << linhas[1];
    EXPECT_EQ(linhas[2] + "\n", linha_nao_encontrada);
    EXPECT_EQ(linhas[3].rfind(falha, 0), 0u) << linhas[3];
    EXPECT_EQ(linhas[4], "None");
}

}  // namespace
}  // namespace tessim
