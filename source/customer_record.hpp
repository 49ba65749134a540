#pragma once
// The customer record: one contract as a row of the customer query, 31 values addressed by
// position. The raw and the normalised record share this shape.

#include <array>
#include <cstddef>

#include "source/big_memory.hpp"
#include "source/value.hpp"

namespace tessim {

// Positions in the select list of the customer query.
enum Campo : std::size_t {
    idCliente = 0,
    nomeCliente,
    cpfCliente,
    cnpjCliente,
    bairroCliente,
    cidadeCliente,
    estadoCliente,
    statusCliente,
    dataInstalacao,
    dataCadastro,
    diaVencimento,
    dataRescisao,
    dataSuspensao,
    motivoSuspensao,
    nomeEmpresa,
    nomePlano,
    valorPlano,
    nomeVendedor,
    dataNascimento,
    isento,
    tituloAtraso,
    valorAtraso,
    dataPrimeiroAtraso,
    dataVencimentoContrato,
    ativo,
    idServico,
    contratosSemAssinatura,
    motivoRescisao,
    dataFinalFidelidade,
    ruc,
    tipoPessoa,
};
inline constexpr std::size_t kCampos = 31;

using CustomerRecord = std::array<Value, kCampos>;

// Every raw record of one fetch, with the bytes their texts point into. The fetch cannot
// know the row count ahead, so the records grow in place (see BigArray).
struct CustomerRows {
    TextStore texts;
    BigArray<CustomerRecord> records;
};

}  // namespace tessim
