#pragma once
// A handful of contracts that exercise the joins of the customer statement:
//   customer 1 (Maria) holds contracts 10, 11, 12 and has two overdue bills (plus a paid,
//   a cancelled and a future one); contract 10 has two unconfirmed documents (100, 101)
//   and a confirmed one; contract 20 points at customer 999, which does not exist.

#include <string_view>

namespace tessim::testing {

inline constexpr std::string_view kCustomerFixture = R"(
INSERT INTO empresas (id, razao_social) VALUES (1, 'Provedor Exemplo Ltda');
INSERT INTO internetplanos (id, nome, valor) VALUES (1, 'Fibra 300 Mega', 99.90),
  (2, 'Rádio 10 Mega', NULL);
INSERT INTO funcionarios (id, nome) VALUES (1, 'Vendedor Um');
INSERT INTO rescisao_motivos (id, nome) VALUES (1, 'Mudança de endereço');
INSERT INTO clientes (id, nome, cpf, cnpj, endereco_bairro, cidade, uf, data_nascimento,
  ruc, tipo_pessoa) VALUES
  (1, 'Maria Conceição', '1234567890', NULL, '', 'São Paulo', 'SP', '1965-07-14', NULL, 'F');
INSERT INTO clientes_has_internetplanos (id, clientes_id, empresas_id, internetplanos_id,
  vendedor_id, rescisao_motivos_id, status, data_instalacao, data_cadastro, dia_vencimento,
  data_rescisao, isento, ativo, fidelidade_data_final) VALUES
  (10, 1, 1, 1, 1, NULL, 1, '2021-03-05 14:07:09', '2021-03-01 09:00:00', 10, NULL, 0, 1,
   '2022-03-01'),
  (11, 1, 1, 2, NULL, NULL, 1, NULL, '2022-01-10 10:00:00', 15, NULL, 0, 1, NULL),
  (12, 1, 1, 1, 1, 1, 3, NULL, '2019-05-20 08:30:00', 5, '2020-02-01', 1, 0, NULL),
  (20, 999, NULL, NULL, NULL, NULL, 1, NULL, '2023-07-01 00:00:00', 20, NULL, 0, 1, NULL);
INSERT INTO cobrancas (clientes_id, valor, data_vencimento, data_pagamento, data_cancelado)
  VALUES (1, 50.00, '2020-01-10', NULL, NULL),
         (1, 75.50, '2021-05-10', NULL, NULL),
         (1, 10.00, '2019-01-10', '2019-01-09 10:00:00', NULL),
         (1, 20.00, '2019-02-10', NULL, '2019-02-01 10:00:00'),
         (1, 30.00, '2999-01-10', NULL, NULL);
INSERT INTO contratos (id, origem_id, origem_confirmacao) VALUES
  (100, 10, ''), (101, 10, ''), (102, 10, '2021-03-02 10:00:00'), (103, 11, 'ok');
)";

}  // namespace tessim::testing
