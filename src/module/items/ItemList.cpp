// The item list beside the grid: cancelling the selected item on the printer (its row
// stays, marked), the item state as a word, and moving up and down the list.
#include "framework/text/NumberText.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

void TfrmVendaArquivo::bldCancelClick(QObject* /*sender*/) {
  const KeepOnReturn keep(*this);
  if (cdsAddProduto.asText(QStringLiteral("IDPRODIMPFIS")) != QLatin1String("S")) return;
  // A closed or cancelled coupon's rows wait for their files: no item of it is cancelled.
  if (boCupomFechado || !cancelamentoDevido.isEmpty()) {
    settleOwedFiles();
    return;
  }
  if (!confirm(msgPadrao.Msg(QStringLiteral("PROD_CANC")))) return;

  const QString itemNumber = cdsAddProduto.asText(QStringLiteral("NRSEQ"));
  askingPrinter(QStringLiteral("K"), itemNumber);
  const bool cancelled = askItemCancellation(itemNumber);
  comandoPendente.clear();
  itemPendente.clear();
  if (cancelled) {
    showSaleTotal(saleTotal() -
                  fw::roundAmount(cdsAddProduto.asNumber(QStringLiteral("VRTOTVEND"))));
  }
  // Also after a refusal: the buttons are brought in line with what the screen shows.
  applyFinishRule();
  if (cancelled) {
    cdsAddProduto.edit();
    cdsAddProduto.setText(QStringLiteral("IDPRODIMPFIS"), QStringLiteral("C"));
    cdsAddProduto.post();
  }
}

QString TfrmVendaArquivo::cdsAddProdutoIDPRODIMPFISGetText(const QString& stored,
                                                           bool /*displayText*/) {
  if (stored == QLatin1String("S")) return QStringLiteral("Impresso");
  if (stored == QLatin1String("C")) return QStringLiteral("Cancelado");
  return QString();
}

// Before the first item the list is not open yet: the arrows have nothing to move.
void TfrmVendaArquivo::bldAcimaClick(QObject* /*sender*/) {
  if (cdsAddProduto.active()) cdsAddProduto.prior();
}

void TfrmVendaArquivo::bldAbaixoClick(QObject* /*sender*/) {
  if (cdsAddProduto.active()) cdsAddProduto.next();
}

bool TfrmVendaArquivo::askItemCancellation(const QString& itemNumber) {
  return outside::Cancela_ItGenerico(stIdEsquema, itemNumber, 0, 0, QStringLiteral("m"),
                                     QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                                     0, 0, 0, 0, 0);
}
