#include "crash/SaleLedger.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"

namespace crash {

namespace {

const QString kOutput = QStringLiteral("Dados/Venda_Arquivo");

qint64 cents(double value) { return std::llround(value * 100.0); }

QString money(qint64 c) {
  return QStringLiteral("%1%2,%3")
      .arg(c < 0 ? QStringLiteral("-") : QString())
      .arg(std::llabs(c) / 100)
      .arg(std::llabs(c) % 100, 2, 10, QLatin1Char('0'));
}

std::unique_ptr<fw::LocalTable> load(const QString& path, QString* error) {
  auto table = std::make_unique<fw::LocalTable>(QFileInfo(path).completeBaseName());
  try {
    table->loadFromFile(path);
  } catch (const fw::Error& e) {
    *error = e.message();
    return nullptr;
  }
  return table;
}

// The sale and cash-movement files of the output folder, by coupon.
struct CouponFiles {
  QStringList sale;
  QStringList cash;
};

class Checker {
 public:
  Checker(const QString& dataDir, const SaleLedger& ledger)
      : dataDir_(dataDir), output_(QDir(dataDir).filePath(kOutput)), ledger_(ledger) {}

  std::vector<Finding> run() {
    wholeFiles();
    QFile tapeFile(QDir(dataDir_).filePath(QStringLiteral("Bobina.txt")));
    if (tapeFile.open(QIODevice::ReadOnly))
      closings_ = closingsOnTape(QString::fromUtf8(tapeFile.readAll()));
    const std::map<QString, CouponFiles> files = couponFiles();
    for (const auto& [coo, coupon] : ledger_.coupons()) {
      const auto found = files.find(coo);
      const CouponFiles none;
      checkCoupon(coo, coupon, found == files.end() ? none : found->second);
    }
    for (const auto& [coo, f] : files) {
      const auto known = ledger_.coupons().find(coo);
      if (known == ledger_.coupons().end()) {
        add(QStringLiteral("arquivo sem cupom"),
            QStringLiteral("%1: a impressora não emitiu o cupom %2")
                .arg((f.sale + f.cash).join(QStringLiteral(", ")), coo));
      }
    }
    return std::move(findings_);
  }

 private:
  void add(const QString& kind, const QString& detail) { findings_.push_back({kind, detail}); }

  // Every file under a table's name is a whole table; no temporary file anywhere.
  void wholeFiles() {
    QDirIterator it(dataDir_, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString path = it.next();
      const QString name = it.fileName();
      const QString relative = QDir(dataDir_).relativeFilePath(path);
      if (name.contains(QStringLiteral(".tmp-"))) {
        add(QStringLiteral("temporário"), QStringLiteral("%1 ficou para trás").arg(relative));
        continue;
      }
      const bool inOutput = relative.startsWith(kOutput + QLatin1Char('/'), Qt::CaseInsensitive);
      if (name.endsWith(QStringLiteral(".cds"), Qt::CaseInsensitive)) {
        QString error;
        if (!load(path, &error))
          add(QStringLiteral("tabela incompleta"), QStringLiteral("%1: %2").arg(relative, error));
      } else if (inOutput) {
        add(QStringLiteral("arquivo estranho"),
            QStringLiteral("%1 na pasta de saída").arg(relative));
      }
    }
  }

  std::map<QString, CouponFiles> couponFiles() const {
    static const QRegularExpression pattern(
        QStringLiteral("^(Venda|MovCaixa)\\d+_\\d+_(\\d+)\\.cds$"),
        QRegularExpression::CaseInsensitiveOption);
    std::map<QString, CouponFiles> files;
    for (const QString& name : QDir(output_).entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
      const auto m = pattern.match(name);
      if (!m.hasMatch()) continue;
      CouponFiles& f = files[m.captured(2)];
      (m.captured(1).compare(QStringLiteral("Venda"), Qt::CaseInsensitive) == 0 ? f.sale : f.cash)
          << name;
    }
    return files;
  }

  void checkCoupon(const QString& coo, const Coupon& coupon, const CouponFiles& files) {
    if (files.sale.size() > 1 || files.cash.size() > 1) {
      add(QStringLiteral("arquivo repetido"),
          QStringLiteral("cupom %1: %2").arg(coo, (files.sale + files.cash).join(", ")));
    }
    switch (coupon.state) {
      case Coupon::State::Open:
        add(QStringLiteral("cupom aberto"),
            QStringLiteral("o cupom %1 ficou aberto na impressora").arg(coo));
        return;
      case Coupon::State::Cancelled:
        checkCancelled(coo, coupon, files);
        return;
      case Coupon::State::Closed:
        checkClosed(coo, coupon, files);
        return;
    }
  }

  void checkCancelled(const QString& coo, const Coupon& coupon, const CouponFiles& files) {
    if (files.sale.isEmpty()) {
      add(QStringLiteral("cancelado sem arquivo"),
          QStringLiteral("o cupom %1 foi cancelado e não tem arquivo de venda").arg(coo));
      return;
    }
    if (!coupon.closedBefore && !files.cash.isEmpty()) {
      add(QStringLiteral("caixa de cancelado"),
          QStringLiteral("o cupom %1 foi cancelado aberto e tem movimento de caixa %2")
              .arg(coo, files.cash.first()));
    }
    QString error;
    const auto sale = load(QDir(output_).filePath(files.sale.first()), &error);
    if (!sale) return;  // told by wholeFiles
    for (sale->first(); !sale->eof(); sale->next()) {
      if (sale->asText(QStringLiteral("IDSITUVENDA")) != QStringLiteral("C")) {
        add(QStringLiteral("situação"),
            QStringLiteral("%1: o cupom %2 foi cancelado, mas o item %3 está \"%4\"")
                .arg(files.sale.first(), coo, sale->asText(QStringLiteral("NRSEQUITVENDA")),
                     sale->asText(QStringLiteral("IDSITUVENDA"))));
        return;
      }
    }
  }

  void checkClosed(const QString& coo, const Coupon& coupon, const CouponFiles& files) {
    if (files.sale.isEmpty()) {
      add(QStringLiteral("fechado sem venda"),
          QStringLiteral("o cupom %1 fechou e não tem arquivo de venda").arg(coo));
    } else {
      checkSaleFile(coo, coupon, files.sale.first());
    }
    if (files.cash.isEmpty()) {
      add(QStringLiteral("fechado sem caixa"),
          QStringLiteral("o cupom %1 fechou e não tem movimento de caixa").arg(coo));
    } else {
      checkCashFile(coo, coupon, files.cash.first());
    }
  }

  void checkSaleFile(const QString& coo, const Coupon& coupon, const QString& file) {
    QString error;
    const auto sale = load(QDir(output_).filePath(file), &error);
    if (!sale) return;
    struct Row {
      double quantity;
      qint64 total;
      bool cancelled;
    };
    std::map<QString, Row> rows;
    qint64 live = 0;
    for (sale->first(); !sale->eof(); sale->next()) {
      const QString number = sale->asText(QStringLiteral("NRSEQUITVENDA"));
      const Row row{sale->asNumber(QStringLiteral("QTPRODVEND")),
                    cents(sale->asNumber(QStringLiteral("VRTOTVEND"))),
                    sale->asText(QStringLiteral("IDPRODIMPFIS")) == QStringLiteral("C")};
      if (!row.cancelled) live += row.total;
      if (!rows.emplace(number, row).second) {
        add(QStringLiteral("itens"),
            QStringLiteral("%1: o item %2 aparece duas vezes").arg(file, number));
      }
      if (sale->asText(QStringLiteral("IDSITUVENDA")) != QStringLiteral("O")) {
        add(QStringLiteral("situação"),
            QStringLiteral("%1: o cupom %2 fechou, mas o item %3 está \"%4\"")
                .arg(file, coo, number, sale->asText(QStringLiteral("IDSITUVENDA"))));
      }
      if (sale->asText(QStringLiteral("NRCUPOMFIS")) != coo) {
        add(QStringLiteral("itens"),
            QStringLiteral("%1: item %2 do cupom \"%3\"")
                .arg(file, number, sale->asText(QStringLiteral("NRCUPOMFIS"))));
      }
    }
    if (live != coupon.totalCents) {
      add(QStringLiteral("total"),
          QStringLiteral("%1: total %2, a impressora fechou o cupom %3 com %4")
              .arg(file, money(live), coo, money(coupon.totalCents)));
    }
    QStringList differences;
    if (rows.size() != coupon.items.size()) {
      differences << QStringLiteral("%1 itens no arquivo, %2 na impressora")
                         .arg(rows.size())
                         .arg(coupon.items.size());
    }
    for (const fiscal::PrinterItem& item : coupon.items) {
      const auto row = rows.find(item.number);
      if (row == rows.end()) {
        differences << QStringLiteral("o item %1 da impressora falta").arg(item.number);
      } else if (std::fabs(row->second.quantity - item.quantity) > 1e-9 ||
                 row->second.total != item.totalCents || row->second.cancelled != item.cancelled) {
        differences << QStringLiteral("item %1: %2 x = %3%4 no arquivo, %5 x = %6%7 na impressora")
                           .arg(item.number)
                           .arg(row->second.quantity)
                           .arg(money(row->second.total),
                                row->second.cancelled ? QStringLiteral(" cancelado") : QString())
                           .arg(item.quantity)
                           .arg(money(item.totalCents),
                                item.cancelled ? QStringLiteral(" cancelado") : QString());
      }
    }
    if (!differences.isEmpty())
      add(QStringLiteral("itens"), file + QStringLiteral(": ") + differences.join("; "));
  }

  void checkCashFile(const QString& coo, const Coupon& coupon, const QString& file) {
    const auto closing = closings_.find(coo);
    if (closing == closings_.end()) {
      add(QStringLiteral("bobina"),
          QStringLiteral("o fechamento do cupom %1 não está na bobina").arg(coo));
      return;
    }
    if (closing->second.totalCents != coupon.totalCents) {
      add(QStringLiteral("bobina"),
          QStringLiteral("a bobina fecha o cupom %1 com %2, a memória com %3")
              .arg(coo, money(closing->second.totalCents), money(coupon.totalCents)));
    }
    QString error;
    const auto cash = load(QDir(output_).filePath(file), &error);
    if (!cash) return;
    std::vector<std::pair<QString, qint64>> received;
    qint64 change = 0;
    for (cash->first(); !cash->eof(); cash->next()) {
      const QString kind = cash->asText(QStringLiteral("IDTIPOMOVIVE"));
      const qint64 amount = cents(cash->asNumber(QStringLiteral("VRMOVIVEND")));
      if (kind == QStringLiteral("S")) {
        change += amount;
      } else {
        received.emplace_back(cash->asText(QStringLiteral("NMTIPORECE")), amount);
      }
    }
    auto printed = closing->second.payments;
    std::sort(printed.begin(), printed.end());
    std::sort(received.begin(), received.end());
    if (printed != received) {
      const auto text = [](const std::vector<std::pair<QString, qint64>>& list) {
        QStringList parts;
        for (const auto& [name, amount] : list) parts << name + QLatin1Char(' ') + money(amount);
        return parts.join(QStringLiteral(", "));
      };
      add(QStringLiteral("recebimentos"),
          QStringLiteral("%1: %2; na bobina: %3").arg(file, text(received), text(printed)));
    }
    if (change != closing->second.changeCents) {
      add(QStringLiteral("troco"),
          QStringLiteral("%1: troco %2, na bobina %3")
              .arg(file, money(change), money(closing->second.changeCents)));
    }
  }

  QString dataDir_;
  QString output_;
  const SaleLedger& ledger_;
  std::map<QString, Closing> closings_;
  std::vector<Finding> findings_;
};

}  // namespace

std::optional<qint64> printedCents(const QString& text) {
  static const QRegularExpression amount(QStringLiteral("(-?)([\\d.]+),(\\d{2})\\s*$"));
  const auto m = amount.match(text);
  if (!m.hasMatch()) return std::nullopt;
  QString whole = m.captured(2);
  whole.remove(QLatin1Char('.'));
  const qint64 value = whole.toLongLong() * 100 + m.captured(3).toLongLong();
  return m.captured(1).isEmpty() ? value : -value;
}

std::map<QString, Closing> closingsOnTape(const QString& tape) {
  static const QRegularExpression cooLine(QStringLiteral("COO:(\\d{6})\\s*$"));
  static const QRegularExpression payment(QStringLiteral("^(.*\\S)\\s+-?[\\d.]+,\\d{2}\\s*$"));
  std::map<QString, Closing> closings;
  std::optional<Closing> current;
  bool inPayments = false;
  for (const QString& line : tape.split(QLatin1Char('\n'))) {
    if (line.startsWith(QStringLiteral("SUBTOTAL R$"))) {
      current = Closing{};
      inPayments = false;
      continue;
    }
    if (!current) continue;
    // Another document begins: the closing above it was cut by a kill.
    if (line.startsWith(QLatin1Char('=')) || line.contains(QStringLiteral("CUPOM CANCELADO")) ||
        line.contains(QStringLiteral("COMANDO RECUSADO")) ||
        line.contains(QStringLiteral("CUPOM FISCAL"))) {
      current.reset();
      continue;
    }
    if (line.startsWith(QStringLiteral("TOTAL R$"))) {
      current->totalCents = printedCents(line).value_or(-1);
      inPayments = true;
    } else if (line.startsWith(QStringLiteral("TROCO R$"))) {
      current->changeCents = printedCents(line).value_or(-1);
      inPayments = false;
    } else if (inPayments) {
      const auto m = payment.match(line);
      if (m.hasMatch())
        current->payments.emplace_back(m.captured(1), printedCents(line).value_or(-1));
    } else if (const auto m = cooLine.match(line); m.hasMatch()) {
      closings[m.captured(1)] = *current;
      current.reset();
    }
  }
  return closings;
}

void SaleLedger::readJournal(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || !file.seek(journalOffset_)) return;
  const QByteArray bytes = file.readAll();
  const qsizetype end = bytes.lastIndexOf('\n');
  if (end < 0) return;
  journalOffset_ += end + 1;
  for (const QByteArray& line : bytes.left(end).split('\n')) {
    try {
      see(fiscal::PrinterMemory::fromJson(QByteArray::fromBase64(line)));
    } catch (const fw::Error&) {
      // A line cut by a kill, or a memory caught half-written by hand: the next copy tells.
    }
  }
}

void SaleLedger::see(const fiscal::PrinterMemory& memory) {
  if (memory.open) {
    Coupon& c = coupons_[memory.open->coo];
    c.state = Coupon::State::Open;
    c.items = memory.open->items;
    c.totalCents = memory.open->liveTotalCents();
  }
  if (memory.last) {
    Coupon& c = coupons_[memory.last->coo];
    if (memory.last->cancelled) {
      c.state = Coupon::State::Cancelled;
    } else {
      c.state = Coupon::State::Closed;
      c.closedBefore = true;
    }
    c.totalCents = memory.last->totalCents;
  }
}

std::vector<Finding> checkDataDirectory(const QString& dataDir, const SaleLedger& ledger) {
  return Checker(dataDir, ledger).run();
}

QString saleStillKept(const QString& dataDir) {
  const QString path = QDir(dataDir).filePath(QStringLiteral("VendaEmAndamento.cds"));
  if (!QFile::exists(path)) return {};
  QString error;
  const auto kept = load(path, &error);
  if (!kept) return QStringLiteral("a venda guardada não pode ser lida: ") + error;
  QStringList held;
  int items = 0;
  int payments = 0;
  for (kept->first(); !kept->eof(); kept->next()) {
    const QString kind = kept->asText(QStringLiteral("TIPOREG"));
    if (kind == QStringLiteral("I")) ++items;
    if (kind == QStringLiteral("R")) ++payments;
    if (kind != QStringLiteral("V")) continue;
    if (kept->asText(QStringLiteral("IDCUPOMABERTO")) == QStringLiteral("S")) {
      held << QStringLiteral("o cupom %1 aberto").arg(kept->asText(QStringLiteral("NRCUPOMVEN")));
    }
    if (!kept->asText(QStringLiteral("IDARQDEVIDO")).isEmpty()) {
      held << QStringLiteral("arquivos devidos (\"%1\")")
                  .arg(kept->asText(QStringLiteral("IDARQDEVIDO")));
    }
  }
  if (items > 0) held << QStringLiteral("%1 itens").arg(items);
  if (payments > 0) held << QStringLiteral("%1 recebimentos").arg(payments);
  return held.join(QStringLiteral(", "));
}

}  // namespace crash
