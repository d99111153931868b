#include "fiscal/VirtualPrinter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "fiscal/CouponLayout.h"
#include "framework/core/Error.h"
#include "framework/packet/FileIo.h"
#include "framework/text/NumberText.h"

namespace fiscal {

using layout::hasAtMostDecimals;
using layout::numberText;
using layout::tapeFormat;

namespace {

const QString kSaleFolder = QStringLiteral("Dados/Venda_Arquivo");
const QString kStampFormat = QStringLiteral("dd/MM/yyyy hh:mm:ss");

QString itemNumberText(int number) {
  return QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0'));
}

// "002" and "2" name the same item.
bool sameItemNumber(const QString& stored, const QString& given) {
  const QString a = stored.trimmed();
  const QString b = given.trimmed();
  if (a == b) return true;
  bool okA = false;
  bool okB = false;
  const int na = a.toInt(&okA);
  const int nb = b.toInt(&okB);
  return okA && okB && na == nb;
}

PrinterAnswer refused(const QString& reason) {
  PrinterAnswer a;
  a.reason = reason;
  return a;
}

}  // namespace

VirtualPrinter::VirtualPrinter(const QString& dataDirectory, Clock clock)
    : dataDirectory_(dataDirectory),
      clock_(std::move(clock)),
      programming_(PrinterProgramming::load(dataDirectory)),
      store_(dataDirectory) {
  fw::removeLeftoverTemporaries(dataDirectory_);
  fw::removeLeftoverTemporaries(PrinterProgramming::resolve(dataDirectory_, kSaleFolder));
}

QString VirtualPrinter::tapePath() const {
  return QDir(dataDirectory_).filePath(QStringLiteral("Bobina.txt"));
}

PrinterMemory VirtualPrinter::memory() const {
  QString blocked;
  const std::optional<PrinterMemory> memory = readMemory(&blocked);
  if (!memory) throw fw::Error(blocked);
  return *memory;
}

std::optional<PrinterMemory> VirtualPrinter::readMemory(QString* blocked, QStringList* recovered,
                                                        bool* fresh) const {
  const MemoryStore::Reading reading = store_.read();
  if (fresh) *fresh = reading.none;
  if (recovered) *recovered = reading.recovered;
  if (!reading.damage.isEmpty()) {
    *blocked = reading.damage;
    return std::nullopt;
  }
  if (reading.none) {
    const QString evidence = printedBefore();
    if (!evidence.isEmpty()) {
      *blocked =
          QStringLiteral(
              "memória fiscal não encontrada (%1), mas a impressora já emitiu documentos: %2")
              .arg(store_.path(1), evidence);
      return std::nullopt;
    }
  }
  return reading.memory;  // a new printer when there was none
}

QString VirtualPrinter::printedBefore() const {
  QFile tape(tapePath());
  static const QRegularExpression document(QStringLiteral("COO:\\d{6}"));
  if (tape.open(QIODevice::ReadOnly) &&
      document.match(QString::fromUtf8(tape.readAll())).hasMatch())
    return QStringLiteral("a bobina %1 tem documentos").arg(tapePath());
  const QString folder = PrinterProgramming::resolve(dataDirectory_, kSaleFolder);
  const QStringList sales = QDir(folder).entryList(
      {QStringLiteral("Venda*.cds"), QStringLiteral("MovCaixa*.cds")}, QDir::Files | QDir::Hidden);
  if (!sales.isEmpty()) return QStringLiteral("há arquivos de venda em %1").arg(folder);
  return {};
}

bool VirtualPrinter::toCents(double amount, qint64* cents) {
  if (!std::isfinite(amount) || std::fabs(amount) > 1e13) return false;
  // Through the printed text, so that what the printer adds up is what the tape shows.
  const double shown = fw::parseAmount(fw::formatAmount(amount, tapeFormat()), tapeFormat());
  *cents = std::llround(shown * 100.0);
  return true;
}

QString VirtualPrinter::formatCents(qint64 cents) { return layout::amountText(cents); }

QString VirtualPrinter::stamp() const { return now_.toString(kStampFormat); }

qint64 VirtualPrinter::tapeSize() const { return QFileInfo(tapePath()).size(); }

qint64 VirtualPrinter::print(const TapeText& tape, qint64* end) {
  QByteArray bytes = tape.text().toUtf8();
  // A print cut by a killed process ends the tape mid-line; the next starts on a line of its own.
  QFile file(tapePath());
  if (file.open(QIODevice::ReadOnly) && file.size() > 0 && file.seek(file.size() - 1) &&
      file.read(1) != "\n") {
    bytes.prepend('\n');
  }
  file.close();
  const qint64 earlier = fw::appendToFile(tapePath(), bytes);
  if (end) *end = earlier + bytes.size();
  return earlier;
}

QString VirtualPrinter::commit(const TapeText& tape, PrinterMemory& memory) {
  qint64 earlier = 0;
  const qint64 keptBytes = memory.tapeBytes;
  try {
    earlier = print(tape, &memory.tapeBytes);
  } catch (const fw::Error& e) {
    return QStringLiteral(
               "Sem papel: a bobina não pôde ser impressa, o comando não foi executado. %1")
        .arg(e.message());
  }
  try {
    store_.write(memory);
  } catch (const fw::Error& e) {
    memory.tapeBytes = keptBytes;
    QString reason =
        QStringLiteral("Falha na memória fiscal, o comando não foi executado. %1").arg(e.message());
    try {
      fw::truncateFile(tapePath(), earlier);
    } catch (const fw::Error& undo) {
      reason += QStringLiteral(" A bobina mostra o que não foi registrado: %1").arg(undo.message());
    }
    return reason;
  }
  return {};
}

PrinterAnswer VirtualPrinter::printRefusal(const QString& reason, PrinterMemory* memory) {
  TapeText tape;
  tape.centered(QStringLiteral("*** COMANDO RECUSADO ***"));
  tape.line(reason);
  try {
    qint64 end = 0;
    print(tape, &end);
    if (memory && memory->tapeBytes >= 0) {
      memory->tapeBytes = end;
      store_.write(*memory);
    }
  } catch (const fw::Error&) {
    // A refusal must reach the cashier even when the tape cannot be written; one the memory
    // could not keep is marked on the tape as not done at the next command, which it is.
  }
  return refused(reason);
}

PrinterAnswer VirtualPrinter::refuse(const QString& reason) {
  QString blocked;
  std::optional<PrinterMemory> memory = readMemory(&blocked);
  return printRefusal(reason, memory ? &*memory : nullptr);
}

PrinterAnswer VirtualPrinter::run(const Command& command) {
  now_ = clock_ ? clock_() : QDateTime::currentDateTime();
  QString blocked;
  QStringList recovered;
  bool fresh = false;
  std::optional<PrinterMemory> memory = readMemory(&blocked, &recovered, &fresh);
  if (!memory) {
    return printRefusal(
        QStringLiteral("Impressora fiscal bloqueada, %1. Chame o técnico.").arg(blocked));
  }
  if (fresh) {
    // A new printer keeps its memory before its first print: a tape with a document and no
    // memory is then always a memory lost, never a first command cut short.
    memory->tapeBytes = tapeSize();
    try {
      store_.write(*memory);
    } catch (const fw::Error& e) {
      return printRefusal(QStringLiteral("Falha na memória fiscal, o comando não foi executado. %1")
                              .arg(e.message()));
    }
  }
  TapeText note;
  if (memory->tapeBytes >= 0 && tapeSize() > memory->tapeBytes) {
    // Printed by a command cut short before the memory kept it: marked, never cut away.
    note.centered(QStringLiteral("*** NÃO EXECUTADO ***"));
    note.line(
        QStringLiteral("O impresso acima desde o último documento não foi registrado na "
                       "memória fiscal: não vale como documento."));
  }
  if (!recovered.isEmpty()) {
    note.centered(QStringLiteral("MEMÓRIA FISCAL RECUPERADA"));
    for (const QString& line : recovered) note.line(line);
  }
  if (!note.isEmpty()) {
    const QString problem = commit(note, *memory);
    if (!problem.isEmpty()) return printRefusal(problem);
  }
  if (memory->lastDocumentAt.isValid() && now_ < memory->lastDocumentAt) {
    return printRefusal(
        QStringLiteral(
            "Data e hora do computador (%1) anteriores às do último documento emitido (%2). "
            "Acerte o relógio: o comando não foi executado.")
            .arg(now_.toString(kStampFormat),
                 memory->lastDocumentAt.toLocalTime().toString(kStampFormat)),
        &*memory);
  }

  TapeText tape;
  PrinterMemory before = *memory;
  const PrinterAnswer answer = command(*memory, tape);
  if (!answer.accepted) return printRefusal(answer.reason, &before);
  const QString problem = commit(tape, *memory);
  if (!problem.isEmpty()) return printRefusal(problem);
  return answer;
}

PrinterAnswer VirtualPrinter::openCoupon(const CouponOpening& opening) {
  return run([&](PrinterMemory& m, TapeText& tape) {
    if (m.open) {
      return refused(QStringLiteral("Já existe um cupom fiscal aberto na impressora (COO %1). "
                                    "Cancele-o antes de abrir outro.")
                         .arg(m.open->coo));
    }
    m.coo = PrinterMemory::nextCounter(m.coo);
    m.ccf = PrinterMemory::nextCounter(m.ccf);
    OpenCoupon c;
    c.coo = PrinterMemory::counterText(m.coo);
    c.ccf = PrinterMemory::counterText(m.ccf);
    c.openedAt = now_;
    m.lastDocumentAt = now_;
    c.schema = opening.schema;
    c.customerDocument = opening.customerDocument.trimmed();
    c.customerName = opening.customerName.trimmed();
    c.customerAddress = opening.customerAddress.trimmed();

    layout::printOpening(tape, programming_.header, c, stamp());

    PrinterAnswer a;
    a.accepted = true;
    a.coo = c.coo;
    a.ccf = c.ccf;
    m.open = std::move(c);
    return a;
  });
}

PrinterAnswer VirtualPrinter::sellItem(const ItemSale& sale) {
  return run([&](PrinterMemory& m, TapeText& tape) {
    if (!m.open) {
      return refused(
          QStringLiteral("Não há cupom fiscal aberto na impressora: o item não foi registrado."));
    }
    OpenCoupon& c = *m.open;
    if (static_cast<int>(c.items.size()) >= kMaxItems) {
      return refused(
          QStringLiteral("O cupom já tem %1 itens, o limite da impressora fiscal.").arg(kMaxItems));
    }
    if (!std::isfinite(sale.quantity) || !(sale.quantity > 0)) {
      return refused(QStringLiteral("Quantidade inválida (%1): deve ser maior que zero.")
                         .arg(numberText(sale.quantity)));
    }
    if (!hasAtMostDecimals(sale.quantity, 3)) {
      return refused(QStringLiteral("Quantidade inválida (%1): no máximo três casas decimais.")
                         .arg(numberText(sale.quantity)));
    }
    if (!std::isfinite(sale.unitPrice) || sale.unitPrice < 0) {
      return refused(QStringLiteral("Preço unitário inválido (%1): não pode ser negativo.")
                         .arg(numberText(sale.unitPrice)));
    }
    const QString taxCode = sale.taxCode.trimmed();
    if (!taxCode.isEmpty() && !programming_.findRate(taxCode)) {
      QString reason =
          QStringLiteral("Alíquota \"%1\" não programada na impressora fiscal.").arg(taxCode);
      if (!programming_.ratesProblem.isEmpty())
        reason += QStringLiteral(" (%1)").arg(programming_.ratesProblem);
      return refused(reason);
    }
    qint64 cents = 0;
    if (!toCents(sale.quantity * sale.unitPrice, &cents) || cents > kMaxAmountCents) {
      return refused(QStringLiteral("Valor do item acima do limite da impressora fiscal."));
    }

    PrinterItem item;
    item.number = itemNumberText(static_cast<int>(c.items.size()) + 1);
    item.code = sale.code.trimmed();
    item.description = sale.description;
    item.quantity = sale.quantity;
    item.unitPrice = sale.unitPrice;
    item.taxCode = taxCode;
    item.taxType = sale.taxType.trimmed();
    item.unit = sale.unit.trimmed();
    item.totalCents = cents;

    layout::printItem(tape, item);

    PrinterAnswer a;
    a.accepted = true;
    a.coo = c.coo;
    a.itemNumber = item.number;
    a.totalCents = cents;
    c.items.push_back(std::move(item));
    return a;
  });
}

PrinterAnswer VirtualPrinter::cancelItem(const QString& itemNumber) {
  return run([&](PrinterMemory& m, TapeText& tape) {
    if (!m.open) {
      return refused(
          QStringLiteral("Não há cupom fiscal aberto na impressora: não há item a cancelar."));
    }
    OpenCoupon& c = *m.open;
    PrinterItem* item = nullptr;
    for (PrinterItem& candidate : c.items) {
      if (sameItemNumber(candidate.number, itemNumber)) {
        item = &candidate;
        break;
      }
    }
    if (!item) {
      return refused(QStringLiteral("Item %1 não existe no cupom aberto (COO %2).")
                         .arg(itemNumber.trimmed(), c.coo));
    }
    if (item->cancelled) {
      return refused(QStringLiteral("Item %1 já foi cancelado.").arg(item->number));
    }
    item->cancelled = true;
    layout::printItemCancellation(tape, *item);

    PrinterAnswer a;
    a.accepted = true;
    a.coo = c.coo;
    a.itemNumber = item->number;
    a.totalCents = item->totalCents;
    return a;
  });
}

PrinterAnswer VirtualPrinter::closeCoupon(const CouponClosing& closing) {
  return run([&](PrinterMemory& m, TapeText& tape) {
    if (!m.open) {
      return refused(QStringLiteral("Não há cupom fiscal aberto na impressora para fechar."));
    }
    const OpenCoupon& c = *m.open;
    if (c.liveItemCount() == 0) {
      return refused(QStringLiteral("Cupom sem itens vendidos não pode ser fechado: "
                                    "cancele o cupom (COO %1).")
                         .arg(c.coo));
    }
    const qint64 total = c.liveTotalCents();
    std::vector<qint64> amounts;
    qint64 paid = 0;
    for (const Payment& p : closing.payments) {
      qint64 cents = 0;
      if (!toCents(p.amount, &cents) || cents < 0 || cents > kMaxAmountCents) {
        return refused(QStringLiteral("Valor de recebimento inválido (%1): %2.")
                           .arg(p.name, numberText(p.amount)));
      }
      amounts.push_back(cents);
      paid += cents;
    }
    if (paid > kMaxAmountCents) {
      return refused(QStringLiteral("Total recebido acima do limite da impressora fiscal."));
    }
    if (paid < total) {
      return refused(QStringLiteral("Pagamento insuficiente: recebido R$ %1, total do cupom R$ %2.")
                         .arg(formatCents(paid), formatCents(total)));
    }
    const qint64 change = paid - total;

    layout::printClosing(tape, c, closing, amounts, total, change, stamp());

    PrinterAnswer a;
    a.accepted = true;
    a.coo = c.coo;
    a.ccf = c.ccf;
    a.totalCents = total;
    a.paidCents = paid;
    a.changeCents = change;
    m.grandTotalCents += total;
    m.lastDocumentAt = now_;
    m.last = LastCoupon{c.coo, total, false};
    m.lastClosedCoo = c.coo;
    m.open.reset();
    return a;
  });
}

PrinterAnswer VirtualPrinter::cancelCoupon(const CouponCancelling& cancelling) {
  return run([&](PrinterMemory& m, TapeText& tape) {
    PrinterAnswer a;
    if (cancelling.openCoupon == true && !m.open) {
      return refused(
          QStringLiteral("Cancelamento não permitido: não há cupom fiscal aberto na impressora."));
    }
    if (cancelling.openCoupon == false && m.open) {
      return refused(
          QStringLiteral(
              "Cancelamento não permitido: há um cupom fiscal aberto na impressora (COO %1); "
              "o último cupom fechado não foi cancelado.")
              .arg(m.open->coo));
    }
    if (m.open) {
      const OpenCoupon& c = *m.open;
      const qint64 total = c.liveTotalCents();
      layout::printOpenCouponCancellation(tape, c, total, stamp());
      a.accepted = true;
      a.coo = c.coo;
      a.ccf = c.ccf;
      a.totalCents = total;
      m.cancelledTotalCents += total;
      m.lastDocumentAt = now_;
      m.last = LastCoupon{c.coo, total, true};
      m.lastCancelledCoo = c.coo;
      m.open.reset();
      return a;
    }
    if (!m.last) {
      return refused(QStringLiteral("Não há cupom fiscal a cancelar na impressora."));
    }
    if (m.last->cancelled) {
      return refused(
          QStringLiteral("Cancelamento não permitido: o cupom fiscal %1 já foi cancelado.")
              .arg(m.last->coo));
    }
    // Cancelling a coupon already closed prints a receipt of its own, with its own COO.
    m.coo = PrinterMemory::nextCounter(m.coo);
    const QString receipt = PrinterMemory::counterText(m.coo);
    layout::printCancellationReceipt(tape, programming_.header, cancelling, receipt, *m.last,
                                     stamp());
    a.accepted = true;
    a.coo = m.last->coo;
    a.receiptCoo = receipt;
    a.totalCents = m.last->totalCents;
    m.cancelledTotalCents += m.last->totalCents;
    m.lastDocumentAt = now_;
    m.last->cancelled = true;
    m.lastCancelledCoo = m.last->coo;
    return a;
  });
}

}  // namespace fiscal
