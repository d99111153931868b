// "Gerar Cupom": closes the fiscal coupon with the sale's closing values, writes the sale
// and cash-movement files, resets the screen for the next sale and probes the central
// database. Also the reset itself (LimpaRegistro), which the coupon cancellation uses too.
#include <QColor>
#include <QPalette>

#include "framework/text/NumberText.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

using fw::Variant;
using fw::VariantList;

namespace {

void showConnectionState(QLabel* indicator, QLabel* advice, bool online) {
  QPalette palette = indicator->palette();
  palette.setColor(QPalette::WindowText,
                   online ? QColor(0x00, 0x80, 0x00) : QColor(0xFF, 0x00, 0x00));
  indicator->setPalette(palette);
  indicator->setText(online ? QStringLiteral("Banco de dados online")
                            : QStringLiteral("Banco de dados offline"));
  advice->setVisible(online);
}

}  // namespace

// The closing values of FechaCupom, with the tax approximation of the item list.
VariantList TfrmVendaArquivo::closingValues() {
  Variant taxes = Variant::emptyArray(3);
  outside::CalculoIcmsDFederal(cdsAddProduto, taxes, 0);
  const QString tax0 = taxes.at(0).toText();
  const QString tax1 = taxes.at(1).toText();
  const QString tax2 = taxes.at(2).toText();

  namespace at = outside::closing;
  VariantList values(at::kCount, Variant(QString()));
  values[at::kMd5] = Variant(stMd5ArquivoTxt);
  values[at::kIdEsquema] = Variant(stIdEsquema);
  values[at::kPrinterType] = Variant(int(Rev_IdTipoImpFis));
  for (int i : at::kFalse) values[i] = Variant(false);
  for (int i : at::kZero) values[i] = Variant(0);
  values[at::kNo] = Variant(QStringLiteral("N"));
  values[at::kObservation] = Variant(stDsObsCupFis);
  values[at::kPayments] = cdsReceb.data();
  values[at::kPaymentTypes] = cdsRecebAux.data();  // every row, whatever the payment entry filtered
  values[at::kCustomer] = Variant(stCdCliente);
  values[at::kOperatorCode] = Variant(stOperadorLogin);
  values[at::kOperatorName] = Variant(stNmOperador);
  for (int i : at::kNoPacket) values[i] = cdsVazio.data();
  values[at::kRegisterKind] = Variant(QStringLiteral("3"));
  values[at::kEcf] = Variant(stEcfImpressora);
  values[at::kCoupon] = Variant(stCupomVen);
  values[at::kState] = Variant(Rev_SgEstadoFili);
  values[at::kStateRegistration] = Variant(stInscEstaFili);
  values[at::kStateTax] = Variant(fw::parseNumber(tax1));
  values[at::kFederalTax] = Variant(fw::parseNumber(tax0));
  values[at::kMunicipalTax] = Variant(fw::parseNumber(tax2));
  return values;
}

void TfrmVendaArquivo::bldGravarClick(QObject* /*sender*/) {
  const KeepOnReturn keep(*this);
  // A cancellation the printer made is written, never a completed sale for it.
  if (!cancelamentoDevido.isEmpty()) {
    settleOwedFiles();
    return;
  }
  const bool noItems = cdsAddProduto.isEmpty();
  const bool noPayments = cdsReceb.isEmpty();
  if (noItems || noPayments) {
    if (noItems) showMessage(msgPadrao.Msg(QStringLiteral("Falta_Prod")));
    if (noPayments) showMessage(msgPadrao.Msg(QStringLiteral("Falta_Receb")));
    return;
  }

  // A coupon the printer already closed for this sale is not closed again: only its files
  // are still owed.
  if (!boCupomFechado) {
    // Everything the close needs is built before it is asked: a step that fails here (an
    // unreadable tax table) leaves nothing pending and the sale as it was.
    const VariantList values = closingValues();
    Variant answer = Variant::emptyArray(10);
    askingPrinter(QStringLiteral("F"));
    const bool closed = outside::FechaCupom(values, 0, answer);
    comandoPendente.clear();
    if (!closed) return;
    // Closed on the printer: from here the sale owes its files, also after a crash.
    boCupomAberto = false;
    boCupomFechado = true;
    keepSale();
  }

  if (GeraArquivo(QStringLiteral("O"))) {
    LimpaRegistro();
  } else {
    boCupomFechado = true;
  }
  TestaConexao();
}

void TfrmVendaArquivo::LimpaRegistro() {
  clearProductEntry();
  bldCodRece->setText(QString());
  bldValorRece->setText(QString());
  lblTotal->setText(QString());
  lblValTroco->setText(QString());
  lblTotRecebido->setText(QString());
  bldGravar->setEnabled(false);

  for (fw::LocalTable* table : {&cdsAddProduto, &cdsReceb, &cdsVendaArq, &cdsMovCaixaArq}) {
    if (table->active()) table->emptyDataSet();
  }
  doTotal = 0;
  doValorRece = 0;
  boCupomFechado = false;
  cancelamentoDevido.clear();
  arquivosTentados = false;
  // The sale has ended: the kept file keeps only the last closed coupon.
  keepSale();
}

void TfrmVendaArquivo::TestaConexao() {
  if (!adcTesteConexao.beforeConnect) {
    adcTesteConexao.beforeConnect = [this](runtime::TADOConnection& c) {
      adcTesteConexaoBeforeConnect(c);
    };
    adcTesteConexao.afterConnect = [this](runtime::TADOConnection& c) {
      adcTesteConexaoAfterConnect(c);
    };
    // The runtime library must not keep a connection the form is about to release.
    adcTesteConexao.beforeDisconnect = [](runtime::TADOConnection&) {
      if (outside::SetADODBSession) outside::SetADODBSession(nullptr);
    };
  }

  bool online = false;
  try {
    if (adcTesteConexao.connected()) {
      // An open connection says nothing about now: the central database may have gone
      // away since. A failed test releases it (the runtime library lets go of it too), so
      // the next probe connects anew and hands the new connection over.
      try {
        adcTesteConexao.test();
      } catch (...) {
        adcTesteConexao.close();
        throw;
      }
    } else {
      adcTesteConexao.open();
    }
    online = true;
  } catch (...) {
    // Any failure simply means the central database is out of reach.
  }
  showConnectionState(lblConexao, lblInfo, online);
}
