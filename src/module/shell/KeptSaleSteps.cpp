// The screen's side of the kept sale: what it keeps after each touch that changed the
// sale, how it brings the sale back at start-up, and the files a sale still owes.
#include <QDateTime>
#include <QFile>
#include <exception>
#include <functional>
#include <utility>
#include <vector>

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
    // A full disk's failure starts with what the cashier can do: that stays in front.
    const QString notKept = QStringLiteral("A venda em andamento não pôde ser guardada no disco");
    showMessage(failure.startsWith(QStringLiteral("Disco cheio"))
                    ? QStringLiteral("%1 %2.").arg(failure, notKept)
                    : QStringLiteral("%1: %2").arg(notKept, failure));
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
  // A command left unconfirmed by a crash is never overwritten by a new one, or what the
  // printer did with it would be lost.
  if (!command.isEmpty()) settlePendingFirst();
  comandoPendente = command;
  itemPendente = item;
  if (!command.isEmpty()) keepSale();
}

void TfrmVendaArquivo::settlePendingFirst() {
  if (comandoPendente.isEmpty()) return;
  QString problem;
  bool settled = false;
  try {
    settlePendingCommand(&problem);
    settled = true;
  } catch (const std::exception& e) {
    problem = fw::messageOf(e);
  }
  // A printer that cannot say what it did (a blocked memory, a bridge without the status
  // question) must not refuse every sale from now on: the paper tape says it too, and the
  // cashier reads it.
  if (!settled) settled = settlePendingWithCashier(problem);
  if (!settled) {
    throw fw::Error(QStringLiteral("A impressora fiscal ainda não confirmou o pedido feito antes "
                                   "de o programa ser interrompido; nada foi pedido agora. "
                                   "Verifique a impressora e toque de novo: %1")
                        .arg(problem));
  }
  if (cdsAddProduto.active() && !cdsAddProduto.isEmpty()) applyFinishRule();
  throw fw::Error(QStringLiteral("O pedido feito à impressora fiscal antes de o programa ser "
                                 "interrompido foi verificado e a venda na tela acertada. "
                                 "Confira e toque de novo."));
}

namespace {

// Runs a printer command with the message dialog held back; what it would have shown, if
// anything, in *refusal.
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

// The printer's answer to the status question, read.
struct PrinterState {
  QString openCoupon;
  std::vector<std::pair<QString, bool>> items;  // number, cancelled
  QString lastClosed;
  QString lastCancelled;

  // Null when the open coupon has no such item.
  const bool* itemCancelled(const QString& number) const {
    for (const auto& [n, cancelled] : items) {
      if (n == number) return &cancelled;
    }
    return nullptr;
  }
};

PrinterState readState(const fw::Variant& answer) {
  namespace at = outside::status;
  const auto element = [&answer](int i) {
    return answer.isArray() && i < answer.size() ? answer.at(i) : fw::Variant();
  };
  PrinterState s;
  s.openCoupon = element(at::kOpenCoupon).toText();
  const fw::Variant items = element(at::kItems);
  if (items.isArray()) {
    for (const fw::Variant& item : items.items()) {
      if (item.isArray() && item.size() >= 2)
        s.items.emplace_back(item.at(0).toText(), item.at(1).toFlag());
    }
  }
  s.lastClosed = element(at::kLastClosed).toText();
  s.lastCancelled = element(at::kLastCancelled).toText();
  return s;
}

}  // namespace

// What the printer did with the command is asked (the status question) and the sale on
// screen follows its answer. True when that ended the sale (a coupon nobody had known was
// open, cancelled with its file). A printer that cannot answer, or a step that fails, leaves
// the command pending for the next start, and the cashier is told.
bool TfrmVendaArquivo::resolvePendingCommand() {
  QString problem;
  try {
    return settlePendingCommand(&problem);
  } catch (const std::exception& e) {
    problem = fw::messageOf(e);
  }
  showMessage(QStringLiteral("A impressora fiscal não confirmou o que lhe foi pedido antes de o "
                             "programa ser interrompido: %1. O pedido será verificado no próximo "
                             "toque que use a impressora; se ela ainda não puder responder, a "
                             "tela perguntará o que a bobina mostra.")
                  .arg(problem));
  return false;
}

bool TfrmVendaArquivo::settlePendingCommand(QString* problem) {
  if (!outside::Estado_Impressora) {
    throw fw::Error(QStringLiteral("a ponte da impressora não responde à pergunta de estado"));
  }
  fw::Variant answer = fw::Variant::emptyArray(outside::status::kCount);
  if (!askQuietly([&] { return outside::Estado_Impressora(stIdEsquema, answer); }, problem)) {
    if (problem->isEmpty()) *problem = QStringLiteral("a impressora não informou o seu estado");
    throw fw::Error(*problem);
  }
  return settleFromStatus(answer, problem);
}

bool TfrmVendaArquivo::settlePendingWithCashier(const QString& problem) {
  const QString command = comandoPendente;
  const QString item = itemPendente;
  const bool open = boCupomAberto || boCupomFechado;
  const QString coupon =
      command == QLatin1String("X") && !open ? ultimoCupomFechado : stCupomVen;
  const int row = rowOfItem(cdsAddProduto, item);
  const QString product =
      row >= 0 ? cdsAddProduto.textAt(row, cdsAddProduto.fieldIndex(QStringLiteral("NMPRODUTO")))
               : QString();
  QString question;
  if (command == QLatin1String("A")) {
    question = QStringLiteral(
        "A bobina mostra um cupom aberto, sem total? Sim: esse cupom será cancelado na "
        "impressora. Não: nenhum cupom foi aberto.");
  } else if (command == QLatin1String("I")) {
    question = QStringLiteral("O item %1 (%2) saiu impresso na bobina, no cupom %3? Sim: o item "
                              "fica na venda. Não: o item sai da venda.")
                   .arg(item, product, coupon);
  } else if (command == QLatin1String("K")) {
    question = QStringLiteral("O cancelamento do item %1 (%2) saiu impresso na bobina, no cupom "
                              "%3? Sim: o item fica cancelado. Não: o item fica na venda.")
                   .arg(item, product, coupon);
  } else if (command == QLatin1String("F")) {
    question = QStringLiteral("O cupom %1 saiu fechado na bobina, com o total e os pagamentos? "
                              "Sim: a venda será gravada. Não: o cupom continua aberto.")
                   .arg(coupon);
  } else if (command == QLatin1String("X")) {
    question = QStringLiteral("O cancelamento do cupom %1 saiu impresso na bobina? Sim: o "
                              "cancelamento será gravado. Não: o cupom continua como estava.")
                   .arg(coupon);
  } else {
    return false;
  }
  if (!confirm(QStringLiteral("A impressora fiscal não informa o que fez com o pedido feito antes "
                              "de o programa ser interrompido (%1). Conferir na bobina da "
                              "impressora e responder agora? Não: a impressora será consultada "
                              "de novo no próximo toque.")
                   .arg(problem)))
    return false;
  const bool yes = confirm(question);

  // The cashier's reading, in the shape of the printer's own answer: the same settlement
  // follows.
  using fw::Variant;
  namespace at = outside::status;
  fw::VariantList answer(at::kCount, Variant(QString()));
  answer[at::kItems] = Variant::array({});
  if (command == QLatin1String("A")) {
    if (yes) answer[at::kOpenCoupon] = Variant(QStringLiteral("?"));
  } else if (command == QLatin1String("I") || command == QLatin1String("K")) {
    answer[at::kOpenCoupon] = Variant(coupon);
    if (yes || command == QLatin1String("K")) {
      const bool cancelled = command == QLatin1String("K") && yes;
      answer[at::kItems] = Variant::array({Variant::array({Variant(item), Variant(cancelled)})});
    }
  } else if (command == QLatin1String("F")) {
    answer[yes ? at::kLastClosed : at::kOpenCoupon] = Variant(coupon);
  } else {
    answer[yes ? at::kLastCancelled : open ? at::kOpenCoupon : at::kLastClosed] = Variant(coupon);
  }
  QString refusal;
  try {
    settleFromStatus(Variant::array(answer), &refusal);
  } catch (const std::exception& e) {
    throw fw::Error(QStringLiteral("A venda na tela não pôde ser acertada com a bobina: %1")
                        .arg(refusal.isEmpty() ? fw::messageOf(e) : refusal));
  }
  return true;
}

bool TfrmVendaArquivo::settleFromStatus(const fw::Variant& answer, QString* problem) {
  const QString command = comandoPendente;
  const QString item = itemPendente;
  const PrinterState printer = readState(answer);
  const auto settled = [this] {
    comandoPendente.clear();
    itemPendente.clear();
    keepSale();
    return false;
  };

  if (command == QLatin1String("A")) {
    if (printer.openCoupon.isEmpty()) return settled();  // it never opened
    // A coupon the screen never knew to be open is not left open: it is cancelled.
    QString coupon;
    if (!askQuietly([&] { return askCouponCancellation(true, &coupon); }, problem))
      throw fw::Error(*problem);
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

  if (command == QLatin1String("I") || command == QLatin1String("K")) {
    const int row = rowOfItem(cdsAddProduto, item);
    if (row >= 0) cdsAddProduto.setRecNo(row + 1);
    const bool live =
        row >= 0 && cdsAddProduto.asText(QStringLiteral("IDPRODIMPFIS")) == QLatin1String("S");
    const bool* cancelled =
        printer.openCoupon == stCupomVen ? printer.itemCancelled(item) : nullptr;
    if (command == QLatin1String("I")) {
      if (!cancelled) {
        // The printer never took it: the row goes.
        if (row >= 0) cdsAddProduto.remove();
        if (cdsAddProduto.active() && cdsAddProduto.isEmpty()) cdsAddProduto.close();
      } else if (live && !*cancelled) {
        // The printer took it: the sale counts it as the answer would have.
        const double itemTotal =
            fw::roundAmount(cdsAddProduto.asNumber(QStringLiteral("VRTOTVEND")));
        showSaleTotal(cdsAddProduto.recordCount() == 1 ? itemTotal : saleTotal() + itemTotal);
      } else if (live) {
        cdsAddProduto.edit();
        cdsAddProduto.setText(QStringLiteral("IDPRODIMPFIS"), QStringLiteral("C"));
        cdsAddProduto.post();
      }
      return settled();
    }
    // "K": the item is cancelled on the printer, or it is not and the screen keeps it.
    if (cancelled && *cancelled && live) {
      showSaleTotal(saleTotal() -
                    fw::roundAmount(cdsAddProduto.asNumber(QStringLiteral("VRTOTVEND"))));
      cdsAddProduto.edit();
      cdsAddProduto.setText(QStringLiteral("IDPRODIMPFIS"), QStringLiteral("C"));
      cdsAddProduto.post();
    }
    return settled();
  }

  if (command == QLatin1String("F")) {
    if (!stCupomVen.isEmpty() && printer.lastClosed == stCupomVen) {
      // Closed: the files are owed, written at the next "Gerar Cupom".
      boCupomAberto = false;
      boCupomFechado = true;
      return settled();
    }
    if (!stCupomVen.isEmpty() && printer.openCoupon == stCupomVen) return settled();  // still open
    throw fw::Error(
        QStringLiteral("o cupom %1 não está aberto nem fechado na impressora.").arg(stCupomVen));
  }

  if (command == QLatin1String("X")) {
    const bool open = boCupomAberto || boCupomFechado;
    const QString coupon = open ? stCupomVen : ultimoCupomFechado;
    if (!coupon.isEmpty() && printer.lastCancelled == coupon) {
      comandoPendente.clear();
      afterCouponCancelled(coupon);
      return false;
    }
    if (!coupon.isEmpty() && (printer.openCoupon == coupon || printer.lastClosed == coupon))
      return settled();  // not cancelled: the cashier may ask again
    // A last coupon the screen does not know: the printer's own is the one it would cancel.
    if (!open && coupon.isEmpty()) return settled();
    throw fw::Error(
        QStringLiteral("o cupom %1 não está aberto, fechado nem cancelado na impressora.")
            .arg(coupon));
  }
  return settled();  // nothing this screen asks
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
