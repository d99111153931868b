#include "module/shell/MessageTable.h"

namespace shell {

// The keys are spelled exactly as the handlers ask for them (mixed case included), and the
// repeated "VAL_DEV_INF" line and the double full stop are the screen's own.
QStringList messageTableLines() {
  return {
      QStringLiteral("COD_PROD_INV|Código do produto inválido."),
      QStringLiteral(
          "PREC_ZERO|Operação bloqueada! Produto com preço zerado ou sem preço parametrizado."),
      QStringLiteral("ALIQ_ZERO|Operação bloqueada! Produto com alíquota zero."),
      QStringLiteral("IMP_NCAD|Operação bloqueada! Produto sem imposto cadastrado."),
      QStringLiteral("CancItem|Último item será cancelado e deverá ser registrado novamente."),
      QStringLiteral("VENDA|Venda de Produto"),
      QStringLiteral("RECEBIMENTO|Recebimento"),
      QStringLiteral("Inf_Quant|Informe a quantidade a ser vendida"),
      QStringLiteral("Qtde_Deve|Quantidade deve ser informada."),
      QStringLiteral("PROD_CANC|Confirma o cancelamento do item?"),
      QStringLiteral("SEM_PROD|Não existem produtos vendidos."),
      QStringLiteral("RECE_DEV_INF|Recebimento deve ser informado."),
      QStringLiteral("VAL_DEV_INF|Valor do Recebimento deve ser informado."),
      QStringLiteral("ZERO|Valor de recebimento não pode ser igual a zero."),
      QStringLiteral("VAL_RECE|Valor do Recebimento"),
      QStringLiteral("VAL_DEV_INF|Valor do Recebimento deve ser informado."),
      QStringLiteral("CONFIRMAR_RECE|Confirma a exclusão do recebimento?"),
      QStringLiteral(
          "Nao_Canc_Per|Cancelamento não permitido. O último cupom fiscal já foi cancelado."),
      QStringLiteral("Falta_Prod|Operação bloqueada! Nenhum produto foi selecionado."),
      QStringLiteral("Falta_Receb|Operação bloqueada! Nenhum recebimento foi informado.."),
  };
}

}  // namespace shell
