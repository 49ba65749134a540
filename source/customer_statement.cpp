#include "source/customer_statement.hpp"

namespace tessim {

// clang-format off
const std::string_view kCustomerStatement = R"sql(
    WITH contratos_sem_confirmacao AS (
    SELECT 
        ct.origem_id,
        GROUP_CONCAT(ct.id SEPARATOR ' | ') AS contratosSemConfirmacao
    FROM contratos ct
    WHERE ct.origem_confirmacao = ''
    GROUP BY ct.origem_id
    )
    SELECT 
        c.id AS idCliente,
        c.nome AS nomeCliente,
        c.cpf AS cpfCliente,
        c.cnpj AS cnpjCliente, 
        c.endereco_bairro AS bairroCliente, 
        c.cidade AS cidadeCliente, 
        c.uf AS estadoCliente, 
        chi.status AS statusCliente,
        chi.data_instalacao AS dataInstalacao,
        chi.data_cadastro AS dataCadastro,
        chi.dia_vencimento AS diaVencimento,
        chi.data_rescisao AS dataRescisao,
        chi.suspensao_inicio AS dataSuspensao,
        chi.suspensao_motivo AS motivoSuspensao,
        e.razao_social AS nomeEmpresa,
        ip.nome AS nomePlano,            
        ip.valor AS valorPlano,
        f.nome AS nomeVendedor,
        c.data_nascimento AS dataNascimento,
        chi.isento AS ContratoIsento,
        COALESCE(cb.qtd_atraso, 0) AS qtdTitulosAtraso,
        COALESCE(cb.valor_atraso, 0) AS valorEmAtraso,
        cb.min_vencimento AS primeiroVencimentoEmAtraso,
        chi.data_vencimento_contrato AS dataVencimentoContrato,
        chi.ativo AS ativo,
        chi.id AS idServico,
        COALESCE(cc.contratosSemConfirmacao, '') AS contratosSemAssinatura,
        rm.nome as motivoRescisao,
        chi.fidelidade_data_final,
        c.ruc as Ruc,
        c.tipo_pessoa as tipoPessoa
    FROM 
        clientes_has_internetplanos chi
    LEFT JOIN clientes c ON chi.clientes_id = c.id
    LEFT JOIN empresas e ON chi.empresas_id  = e.id
    LEFT JOIN internetplanos ip ON chi.internetplanos_id = ip.id
    LEFT JOIN funcionarios f ON chi.vendedor_id = f.id
     LEFT JOIN rescisao_motivos rm on rm.id = chi.rescisao_motivos_id
    LEFT JOIN (
        SELECT 
            c.clientes_id,
            COUNT(c.valor) AS qtd_atraso,
            SUM(c.valor) AS valor_atraso,
            MIN(c.data_vencimento) AS min_vencimento
        FROM cobrancas c
        WHERE 
            c.data_vencimento < NOW() 
            AND c.data_pagamento IS NULL 
            AND c.data_cancelado IS NULL
        GROUP BY c.clientes_id
    ) cb ON cb.clientes_id = c.id
    LEFT JOIN contratos_sem_confirmacao cc ON cc.origem_id = chi.id;
    )sql";
// clang-format on

}  // namespace tessim
