// The crash test's checks must see a fault when there is one: a folder that agrees with the
// printer passes, and each way of disagreeing is told under its kind.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <set>
#include <tuple>

#include "crash/SaleLedger.h"
#include "framework/data/LocalTable.h"

namespace crash {
namespace {

using fw::FieldDef;

// A closing cut short by a kill (the next print starts on a line of its own), a refusal, then
// the closing of the same coupon that counted.
const char* const kTape =
    "------------------------------------------------\n"
    "SUBTOTAL R$                                 7,00\n"
    "TOTAL R$                                    7,00\n"
    "Dinheiro                                    5,0"
    "\n            *** COMANDO RECUSADO ***\n"
    "Sem papel\n"
    "------------------------------------------------\n"
    "SUBTOTAL R$                                 7,00\n"
    "TOTAL R$                                    7,00\n"
    "PIX                                         2,00\n"
    "Dinheiro                                   10,00\n"
    "TROCO R$                                    5,00\n"
    "------------------------------------------------\n"
    "MD-5: 0123\n"
    "Trib aprox R$ (Lei 12.741/2012):\n"
    "  Federal                                   0,50\n"
    "10/12/2026 09:34:14                   COO:000001\n"
    "================================================\n";

TEST(TapeClosings, TheLastWholeClosingOfACouponCounts) {
  const auto closings = closingsOnTape(QString::fromUtf8(kTape));
  ASSERT_EQ(closings.size(), 1u);
  const Closing& c = closings.at(QStringLiteral("000001"));
  EXPECT_EQ(c.totalCents, 700);
  EXPECT_EQ(c.changeCents, 500);
  EXPECT_EQ(c.payments, (std::vector<std::pair<QString, qint64>>{
                            {QStringLiteral("PIX"), 200}, {QStringLiteral("Dinheiro"), 1000}}));
  EXPECT_EQ(printedCents(QStringLiteral("TOTAL R$   1.234,05")), 123405);
  EXPECT_EQ(printedCents(QStringLiteral("CANCELAMENTO ITEM 002 x  -29,90")), -2990);
}

class FolderChecks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    QDir(dir_.path()).mkpath(QStringLiteral("Dados/Venda_Arquivo"));
    QFile tape(path(QStringLiteral("Bobina.txt")));
    ASSERT_TRUE(tape.open(QIODevice::WriteOnly));
    tape.write(kTape);
    tape.close();

    // The printer: coupon 000001 with a 7,00 item and a cancelled one, closed for 7,00;
    // coupon 000002 cancelled while open.
    fiscal::PrinterMemory open;
    open.open = fiscal::OpenCoupon{};
    open.open->coo = QStringLiteral("000001");
    open.open->items = {item("001", 1, 700, false), item("002", 2.5, 1770, true)};
    ledger_.see(open);
    fiscal::PrinterMemory closed;
    closed.last = fiscal::LastCoupon{QStringLiteral("000001"), 700, false};
    ledger_.see(closed);
    fiscal::PrinterMemory second;
    second.open = fiscal::OpenCoupon{};
    second.open->coo = QStringLiteral("000002");
    ledger_.see(second);
    fiscal::PrinterMemory cancelled;
    cancelled.last = fiscal::LastCoupon{QStringLiteral("000002"), 0, true};
    ledger_.see(cancelled);

    saleFile(QStringLiteral("000001"), QStringLiteral("O"), 700);
    cashFile();
    saleFile(QStringLiteral("000002"), QStringLiteral("C"), 700);
  }

  static fiscal::PrinterItem item(const char* number, double quantity, qint64 cents,
                                  bool cancelled) {
    fiscal::PrinterItem i;
    i.number = QString::fromLatin1(number);
    i.quantity = quantity;
    i.totalCents = cents;
    i.cancelled = cancelled;
    return i;
  }

  QString path(const QString& relative) const { return QDir(dir_.path()).filePath(relative); }
  QString output(const QString& name) const {
    return path(QStringLiteral("Dados/Venda_Arquivo/") + name);
  }

  void saleFile(const QString& coupon, const QString& state, qint64 firstCents) {
    fw::LocalTable sale(QStringLiteral("Venda"));
    sale.declareFields({FieldDef::text(QStringLiteral("NRSEQUITVENDA"), 10),
                        FieldDef::text(QStringLiteral("NRCUPOMFIS"), 10),
                        FieldDef::text(QStringLiteral("IDSITUVENDA"), 1),
                        FieldDef::text(QStringLiteral("IDPRODIMPFIS"), 1),
                        FieldDef::number(QStringLiteral("QTPRODVEND")),
                        FieldDef::number(QStringLiteral("VRTOTVEND"))});
    sale.createDataSet();
    const auto row = [&](const char* number, double quantity, double total, const char* printer) {
      sale.append();
      sale.setText(QStringLiteral("NRSEQUITVENDA"), QString::fromLatin1(number));
      sale.setText(QStringLiteral("NRCUPOMFIS"), coupon);
      sale.setText(QStringLiteral("IDSITUVENDA"), state);
      sale.setText(QStringLiteral("IDPRODIMPFIS"), QString::fromLatin1(printer));
      sale.setNumber(QStringLiteral("QTPRODVEND"), quantity);
      sale.setNumber(QStringLiteral("VRTOTVEND"), total);
      sale.post();
    };
    row("001", 1, static_cast<double>(firstCents) / 100.0, "S");
    row("002", 2.5, 17.70, "C");
    sale.saveToFile(output(QStringLiteral("Venda10_2_%1.cds").arg(coupon)));
  }

  void cashFile(double cash = 10.0) {
    fw::LocalTable movement(QStringLiteral("MovCaixa"));
    movement.declareFields({FieldDef::text(QStringLiteral("NMTIPORECE"), 40),
                            FieldDef::number(QStringLiteral("VRMOVIVEND")),
                            FieldDef::text(QStringLiteral("IDTIPOMOVIVE"), 1)});
    movement.createDataSet();
    for (const auto& [name, amount, kind] :
         {std::tuple{"Dinheiro", 5.0, "S"}, std::tuple{"PIX", 2.0, "E"},
          std::tuple{"Dinheiro", cash, "E"}}) {
      movement.append();
      movement.setText(QStringLiteral("NMTIPORECE"), QString::fromLatin1(name));
      movement.setNumber(QStringLiteral("VRMOVIVEND"), amount);
      movement.setText(QStringLiteral("IDTIPOMOVIVE"), QString::fromLatin1(kind));
      movement.post();
    }
    movement.saveToFile(output(QStringLiteral("MovCaixa10_2_000001.cds")));
  }

  std::set<QString> kinds() const {
    std::set<QString> found;
    for (const Finding& f : checkDataDirectory(dir_.path(), ledger_)) found.insert(f.kind);
    return found;
  }

  QTemporaryDir dir_;
  SaleLedger ledger_;
};

TEST_F(FolderChecks, AFolderThatAgreesWithThePrinterPasses) {
  for (const Finding& f : checkDataDirectory(dir_.path(), ledger_))
    ADD_FAILURE() << f.detail.toStdString();
}

TEST_F(FolderChecks, EachDisagreementIsTold) {
  saleFile(QStringLiteral("000001"), QStringLiteral("O"), 690);
  EXPECT_EQ(kinds(), (std::set<QString>{QStringLiteral("itens"), QStringLiteral("total")}));
  saleFile(QStringLiteral("000001"), QStringLiteral("O"), 700);

  cashFile(9.0);
  EXPECT_EQ(kinds(), std::set<QString>{QStringLiteral("recebimentos")});
  ASSERT_TRUE(QFile::remove(output(QStringLiteral("MovCaixa10_2_000001.cds"))));
  EXPECT_EQ(kinds(), std::set<QString>{QStringLiteral("fechado sem caixa")});
  cashFile();

  saleFile(QStringLiteral("000002"), QStringLiteral("O"), 700);
  EXPECT_EQ(kinds(), std::set<QString>{QStringLiteral("situação")});
  saleFile(QStringLiteral("000002"), QStringLiteral("C"), 700);

  ASSERT_TRUE(QFile::copy(output(QStringLiteral("Venda10_2_000002.cds")),
                          output(QStringLiteral("Venda10_2_000003.cds"))));
  EXPECT_EQ(kinds(), std::set<QString>{QStringLiteral("arquivo sem cupom")});
  ASSERT_TRUE(QFile::remove(output(QStringLiteral("Venda10_2_000003.cds"))));

  QFile cut(output(QStringLiteral("Venda10_2_000002.cds")));
  ASSERT_TRUE(cut.resize(cut.size() / 2));
  QFile leftover(path(QStringLiteral("VendaEmAndamento.cds.tmp-a1B2c3")));
  ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
  leftover.close();
  EXPECT_EQ(kinds(),
            (std::set<QString>{QStringLiteral("tabela incompleta"), QStringLiteral("temporário")}));
}

TEST_F(FolderChecks, ASaleStillKeptAfterSettlingIsTold) {
  EXPECT_EQ(saleStillKept(dir_.path()), QString());  // no kept sale at all
  const auto keep = [&](const QString& open, const QString& owed, bool item) {
    fw::LocalTable kept(QStringLiteral("VendaEmAndamento"));
    kept.declareFields({FieldDef::text(QStringLiteral("TIPOREG"), 1),
                        FieldDef::text(QStringLiteral("IDCUPOMABERTO"), 1),
                        FieldDef::text(QStringLiteral("IDARQDEVIDO"), 1),
                        FieldDef::text(QStringLiteral("NRCUPOMVEN"), 10)});
    kept.createDataSet();
    kept.append();
    kept.setText(QStringLiteral("TIPOREG"), QStringLiteral("V"));
    kept.setText(QStringLiteral("IDCUPOMABERTO"), open);
    kept.setText(QStringLiteral("IDARQDEVIDO"), owed);
    kept.setText(QStringLiteral("NRCUPOMVEN"), QStringLiteral("000003"));
    kept.post();
    if (item) {
      kept.append();
      kept.setText(QStringLiteral("TIPOREG"), QStringLiteral("I"));
      kept.post();
    }
    kept.saveToFile(path(QStringLiteral("VendaEmAndamento.cds")));
  };
  keep(QStringLiteral("N"), QString(), false);
  EXPECT_EQ(saleStillKept(dir_.path()), QString()) << "a sale ended leaves the header alone";
  keep(QStringLiteral("S"), QString(), true);
  EXPECT_EQ(saleStillKept(dir_.path()), QStringLiteral("o cupom 000003 aberto, 1 itens"));
  keep(QStringLiteral("N"), QStringLiteral("C"), false);
  EXPECT_EQ(saleStillKept(dir_.path()), QStringLiteral("arquivos devidos (\"C\")"));
}

}  // namespace
}  // namespace crash
