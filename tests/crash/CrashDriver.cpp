// crash_driver: one host's life at the till for the crash test. The real screen
// (CriaRegVenda), the real printer bridge over its virtual printer and the real dialogs, on a
// data directory the test prepared, played by the end-to-end Cashier.
//
//   crash_driver --data-dir DIR --journal FILE --seed N --play
//       plays one sale drawn from the seed (items, maybe a cancelled item, payments,
//       "Gerar Cupom" or a coupon cancellation, maybe a closed coupon cancelled, maybe
//       leaving the screen and coming back) and kills itself with SIGKILL at a step and
//       after a delay drawn from the same seed, so it can die inside a handler's writes.
//   crash_driver --data-dir DIR --journal FILE --script [--kill-at-write K]
//       plays a fixed day (the first item on a new data directory, a cancelled item, payments,
//       "Gerar Cupom", the closed coupon cancelled, an open coupon cancelled); with K, dies
//       with SIGKILL at the K-th file write, its bytes written but not yet in place (an
//       append: on the file). Without K it tells how many writes the day made.
//   crash_driver --data-dir DIR --journal FILE --seed N --finish | --cancel
//       the host started again: settles whatever the screen or the printer holds, paying
//       and closing the sale (--finish) or cancelling the coupon (--cancel), then leaves.
//
// Before each step the printer's memory goes to the journal (crash/Journal.h). Messages the
// screen shows are answered and written to stderr. Exit status: 0 when the screen was left
// normally, 3 when the cashier could not go on, 4 when an error escaped a touch handler.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <random>
#include <thread>
#include <utility>

#include "crash/Journal.h"
#include "dialogs/DialogsPackage.h"
#include "dialogs/NumericKeypadDialog.h"
#include "dialogs/SearchDialog.h"
#include "e2e/Cashier.h"
#include "fiscal/FiscalPackage.h"
#include "fiscal/PrinterMemory.h"
#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/packet/FileIo.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"
#include "runtime/MessageDialog.h"
#include "runtime/Runtime.h"

namespace {

using Form = TfrmVendaArquivo;
using dialogs::NumericKeypadDialog;
using dialogs::SearchDialog;
using runtime::MessageDialog;

void say(const QString& text) { std::fprintf(stderr, "crash_driver: %s\n", qPrintable(text)); }

// "1.234,50" as the labels show it, in cents; 0 when empty.
qint64 labelCents(const QString& text) {
  QString t = text.trimmed();
  t.remove(QLatin1Char('.'));
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double value = t.toDouble(&ok);
  return ok ? std::llround(value * 100.0) : 0;
}

// Cents as typed on the keypad: "27,90".
QString keypadText(qint64 cents) {
  return QStringLiteral("%1,%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

qint64 remainingCents(const Form& f) {
  return labelCents(f.lblTotal->text()) - labelCents(f.lblTotRecebido->text());
}

// Items not cancelled, read without moving the screen's cursor.
int liveItems(const Form& f) {
  const fw::LocalTable& items = f.cdsAddProduto;
  if (!items.active()) return 0;
  const int column = items.fieldIndex(QStringLiteral("IDPRODIMPFIS"));
  int live = 0;
  for (int row = 0; row < items.recordCount(); ++row) {
    if (column < 0 || items.textAt(row, column) != QStringLiteral("C")) ++live;
  }
  return live;
}

bool printerHasOpenCoupon(const QString& dataDir) {
  QFile file(crash::memoryPath(dataDir));
  if (!file.open(QIODevice::ReadOnly)) return false;
  try {
    return fiscal::PrinterMemory::fromJson(file.readAll()).open.has_value();
  } catch (const fw::Error&) {
    return false;
  }
}

struct Product {
  QString barcode;
  bool weighed = false;
};

std::vector<Product> catalog(const QString& dataDir) {
  fw::LocalTable table(QStringLiteral("ProdArquivo"));
  table.loadFromFile(QDir(dataDir).filePath(QStringLiteral("Dados/Cadastros/ProdArquivo.cds")));
  std::vector<Product> products;
  for (table.first(); !table.eof() && products.size() < 24; table.next()) {
    const QString barcode = table.asText(QStringLiteral("CDBARPRODUTO"));
    if (barcode.isEmpty() || table.asNumber(QStringLiteral("VRPRECITEM")) <= 0) continue;
    products.push_back(
        {barcode, table.asText(QStringLiteral("SGUNIDADE")) == QStringLiteral("KG")});
  }
  return products;
}

// What the cashier expects on top next, and what to do there. An action (adding an item,
// paying, ...) is a run of these; its first one is marked.
struct Expect {
  QString what;
  std::function<bool(QWidget*)> accepts;
  std::function<void(QWidget*)> act;
  bool startsAction = false;
};

template <class W>
Expect expect(QString what, std::function<void(W&)> act, bool starts = false) {
  return {std::move(what), [](QWidget* top) { return qobject_cast<W*>(top) != nullptr; },
          [act = std::move(act)](QWidget* top) { act(*qobject_cast<W*>(top)); }, starts};
}

class Driver {
 public:
  Driver(QString dataDir, QString journal, quint64 seed, QString mode)
      : dataDir_(std::move(dataDir)),
        journal_(std::move(journal)),
        rng_(seed),
        mode_(std::move(mode)) {}

  int run() {
    if (mode_ == QStringLiteral("play")) buildSale();
    if (mode_ == QStringLiteral("script")) buildDay();
    cashier_.on<QWidget>(QStringLiteral("próximo passo"), [this](QWidget& top) { react(top); });
    cashier_.run(
        [this] {
          do {
            reenter_ = false;
            CriaRegVenda();
          } while (reenter_);
        },
        std::chrono::seconds(120));
    crash::journalMemory(dataDir_, journal_, &lastJournal_);
    if (unhandled_) return 4;
    if (!cashier_.failures().isEmpty()) {
      for (const QString& f : cashier_.failures()) say(QStringLiteral("falha: ") + f);
      return 3;
    }
    return 0;
  }

  void unhandledError(const QString& text) {
    unhandled_ = true;
    say(QStringLiteral("erro não tratado em um toque: ") + text);
  }

 private:
  e2e::Cashier& c() { return cashier_; }

  void react(QWidget& top) {
    crash::journalMemory(dataDir_, journal_, &lastJournal_);
    ++acts_;
    if (acts_ == killAt_) armKill();
    if (mode_ == QStringLiteral("play") || mode_ == QStringLiteral("script")) {
      playStep(top);
    } else {
      settleStep(top);
    }
  }

  // Queues the next reaction. Called before touching: a touch that opens a dialog returns only
  // when the dialog closes, and the steps inside it must be waiting by then.
  void again() {
    cashier_.on<QWidget>(QStringLiteral("próximo passo"), [this](QWidget& t) { react(t); });
  }

  void armKill() {
    say(QStringLiteral("morte no passo %1 depois de %2 µs").arg(killAt_).arg(killDelayUs_));
    std::thread([delay = killDelayUs_] {
      std::this_thread::sleep_for(std::chrono::microseconds(delay));
      ::kill(::getpid(), SIGKILL);
    }).detach();
  }

  // A message nobody expected: read, answered with its default, and written down.
  void answer(QWidget& top) {
    say(QStringLiteral("mensagem: ") + e2e::Cashier::messageText(top));
    QAbstractButton* b = e2e::Cashier::button(top, QStringLiteral("OK"));
    if (!b) b = e2e::Cashier::button(top, QStringLiteral("Sim"));
    if (b) {
      c().touch(b);
    } else {
      c().press(&top, Qt::Key_Return);
    }
  }

  // ---- Playing a sale ---------------------------------------------------------------------

  // A touch on a control the screen may have turned off meanwhile: then the action is given
  // up at its next step, as a cashier would.
  void tap(QWidget* control) {
    if (control && control->isVisible() && control->isEnabled()) {
      c().touch(control);
    } else {
      say(QStringLiteral("controle desabilitado: ") +
          (control ? control->objectName() : QStringLiteral("?")));
    }
  }

  void playStep(QWidget& top) {
    if (plan_.empty()) return;
    if (plan_.front().accepts(&top)) {
      Expect next = std::move(plan_.front());
      plan_.pop_front();
      say(QStringLiteral("passo %1: %2").arg(acts_).arg(next.what));
      if (!plan_.empty()) again();
      next.act(&top);
      return;
    }
    // Something else is on top: answer or close it, and give up the action under way.
    if (!plan_.front().startsAction) {
      say(QStringLiteral("ação abandonada em: ") + plan_.front().what);
      while (!plan_.empty() && !plan_.front().startsAction) plan_.pop_front();
    }
    if (!plan_.empty()) again();
    if (qobject_cast<MessageDialog*>(&top)) {
      answer(top);
    } else if (!qobject_cast<Form*>(&top)) {
      c().press(&top, Qt::Key_Escape);
    }
  }

  void buildSale() {
    const std::vector<Product> products = catalog(dataDir_);
    const auto pick = [&](int n) { return static_cast<int>(rng_() % static_cast<quint64>(n)); };
    const int items = 1 + pick(4);
    bool cancelledOne = false;
    for (int i = 0; i < items; ++i) {
      addItem(products[static_cast<std::size_t>(pick(static_cast<int>(products.size())))], pick(3));
      if (!cancelledOne && pick(4) == 0) {
        cancelNewestItem();
        cancelledOne = true;
      }
    }
    if (pick(8) == 0) leaveAndComeBack();
    if (pick(10) == 0) {
      cancelCoupon();
    } else {
      const int partial = pick(3);
      for (int i = 0; i < partial; ++i)
        pay(pick(2) == 0 ? QStringLiteral("pix") : QStringLiteral("debito"), false, 0);
      pay(QStringLiteral("dinheiro"), true, pick(2000));
      if (pick(10) == 0) leaveAndComeBack();
      plan_.push_back(expect<Form>(
          QStringLiteral("Gerar Cupom"),
          [this](Form& f) {
            if (f.bldGravar->isEnabled()) tap(f.bldGravar);
          },
          true));
      if (pick(6) == 0) cancelCoupon();
    }
    plan_.push_back(expect<Form>(
        QStringLiteral("sair"), [this](Form& f) { tap(f.spdSair); }, true));
    killAt_ = 1 + pick(static_cast<int>(plan_.size()) + 1);
    // Half the deaths right inside the touched handler, where the files are written.
    killDelayUs_ = pick(2) == 0 ? pick(3000) : pick(40000);
    say(QStringLiteral("venda de %1 itens, %2 passos").arg(items).arg(plan_.size()));
  }

  // The same day every time, for the kill at every write.
  void buildDay() {
    const std::vector<Product> products = catalog(dataDir_);
    std::vector<Product> plain;
    for (const Product& p : products) {
      if (!p.weighed) plain.push_back(p);
    }
    addItem(plain.at(0), 0);
    addItem(plain.at(1), 0);
    cancelNewestItem();
    addItem(plain.at(2), 0);
    pay(QStringLiteral("pix"), false, 0);
    pay(QStringLiteral("dinheiro"), true, 250);
    plan_.push_back(expect<Form>(
        QStringLiteral("Gerar Cupom"),
        [this](Form& f) {
          if (f.bldGravar->isEnabled()) tap(f.bldGravar);
        },
        true));
    cancelCoupon();  // the coupon just closed
    addItem(plain.at(3), 0);
    addItem(plain.at(0), 0);
    cancelCoupon();  // the open one
    plan_.push_back(expect<Form>(
        QStringLiteral("sair"), [this](Form& f) { tap(f.spdSair); }, true));
  }

  void addItem(const Product& p, int quantityChoice) {
    plan_.push_back(expect<Form>(
        QStringLiteral("escolher um produto"), [this](Form& f) { tap(f.bldCodigo); }, true));
    plan_.push_back(expect<SearchDialog>(QStringLiteral("código de barras ") + p.barcode,
                                         [this, p](SearchDialog& d) {
                                           c().type(&d, p.barcode);
                                           c().press(&d, Qt::Key_Return);
                                         }));
    if (p.weighed) {
      static const QString kQuantities[] = {QStringLiteral("0,75"), QStringLiteral("1,5"),
                                            QStringLiteral("2,5")};
      const QString quantity = kQuantities[quantityChoice];
      plan_.push_back(
          expect<Form>(QStringLiteral("toca na quantidade"), [this](Form& f) { tap(f.bldQuant); }));
      plan_.push_back(expect<NumericKeypadDialog>(QStringLiteral("quantidade ") + quantity,
                                                  [this, quantity](auto& d) {
                                                    c().type(&d, quantity);
                                                    c().press(&d, Qt::Key_Return);
                                                  }));
    }
    plan_.push_back(expect<Form>(QStringLiteral("adiciona o item"), [this](Form& f) {
      if (f.bldAddProd->isEnabled()) tap(f.bldAddProd);
    }));
  }

  void cancelNewestItem() {
    plan_.push_back(expect<Form>(
        QStringLiteral("cancela o item mais novo"),
        [this](Form& f) {
          // The newest item is the current row after it was added.
          const fw::LocalTable& items = f.cdsAddProduto;
          if (f.bldCancel->isEnabled() && items.active() && items.recordCount() > 0 &&
              items.asText(QStringLiteral("IDPRODIMPFIS")) != QStringLiteral("C")) {
            tap(f.bldCancel);
          }
        },
        true));
    plan_.push_back(
        {QStringLiteral("confirma o cancelamento do item"),
         [](QWidget* top) {
           return qobject_cast<MessageDialog*>(top) &&
                  e2e::Cashier::messageText(*top).startsWith(
                      QStringLiteral("Confirma o cancelamento"));
         },
         [this](QWidget* top) { tap(e2e::Cashier::button(*top, QStringLiteral("Sim"))); }});
  }

  // A payment of `type`: a small part of what is left, or (last) all of it, in cash with up
  // to `extraCents` of change.
  void pay(const QString& type, bool last, int extraCents) {
    plan_.push_back(expect<Form>(
        QStringLiteral("recebimento ") + type,
        [this](Form& f) {
          if (f.bldCodRece->isEnabled() && remainingCents(f) > 0) tap(f.bldCodRece);
        },
        true));
    plan_.push_back(
        expect<SearchDialog>(QStringLiteral("tipo ") + type, [this, type](SearchDialog& d) {
          c().type(&d, type);
          c().press(&d, Qt::Key_Return);
        }));
    plan_.push_back(
        expect<Form>(QStringLiteral("toca no valor"), [this](Form& f) { tap(f.bldValorRece); }));
    plan_.push_back(expect<NumericKeypadDialog>(
        QStringLiteral("digita o valor"), [this, last, extraCents](auto& d) {
          const qint64 left = frmVendaArquivo ? remainingCents(*frmVendaArquivo) : 100;
          const qint64 cents = last ? left + extraCents : std::max<qint64>(1, left / 3);
          c().type(&d, keypadText(cents));
          c().press(&d, Qt::Key_Return);
        }));
    plan_.push_back(expect<Form>(QStringLiteral("adiciona o recebimento"), [this](Form& f) {
      if (f.bldAddRece->isEnabled()) tap(f.bldAddRece);
    }));
  }

  void cancelCoupon() {
    plan_.push_back(expect<Form>(
        QStringLiteral("Cancela Cupom"),
        [this](Form& f) {
          if (f.bldCancela->isEnabled()) tap(f.bldCancela);
        },
        true));
  }

  void leaveAndComeBack() {
    plan_.push_back(expect<Form>(
        QStringLiteral("sai da tela e volta"),
        [this](Form& f) {
          reenter_ = true;
          tap(f.spdSair);
        },
        true));
  }

  // ---- The host started again: settle the sale ---------------------------------------------

  void settleStep(QWidget& top) {
    auto* f = qobject_cast<Form*>(&top);
    if (!f) {
      again();
      settleDialog(top);
      return;
    }
    QAbstractButton* next = settleTouch(*f);
    if (next != f->spdSair) again();
    c().touch(next);
  }

  void settleDialog(QWidget& top) {
    if (qobject_cast<MessageDialog*>(&top)) {
      answer(top);
    } else if (auto* search = qobject_cast<SearchDialog*>(&top); search && stage_ == Pay::Type) {
      c().type(search, QStringLiteral("dinheiro"));
      c().press(search, Qt::Key_Return);
      stage_ = Pay::Value;
    } else if (auto* keypad = qobject_cast<NumericKeypadDialog*>(&top);
               keypad && stage_ == Pay::Amount) {
      // Half the time rounded up to ten reais: a printer total above the screen's (an item the
      // printer took just before a kill) is then closed, and the checks see the difference.
      const qint64 left =
          std::max<qint64>(frmVendaArquivo ? remainingCents(*frmVendaArquivo) : 0, 1);
      c().type(keypad, keypadText(generous_ ? (left + 999) / 1000 * 1000 : left));
      c().press(keypad, Qt::Key_Return);
      stage_ = Pay::Add;
    } else {
      c().press(&top, Qt::Key_Escape);
    }
  }

  // What to touch on the screen to settle the sale; spdSair when it is settled, or when it
  // will not settle (left as it is, for the checks to tell).
  QAbstractButton* settleTouch(Form& f) {
    if (++tries_ > 16) {
      say(QStringLiteral("a venda não se resolveu: saindo"));
      return f.spdSair;
    }
    const Pay stage = std::exchange(stage_, Pay::None);
    if (stage == Pay::Value && f.bldValorRece->isEnabled()) {
      stage_ = Pay::Amount;
      return f.bldValorRece;
    }
    if (stage == Pay::Add && f.bldAddRece->isEnabled()) return f.bldAddRece;
    const bool cancel = mode_ == QStringLiteral("cancel");
    const int items = liveItems(f);
    if (!cancel && f.bldGravar->isEnabled() && closes_ < 3) {
      ++closes_;
      return f.bldGravar;
    }
    if (!cancel && items > 0 && remainingCents(f) > 0 && f.bldCodRece->isEnabled() &&
        payments_ < 2) {
      ++payments_;
      stage_ = Pay::Type;
      return f.bldCodRece;
    }
    if ((items > 0 || printerHasOpenCoupon(dataDir_)) && f.bldCancela->isEnabled() &&
        cancels_ < 2) {
      ++cancels_;
      return f.bldCancela;
    }
    return f.spdSair;
  }

  QString dataDir_;
  QString journal_;
  std::mt19937_64 rng_;
  QString mode_;
  e2e::Cashier cashier_;
  std::deque<Expect> plan_;
  QByteArray lastJournal_;
  int acts_ = 0;
  int killAt_ = -1;
  int killDelayUs_ = 0;
  bool reenter_ = false;
  bool unhandled_ = false;
  // Settling
  int tries_ = 0;
  int payments_ = 0;
  int cancels_ = 0;
  int closes_ = 0;
  bool generous_ = rng_() % 2 == 0;
  enum class Pay { None, Type, Value, Amount, Add } stage_ = Pay::None;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);  // the Cashier reports through GoogleTest
  QString dataDir, journal, mode;
  quint64 seed = 0;
  int killAtWrite = 0;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QStringLiteral("--data-dir") && i + 1 < args.size()) {
      dataDir = args[++i];
    } else if (a == QStringLiteral("--journal") && i + 1 < args.size()) {
      journal = args[++i];
    } else if (a == QStringLiteral("--seed") && i + 1 < args.size()) {
      seed = args[++i].toULongLong();
    } else if (a == QStringLiteral("--kill-at-write") && i + 1 < args.size()) {
      killAtWrite = args[++i].toInt();
    } else if (a == QStringLiteral("--play") || a == QStringLiteral("--finish") ||
               a == QStringLiteral("--cancel") || a == QStringLiteral("--script")) {
      mode = a.mid(2);
    }
  }
  if (dataDir.isEmpty() || journal.isEmpty() || mode.isEmpty()) {
    std::fprintf(
        stderr,
        "uso: crash_driver --data-dir DIR --journal FILE --seed N --play|--finish|--cancel\n"
        "     crash_driver --data-dir DIR --journal FILE --script [--kill-at-write K]\n");
    return 2;
  }
  qputenv("REGVENDA_DATA_DIR", QFile::encodeName(dataDir));
  qputenv("REGVENDA_CONNECTION", QByteArray());  // offline: the probe answers at once

  // Every write goes through the one writer: its fault hook counts them and ends the host
  // at the chosen one, after its bytes were written and before they are in place.
  int writes = 0;
  fw::setWriteFault([&writes, killAtWrite](fw::WriteStep step, const QString&) {
    if (step == fw::WriteStep::Create) ++writes;
    if (step == fw::WriteStep::Sync && writes == killAtWrite) ::kill(::getpid(), SIGKILL);
    return 0;
  });

  runtime::setInteractive(true);
  runtime::install();
  fiscal::install(runtime::dataDirectory());
  dialogs::install();
  int status = 0;
  {
    Driver driver(dataDir, journal, seed, mode);
    outside::ApplicationHandleException = [&driver](const QString& text) {
      driver.unhandledError(text);
    };
    status = driver.run();
  }
  fiscal::uninstall();
  dialogs::uninstall();
  outside::resetAll();
  salecontext::resetToLoadValues();
  fw::setWriteFault({});
  std::fprintf(stderr, "crash_driver: escritas %d\n", writes);
  return status;
}
