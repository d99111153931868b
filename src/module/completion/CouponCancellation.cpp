// "Cancela Cupom": cancels the coupon open on the fiscal printer, or the last one closed,
// and records the cancellation in the coupon's sale file. The printer is told which of the
// two the screen means, so it never cancels the other one.
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

using fw::Variant;

namespace {

// Every row of the sale on screen is marked cancelled.
void markCancelled(fw::LocalTable& items) {
  // When the printer refused the coupon's first item the item list was never created:
  // the coupon then has an empty sale file.
  if (!items.active()) return;
  items.first();
  while (!items.eof()) {
    items.edit();
    items.setText(QStringLiteral("IDSITUVENDA"), QStringLiteral("C"));
    items.post();
    items.next();
  }
}

}  // namespace

void TfrmVendaArquivo::bldCancelaClick(QObject* /*sender*/) {
  const KeepOnReturn keep(*this);
  // A cancellation the printer already made is written, not asked for again.
  if (!cancelamentoDevido.isEmpty()) {
    settleOwedFiles();
    return;
  }
  // A closed coupon whose files are owed gets them first, as without a crash: the
  // cancellation then marks its sale file and keeps its cash movement.
  if (boCupomFechado && !settleOwedFiles()) return;

  askingPrinter(QStringLiteral("X"));
  QString cancelledCoupon;
  const bool cancelled = askCouponCancellation(boCupomAberto, &cancelledCoupon);
  comandoPendente.clear();
  if (!cancelled) {
    showMessage(msgPadrao.Msg(QStringLiteral("Nao_Canc_Per")));
    return;
  }
  afterCouponCancelled(cancelledCoupon);
}

bool TfrmVendaArquivo::askCouponCancellation(bool open, QString* cancelledCoupon) {
  namespace at = outside::cancelling;
  fw::VariantList values(at::kCount, Variant(false));
  values[at::kIdEsquema] = Variant(stIdEsquema);
  values[at::kOpenCoupon] = Variant(open);
  values[at::kBranch] = Variant(stFilialLogin);
  values[at::kCashRegister] = Variant(stCaixaAber);
  values[at::kSerialNumber] = Variant(Rev_NrSerie_Imp);
  values[at::kYes] = Variant(QStringLiteral("S"));
  Variant answer = Variant::emptyArray(10);
  if (!outside::Cancela_Cupom_Imp(values, answer)) return false;
  *cancelledCoupon = answer.isArray() && answer.size() > 0 ? answer.at(0).toText() : QString();
  return true;
}

void TfrmVendaArquivo::afterCouponCancelled(const QString& cancelledCoupon) {
  // From the printer's confirmation on, the cancellation's file is what is owed: never the
  // sale's own files, and the cancelled rows never reach another coupon.
  if (boCupomAberto || boCupomFechado) {
    // The sale on screen: open, or closed with its files still owed.
    markCancelled(cdsAddProduto);
    boCupomAberto = false;
    boCupomFechado = false;
    cancelamentoDevido = QStringLiteral("C");
    keepSale();
    if (GeraArquivo(QStringLiteral("C"))) LimpaRegistro();
  } else {
    cancelamentoDevido = QStringLiteral("P");
    // The printer names the coupon it cancelled: that coupon's file is the one marked.
    if (!cancelledCoupon.isEmpty() && cancelledCoupon != ultimoCupomFechado) {
      ultimoCupomFechado = cancelledCoupon;
      ultimoArquivoVenda = saleFileName(cancelledCoupon);
    }
    keepSale();
    if (GeraArquivo(QStringLiteral("P"))) LimpaRegistro();
  }
}
