// The screen's side of the kept sale: what it keeps after each touch that changed the
// sale, how it brings the sale back at start-up, and the files a sale still owes.
#include <QDateTime>
#include <QFile>
#include <exception>
#include <functional>

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
  state.pendingCommand = comandoPendente;
  state.pendingItem = itemPendente;
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
  comandoPendente = state.pendingCommand;
  itemPendente = state.pendingItem;

  if (!cdsAddProduto.isEmpty()) {
    lblTot->setVisible(true);
    lblTotal->setVisible(true);
    showSaleTotal(state.saleTotal);
  }
  if (!cdsReceb.isEmpty()) {
    lblTotRecebido->setText(fw::formatAmount(doTotal));
  }
  // The printer was asked something whose answer was never kept: what it did comes first.
  if (!comandoPendente.isEmpty() && resolvePendingCommand()) return;
  if (!cdsAddProduto.isEmpty()) applyFinishRule();

  int printed = 0;
  if (!cdsAddProduto.isEmpty()) {
    const int column = cdsAddProduto.fieldIndex(QStringLiteral("IDPRODIMPFIS"));
    for (int row = 0; row < cdsAddProduto.recordCount(); ++row) {
      if (cdsAddProduto.textAt(row, column) == QLatin1String("S")) ++printed;
    }
  }
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

void TfrmVendaArquivo::askingPrinter(const QString& command, const QString& item) {
  comandoPendente = command;
  itemPendente = item;
  if (!command.isEmpty()) keepSale();
}

namespace {

// The bridge answers the module only yes or no; what a refusal says about the printer's
// state is read from the reason it shows, in the virtual printer's words.
bool saysNoOpenCoupon(const QString& refusal) {
  return refusal.contains(QStringLiteral("não há cupom fiscal aberto"), Qt::CaseInsensitive);
}
bool saysNoSuchItem(const QString& refusal) {
  return refusal.contains(QStringLiteral("não existe no cupom"), Qt::CaseInsensitive);
}
bool saysAlreadyCancelled(const QString& refusal) {
  return refusal.contains(QStringLiteral("já foi cancelado"), Qt::CaseInsensitive);
}

// Runs a printer command with the message dialog held back; the printer's refusal, if
// any, in *refusal.
bool askQuietly(const std::function<bool()>& command, QString* refusal) {
  const auto shown = outside::Mensagem;
  outside::Mensagem = [refusal](const QString& text, const QString&, const QString&, const QString&,
                                int, const QString&, const QString&, int, fw::LocalTable*) {
    *refusal = text;
    return false;
  };
  bool done = false;
  try {
    done = command();
  } catch (...) {
    outside::Mensagem = shown;
    throw;
  }
  outside::Mensagem = shown;
  return done;
}

int rowOfItem(const fw::LocalTable& items, const QString& itemNumber) {
  if (!items.active()) return -1;
  const int column = items.fieldIndex(QStringLiteral("NRSEQ"));
  for (int row = 0; row < items.recordCount(); ++row) {
    if (items.textAt(row, column) == itemNumber) return row;
  }
  return -1;
}

}  // namespace

// Each command is asked again, or undone, in a way the printer refuses when it had already
// done it (or never did it): what it answers settles the sale on screen. True when that
// ended the sale (a coupon nobody had known was open, cancelled with its file).
bool TfrmVendaArquivo::resolvePendingCommand() {
  const QString command = comandoPendente;
  const QString item = itemPendente;
  QString refusal;
  bool settled = false;
  if (command == QLatin1String("A")) {
    // A coupon the screen never knew to be open is not left open: it is cancelled.
    QString coupon;
    if (askQuietly([&] { return askCouponCancellation(true, &coupon); }, &refusal)) {
      comandoPendente.clear();
      stCupomVen = coupon;
      boCupomAberto = true;
      arquivosTentados = false;
      afterCouponCancelled(coupon);
      showMessage(QStringLiteral("O cupom %1, aberto na impressora fiscal quando o programa foi "
                                 "interrompido, foi cancelado.")
                      .arg(coupon));
      return true;
    }
    settled = saysNoOpenCoupon(refusal);
  } else if (command == QLatin1String("I") || command == QLatin1String("K")) {
    // Cancelling the item tells whether the printer has it.
    const bool done = askQuietly([&] { return askItemCancellation(item); }, &refusal);
    const int row = rowOfItem(cdsAddProduto, item);
    if (row >= 0) cdsAddProduto.setRecNo(row + 1);
    const bool live =
        row >= 0 && cdsAddProduto.asText(QStringLiteral("IDPRODIMPFIS")) == QLatin1String("S");
    if (command == QLatin1String("I") && done) {
      // The printer had it, and has it cancelled now: so has the sale (its total never
      // counted it).
      if (live) {
        cdsAddProduto.edit();
        cdsAddProduto.setText(QStringLiteral("IDPRODIMPFIS"), QStringLiteral("C"));
        cdsAddProduto.post();
      }
      settled = true;
    } else if (command == QLatin1String("I") && saysNoSuchItem(refusal)) {
      if (row >= 0) cdsAddProduto.remove();
      if (cdsAddProduto.active() && cdsAddProduto.isEmpty()) cdsAddProduto.close();
      settled = true;
    } else if (command == QLatin1String("K") && (done || saysAlreadyCancelled(refusal))) {
      if (live) {
        showSaleTotal(saleTotal() -
                      fw::roundAmount(cdsAddProduto.asNumber(QStringLiteral("VRTOTVEND"))));
        cdsAddProduto.edit();
        cdsAddProduto.setText(QStringLiteral("IDPRODIMPFIS"), QStringLiteral("C"));
        cdsAddProduto.post();
      }
      settled = true;
    }
  } else if (command == QLatin1String("F")) {
    // Closing again: the printer closes it now, or says it has no coupon open.
    fw::Variant answer = fw::Variant::emptyArray(10);
    const bool done =
        askQuietly([&] { return outside::FechaCupom(closingValues(), 0, answer); }, &refusal);
    if (done || saysNoOpenCoupon(refusal)) {
      boCupomAberto = false;
      boCupomFechado = true;
      settled = true;
    }
  } else if (command == QLatin1String("X")) {
    QString coupon;
    const bool done =
        askQuietly([&] { return askCouponCancellation(boCupomAberto, &coupon); }, &refusal);
    if (done || (boCupomAberto ? saysNoOpenCoupon(refusal) : saysAlreadyCancelled(refusal))) {
      comandoPendente.clear();
      afterCouponCancelled(done ? coupon : QString());
      return false;
    }
  } else {
    settled = true;  // nothing this screen asks
  }
  if (!settled) {
    // Asked again at the next start; nothing is guessed.
    showMessage(QStringLiteral("A impressora fiscal não confirmou o que lhe foi pedido antes de o "
                               "programa ser interrompido: %1")
                    .arg(refusal));
    return false;
  }
  comandoPendente.clear();
  itemPendente.clear();
  keepSale();
  return false;
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
