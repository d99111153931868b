// A whole sale on the demo data, touch by touch: three items, one cancelled, two payments,
// one removed again.
#include <gtest/gtest.h>

#include <QTest>

#include "framework/text/NumberText.h"
#include "module/shell/SaleContext.h"
#include "module/support/FormFixture.h"
#include "outside/Outside.h"

namespace {

TEST(DemoSale, ItemsPaymentsAndTheFinishButton) {
  testsupport::FormFixture f;
  TfrmVendaArquivo& form = f.form();
  f.installPrinter();
  f.installDialogs();
  f.couponNumber = QStringLiteral("000777");
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const auto touch = [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); };

  for (int row : {1, 2, 3}) {
    f.searchRow = row;
    touch(form.bldCodigo);
    f.keypadText = QStringLiteral("2");
    touch(form.bldQuant);
    touch(form.bldAddProd);
  }
  ASSERT_TRUE(f.messages.empty()) << f.messages[0].text.toStdString();
  fw::LocalTable& items = form.cdsAddProduto;
  ASSERT_EQ(items.recordCount(), 3);
  double total = 0;
  for (int r = 0; r < 3; ++r) total += items.valueAt(r, items.fieldIndex("VRTOTVEND")).toNumber();
  EXPECT_EQ(form.lblTotal->text(), fw::formatAmount(total));

  touch(form.bldAbaixo);
  touch(form.bldAbaixo);
  touch(form.bldAcima);  // item 002
  const double cancelled = items.asNumber("VRTOTVEND");
  touch(form.bldCancel);
  EXPECT_EQ(items.displayText("IDPRODIMPFIS"), "Cancelado");
  EXPECT_EQ(items.asText("NRSEQ"), "002");
  total = fw::parseAmount(fw::formatAmount(total - cancelled));
  EXPECT_EQ(form.lblTotal->text(), fw::formatAmount(total));

  const auto payment = [&](int type, double amount) {
    f.searchRow = type;
    touch(form.bldCodRece);
    f.keypadText = fw::formatGeneral(amount);
    touch(form.bldValorRece);
    touch(form.bldAddRece);
  };
  payment(1, 10);
  EXPECT_EQ(form.lblTotRecebido->text(), "10,00");
  EXPECT_FALSE(form.bldGravar->isEnabled());
  payment(2, total - 10 + 5);
  EXPECT_EQ(form.lblValTroco->text(), "5,00");
  EXPECT_TRUE(form.bldGravar->isEnabled());
  EXPECT_EQ(form.cdsReceb.recordCount(), 2);

  touch(form.bldRolarBaixo);
  EXPECT_EQ(form.cdsReceb.asNumber("VRMOVIVEND"), 10.0);
  touch(form.bldRolarCima);
  touch(form.bldCancelaRece);       // the second payment, the first row
  EXPECT_DOUBLE_EQ(doTotal, 10.0);  // kept by adding and subtracting, never recounted
  EXPECT_EQ(form.lblTotRecebido->text(), "10,00");
  EXPECT_EQ(form.lblValTroco->text(), "0,00");
  EXPECT_FALSE(form.bldGravar->isEnabled());
  form.hide();
}

}  // namespace
