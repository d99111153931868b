// Cancelling items and moving in the item list.
#include "module/items/SaleScreenTest.h"

namespace saletest {
namespace {

class ItemList : public SaleScreenTest {
 protected:
  void SetUp() override {
    SaleScreenTest::SetUp();
    addItem("1");       // 001: 10,00
    addItem("2", "2");  // 002: 5,00
    addItem("1", "3");  // 003: 30,00
    printer.clear();
  }
};

TEST_F(ItemList, CancelsTheSelectedItemOnly) {
  click(form->bldAbaixo);  // on 002
  click(form->bldCancel);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].name, "Confirma o cancelamento do item?");
  expectArgs(messages[0].args, {"", "N", "S", 0, "", "001", 0, true});
  ASSERT_EQ(printer.size(), 1u);
  expectArgs(printer[0].args, {"001", "002", 0, 0, "m", "0", "0", "0", 0, 0, 0, 0, 0});
  EXPECT_EQ(form->lblTotal->text(), "40,00");
  EXPECT_EQ(column(form->cdsAddProduto, "IDPRODIMPFIS"), QStringList({"S", "C", "S"}));
  EXPECT_EQ(form->cdsAddProduto.displayText("IDPRODIMPFIS"), "Cancelado");
  EXPECT_EQ(form->cdsAddProduto.asNumber("VRTOTVEND"), 5.0);

  click(form->bldCancel);  // already cancelled: nothing at all
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(printer.size(), 1u);
}

TEST_F(ItemList, DeclinedOrRefusedCancellationKeepsTheItem) {
  confirmAnswer = false;
  form->bldCancelClick(form->bldCancel);
  EXPECT_TRUE(printer.empty());

  confirmAnswer = true;
  cancelAnswer = false;
  doTotal = 100;
  form->bldGravar->setEnabled(false);
  form->bldCancelClick(form->bldCancel);
  EXPECT_EQ(printer.size(), 1u);
  EXPECT_EQ(messages.size(), 2u);  // the two questions, nothing more
  EXPECT_EQ(form->cdsAddProduto.asText("IDPRODIMPFIS"), "S");
  EXPECT_EQ(form->lblTotal->text(), "45,00");
  EXPECT_TRUE(form->bldGravar->isEnabled());  // the rule ran on unchanged values
  EXPECT_EQ(form->lblValTroco->text(), "55,00");
}

TEST_F(ItemList, CancellingEveryItemLeavesZeroAndTheCouponOpen) {
  for (int i = 0; i < 3; ++i) {
    form->cdsAddProduto.setRecNo(i + 1);
    form->bldCancelClick(form->bldCancel);
  }
  EXPECT_EQ(form->lblTotal->text(), "0,00");
  EXPECT_FALSE(form->bldGravar->isEnabled());
  EXPECT_TRUE(boCupomAberto);
}

TEST_F(ItemList, ArrowsStopAtTheEnds) {
  click(form->bldAcima);
  EXPECT_EQ(form->cdsAddProduto.recNo(), 1);
  for (int i = 0; i < 4; ++i) click(form->bldAbaixo);
  EXPECT_EQ(form->cdsAddProduto.recNo(), 3);
  click(form->bldAcima);
  EXPECT_EQ(form->cdsAddProduto.asText("NRSEQ"), "002");
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SaleScreenTest, ArrowsBeforeTheFirstItemReachTheErrorReportCancelDoesNothing) {
  click(form->bldCancel);
  click(form->bldAcima);
  click(form->bldAbaixo);
  EXPECT_EQ(errors.size(), 2);
  EXPECT_TRUE(messages.empty());
}

TEST_F(SaleScreenTest, ItemStateWords) {
  EXPECT_EQ(form->cdsAddProdutoIDPRODIMPFISGetText("S", true), "Impresso");
  EXPECT_EQ(form->cdsAddProdutoIDPRODIMPFISGetText("C", true), "Cancelado");
  EXPECT_EQ(form->cdsAddProdutoIDPRODIMPFISGetText("", true), "");
  EXPECT_EQ(form->cdsAddProdutoIDPRODIMPFISGetText("s", true), "");
}

TEST_F(SaleScreenTest, ItemListLayout) {
  const auto fields = TfrmVendaArquivo::itemListFields();
  ASSERT_EQ(fields.size(), 69u);
  EXPECT_EQ(fields[0].name, "NMCONSVEND");
  EXPECT_EQ(fields[21].name, "TXOBSVENDA");
  EXPECT_EQ(fields[21].width, 2000);
  EXPECT_EQ(fields[63].name, "NRSEQ");
  EXPECT_EQ(fields[68].name, "DTABERCAIX");
  for (const auto& f : fields) {
    EXPECT_EQ(f.currency, f.name == "VRUNITVEND" || f.name == "VRTOTVEND") << f.name.toStdString();
  }
}

}  // namespace
}  // namespace saletest
