// "Cancela Cupom": cancels the coupon open on the fiscal printer, or the last one closed,
// and records the cancellation in the coupon's sale file.
#include "outside/Outside.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"

using fw::Variant;

void TfrmVendaArquivo::bldCancelaClick(QObject* /*sender*/) {
  const fw::VariantList values{
      Variant(stIdEsquema),   Variant(false),         Variant(false),
      Variant(boCupomAberto), Variant(stFilialLogin), Variant(stCaixaAber),
      Variant(Rev_NrSerie_Imp), Variant(QStringLiteral("S")),
  };
  Variant answer = Variant::emptyArray(10);

  if (!outside::Cancela_Cupom_Imp(values, answer)) {
    showMessage(msgPadrao.Msg(QStringLiteral("Nao_Canc_Per")));
    return;
  }

  if (boCupomAberto) {
    // When the printer refused the coupon's first item the item list was never created:
    // the coupon then has an empty sale file.
    if (cdsAddProduto.active()) {
      cdsAddProduto.first();
      while (!cdsAddProduto.eof()) {
        cdsAddProduto.edit();
        cdsAddProduto.setText(QStringLiteral("IDSITUVENDA"), QStringLiteral("C"));
        cdsAddProduto.post();
        cdsAddProduto.next();
      }
    }
    if (GeraArquivo(QStringLiteral("C"))) LimpaRegistro();
    boCupomAberto = false;
  } else {
    if (GeraArquivo(QStringLiteral("P"))) LimpaRegistro();
  }
}
