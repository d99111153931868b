// "Gerar Cupom": closes the fiscal coupon with the sale's closing values, writes the sale
// and cash-movement files, resets the screen for the next sale and probes the central
// database. Also the reset itself (LimpaRegistro), which the coupon cancellation uses too.
#include "module/outside/Outside.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"

#include "framework/text/NumberText.h"

#include <QColor>
#include <QPalette>

using fw::Variant;
using fw::VariantList;

namespace {

void showConnectionState(QLabel* indicator, QLabel* advice, bool online) {
  QPalette palette = indicator->palette();
  palette.setColor(QPalette::WindowText, online ? QColor(0x00, 0x80, 0x00) : QColor(0xFF, 0x00, 0x00));
  indicator->setPalette(palette);
  indicator->setText(online ? QStringLiteral("Banco de dados online")
                            : QStringLiteral("Banco de dados offline"));
  advice->setVisible(online);
}

}  // namespace

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
    Variant taxes = Variant::emptyArray(3);
    outside::CalculoIcmsDFederal(cdsAddProduto, taxes, 0);
    const QString tax0 = taxes.at(0).toText();
    const QString tax1 = taxes.at(1).toText();
    const QString tax2 = taxes.at(2).toText();

    Variant answer = Variant::emptyArray(10);
    const Variant empty{QString()};
    VariantList values;
    values.reserve(59);
    values.push_back(empty);                                // 0
    values.push_back(Variant(stMd5ArquivoTxt));             // 1
    values.push_back(Variant(stIdEsquema));                 // 2
    values.push_back(Variant(int(Rev_IdTipoImpFis)));       // 3
    values.push_back(Variant(false));                       // 4
    values.push_back(Variant(false));                       // 5
    values.push_back(Variant(0));                           // 6
    values.push_back(Variant(0));                           // 7
    values.push_back(Variant(0));                           // 8
    values.push_back(Variant(QStringLiteral("N")));         // 9
    values.push_back(Variant(stDsObsCupFis));               // 10
    values.push_back(Variant(false));                       // 11
    values.push_back(empty);                                // 12
    values.push_back(cdsReceb.data());                      // 13
    values.push_back(cdsRecebAux.data());  // 14: every row, whatever the payment entry filtered
    values.push_back(Variant(stCdCliente));                 // 15
    for (int i = 16; i <= 21; ++i) values.push_back(empty);
    values.push_back(Variant(stOperadorLogin));             // 22
    values.push_back(Variant(stNmOperador));                // 23
    for (int i = 24; i <= 31; ++i) values.push_back(empty);
    for (int i = 32; i <= 34; ++i) values.push_back(cdsVazio.data());
    values.push_back(Variant(QStringLiteral("3")));         // 35
    values.push_back(empty);                                // 36
    values.push_back(Variant(0));                           // 37
    values.push_back(Variant(0));                           // 38
    values.push_back(empty);                                // 39
    values.push_back(empty);                                // 40
    values.push_back(Variant(stEcfImpressora));             // 41
    values.push_back(Variant(stCupomVen));                  // 42
    values.push_back(Variant(Rev_SgEstadoFili));            // 43
    values.push_back(empty);                                // 44
    values.push_back(Variant(stInscEstaFili));              // 45
    for (int i = 46; i <= 48; ++i) values.push_back(empty);
    values.push_back(cdsVazio.data());                      // 49
    values.push_back(Variant(fw::parseNumber(tax1)));       // 50
    values.push_back(Variant(fw::parseNumber(tax0)));       // 51
    for (int i = 52; i <= 54; ++i) values.push_back(Variant(0));
    for (int i = 55; i <= 57; ++i) values.push_back(empty);
    values.push_back(Variant(fw::parseNumber(tax2)));       // 58

    if (!outside::FechaCupom(values, 0, answer)) return;
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
