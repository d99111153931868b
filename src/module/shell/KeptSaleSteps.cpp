// The screen's side of the kept sale: what it keeps after each touch that changed the
// sale, how it brings the sale back at start-up, and the files a sale still owes.
#include <QDateTime>
#include <QFile>
#include <exception>

#include "framework/core/Error.h"
#include "framework/packet/FileIo.h"
#include "framework/text/NumberText.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

shell::KeptSaleState TfrmVendaArquivo::keptState() const {
  shell::KeptSaleState state;
  state.couponOpen = boCupomAberto;
  state.owed = boCupomFechado ? QStringLiteral("O") : cancelamentoDevido;
  state.filesTried = arquivosTentados;
  state.coupon = stCupomVen;
  state.lastClosedCoupon = ultimoCupomFechado;
  state.lastClosedFile = ultimoArquivoVenda;
  state.saleTotal = cdsAddProduto.isEmpty() ? 0.0 : fw::roundAmount(saleTotal());
  state.received = fw::roundAmount(doTotal);
  return state;
}

void TfrmVendaArquivo::keepSale() {
  QString failure;
  try {
    keptSale.save(keptState(), cdsAddProduto, cdsReceb);
    return;
  } catch (const std::exception& e) {
    failure = fw::messageOf(e);
  }
  try {
    showMessage(
        QStringLiteral("A venda em andamento não pôde ser guardada no disco: %1").arg(failure));
  } catch (...) {
    // Called while a handler unwinds: nothing may escape.
  }
}

void TfrmVendaArquivo::recoverKeptSale() {
  shell::KeptSaleState state;
  try {
    if (!keptSale.load(state, cdsAddProduto, cdsReceb)) return;
  } catch (const fw::Error& e) {
    // Never lost: the unreadable file is put aside under a dated name and the screen starts
    // with no sale.
    const QString path = shell::KeptSale::path();
    const QString aside = path.chopped(4) + QStringLiteral("-ilegivel-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                          QStringLiteral(".cds");
    QString where = aside;
    try {
      fw::moveFileAside(path, aside);
    } catch (const fw::Error&) {
      where = path;
    }
    for (fw::LocalTable* table : {&cdsAddProduto, &cdsReceb}) table->close();
    showMessage(
        QStringLiteral(
            "A venda em andamento guardada não pôde ser lida (%1). O arquivo foi mantido em %2.")
            .arg(e.message(), where));
    return;
  }
  ultimoCupomFechado = state.lastClosedCoupon;
  ultimoArquivoVenda = state.lastClosedFile;
  if (!shell::KeptSale::inProgress(state, cdsAddProduto, cdsReceb)) return;

  boCupomAberto = state.couponOpen;
  boCupomFechado = state.owed == QLatin1String("O");
  cancelamentoDevido = boCupomFechado ? QString() : state.owed;
  arquivosTentados = state.filesTried;
  stCupomVen = state.coupon;
  doTotal = state.received;

  int printed = 0;
  if (!cdsAddProduto.isEmpty()) {
    const int column = cdsAddProduto.fieldIndex(QStringLiteral("IDPRODIMPFIS"));
    for (int row = 0; row < cdsAddProduto.recordCount(); ++row) {
      if (cdsAddProduto.textAt(row, column) == QLatin1String("S")) ++printed;
    }
    lblTot->setVisible(true);
    lblTotal->setVisible(true);
    showSaleTotal(state.saleTotal);
  }
  if (!cdsReceb.isEmpty()) {
    lblTotRecebido->setText(fw::formatAmount(doTotal));
  }
  if (!cdsAddProduto.isEmpty()) applyFinishRule();

  showMessage(QStringLiteral("Venda em andamento recuperada: cupom %1, %2.")
                  .arg(stCupomVen, printed == 1 ? QStringLiteral("1 item")
                                                : QStringLiteral("%1 itens").arg(printed)));

  // A cancellation the printer already made is written now; the sale's own files wait for
  // "Gerar Cupom".
  if (!cancelamentoDevido.isEmpty()) {
    settleOwedFiles();
    keepSale();
  }
}

bool TfrmVendaArquivo::settleOwedFiles() {
  if (boCupomFechado) {
    if (!GeraArquivo(QStringLiteral("O"))) return false;
    LimpaRegistro();
    return true;
  }
  if (!cancelamentoDevido.isEmpty()) {
    // A last coupon whose file is missing owes nothing more (the cashier was told).
    if (!GeraArquivo(cancelamentoDevido) && !cancelamentoDevido.isEmpty()) return false;
    LimpaRegistro();
  }
  return true;
}
