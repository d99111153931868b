// Money at a Brazilian till, under the shop's own locale (scripts/e2e.sh runs the suite with
// LANG=pt_BR.UTF-8, where the C library reads and writes decimal commas): a 3,00 sale paid
// with 10,00, a 9,99 sale paid with 10,00, and a 0,5 kg item of 0,99 cancelled again.
#include "dialogs/NumericKeypadDialog.h"
#include "dialogs/SearchDialog.h"
#include "e2e/Till.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "runtime/MessageDialog.h"

namespace e2e {
namespace {

using Form = TfrmVendaArquivo;
using dialogs::NumericKeypadDialog;
using dialogs::SearchDialog;

class Money : public Till {
 protected:
  // Queues: pick `p` by its barcode, key `quantity` when given, add it.
  void addItem(const Product& p, const QString& quantity = {}) {
    Cashier& c = *cashier_;
    c.on<Form>(QStringLiteral("escolher ") + p.name, [&c](Form& f) { c.touch(f.bldCodigo); });
    c.on<SearchDialog>(QStringLiteral("código de barras de ") + p.name, [&c, p](SearchDialog& d) {
      c.type(&d, p.barcode);
      c.press(&d, Qt::Key_Return);
    });
    if (!quantity.isEmpty()) {
      c.on<Form>(QStringLiteral("toca na quantidade"), [&c](Form& f) { c.touch(f.bldQuant); });
      c.on<NumericKeypadDialog>(QStringLiteral("digita ") + quantity,
                                [&c, quantity](NumericKeypadDialog& d) {
                                  c.type(&d, quantity);
                                  c.press(&d, Qt::Key_Return);
                                });
    }
    c.on<Form>(QStringLiteral("adiciona ") + p.name, [&c](Form& f) { c.touch(f.bldAddProd); });
  }
  // Queues: a cash payment of `amount` as typed on the keypad.
  void payCash(const QString& amount) {
    Cashier& c = *cashier_;
    c.on<Form>(QStringLiteral("escolher o recebimento"), [&c](Form& f) { c.touch(f.bldCodRece); });
    c.on<SearchDialog>(QStringLiteral("dinheiro"), [&c](SearchDialog& d) {
      c.type(&d, QStringLiteral("dinheiro"));
      c.press(&d, Qt::Key_Return);
    });
    c.on<Form>(QStringLiteral("toca no valor"), [&c](Form& f) { c.touch(f.bldValorRece); });
    c.on<NumericKeypadDialog>(QStringLiteral("digita ") + amount,
                              [&c, amount](NumericKeypadDialog& d) {
                                c.type(&d, amount);
                                c.press(&d, Qt::Key_Return);
                              });
    c.on<Form>(QStringLiteral("adiciona o dinheiro"), [&c](Form& f) { c.touch(f.bldAddRece); });
  }
  // The change row of a coupon's cash-movement file.
  double changeOf(const QString& coupon) {
    const auto cash = readOutput(QStringLiteral("MovCaixa10_2_") + coupon + QStringLiteral(".cds"));
    if (!cash) return -1;
    for (cash->first(); !cash->eof(); cash->next()) {
      if (cash->asText(QStringLiteral("IDTIPOMOVIVE")) == QStringLiteral("S")) {
        return cash->asNumber(QStringLiteral("VRMOVIVEND"));
      }
    }
    return 0;
  }
};

TEST_F(Money, ChangeToTheCentAndACancelledItemLeavesNothing) {
  open(demo::Options{});
  const Product three = addProduct(QStringLiteral("Arroz Branco Tipo 1 5 kg"),
                                   {QStringLiteral("9001"), QStringLiteral("7890000090012"),
                                    QStringLiteral("Sabonete Neutro"), 3.00});
  const Product almostTen = addProduct(QStringLiteral("Arroz Branco Tipo 1 5 kg"),
                                       {QStringLiteral("9002"), QStringLiteral("7890000090029"),
                                        QStringLiteral("Creme Dental"), 9.99});
  const Product weighed = addProduct(
      QStringLiteral("Banana Nanica"),
      {QStringLiteral("9003"), QStringLiteral("7890000090036"), QStringLiteral("Chuchu"), 0.99});
  Cashier& c = *cashier_;

  addItem(three);
  payCash(QStringLiteral("10"));
  c.on<Form>("3,00 pago com 10,00: troco de 7,00", [&](Form& f) {
    EXPECT_EQ(f.lblTotal->text(), QStringLiteral("3,00"));
    EXPECT_EQ(f.lblTotRecebido->text(), QStringLiteral("10,00"));
    EXPECT_EQ(f.lblValTroco->text(), QStringLiteral("7,00"));
    ASSERT_TRUE(f.bldGravar->isEnabled());
    c.touch(f.bldGravar);
  });
  addItem(almostTen);
  payCash(QStringLiteral("10"));
  c.on<Form>("9,99 pago com 10,00: troco de 0,01", [&](Form& f) {
    EXPECT_EQ(f.lblTotal->text(), QStringLiteral("9,99"));
    EXPECT_EQ(f.lblValTroco->text(), QStringLiteral("0,01"));
    ASSERT_TRUE(f.bldGravar->isEnabled());
    c.touch(f.bldGravar);
  });
  addItem(weighed, QStringLiteral("0,5"));
  c.on<Form>("0,5 kg de 0,99: cancela o item", [&](Form& f) {
    EXPECT_EQ(f.lblTotal->text(), QStringLiteral("0,50"));
    c.touch(f.bldCancel);
  });
  c.on<runtime::MessageDialog>("confirma", [&](runtime::MessageDialog& d) {
    c.touch(Cashier::button(d, QStringLiteral("Sim")));
  });
  c.on<Form>("nada sobra da venda", [&](Form& f) {
    EXPECT_EQ(f.lblTotal->text(), QStringLiteral("0,00"));
    EXPECT_FALSE(f.bldGravar->isEnabled());
    c.touch(f.spdSair);
  });

  sell();
  ASSERT_TRUE(c.failures().isEmpty());
  EXPECT_NEAR(changeOf(QStringLiteral("000001")), 7.00, 1e-9);
  EXPECT_NEAR(changeOf(QStringLiteral("000002")), 0.01, 1e-9);
  const auto sale = readOutput(QStringLiteral("Venda10_2_000002.cds"));
  ASSERT_TRUE(sale);
  sale->first();
  EXPECT_NEAR(sale->asNumber(QStringLiteral("VRTOTVEND")), 9.99, 1e-9);
}

}  // namespace
}  // namespace e2e
