// Adding items: the printer calls with every argument, the item rows, numbers and total.
#include "module/items/SaleScreenTest.h"

namespace saletest {
namespace {

using Adding = SaleScreenTest;

TEST_F(Adding, NoProductChosenOnlyWarns) {
  click(form->bldAddProd);
  EXPECT_EQ(lastMessage(), "Operação bloqueada! Nenhum produto foi selecionado.");
  EXPECT_TRUE(printer.empty());
  EXPECT_FALSE(form->cdsAddProduto.active());
}

TEST_F(Adding, FirstItemOpensTheCouponAndSendsEveryArgument) {
  form->ValidaProd("1");
  form->bldQuant->setText("2,5");
  stQuant = "2,5";
  click(form->bldAddProd);

  ASSERT_EQ(printer.size(), 2u);
  EXPECT_EQ(printer[0].name, "AbreCupom");
  expectArgs(printer[0].args, {"001", 0, "", "", "", "", "", "", "", "", "", "", "", "", false});
  EXPECT_EQ(printer[1].name, "VendaItem");
  expectArgs(printer[1].args, {"001", "", "D", "7891000100103", "0100100#10063021#Arroz", "01",
                               "T", "UN", "", "18", "", 0, 2.5, 10.0, 0.0, 0.0, false});
  EXPECT_TRUE(dialogs.empty());  // no customer data asked
  EXPECT_TRUE(boCupomAberto);
  EXPECT_EQ(stCupomVen, "000123");

  fw::LocalTable& row = form->cdsAddProduto;
  ASSERT_EQ(row.recordCount(), 1);
  const std::vector<std::pair<const char*, Variant>> expected{
      {"NMPRODUTO", "Arroz"}, {"CDCAIXA", "002"}, {"CDFILIAL", "0001"}, {"NRSEQVENDA", ""},
      {"NRSEQUITVENDA", "001"}, {"CDCLIENTE", "CLI1"}, {"CDEMPRESA", "01"},
      {"IDSITUVENDA", "O"}, {"VRDESCVENDA", 0.0}, {"CDFILIALTUR", "0001"}, {"CDCAIXATUR", "002"},
      {"NRCUPOMFIS", "000123"}, {"CDOPERADOR", "OPER"}, {"CDLOJA", "LJ01"}, {"IDTIPOVENDA", "D"},
      {"TXOBSVENDA", ""}, {"IDVENDEBCONS", "N"}, {"IDCANCMANUAL", "N"}, {"QTPRODVEND", 2.5},
      {"VRTOTVEND", 25.0}, {"VRUNITVEND", 10.0}, {"CDPRODUTO", "A100"}, {"VRUNITVENDCL", 0.0},
      {"CDGRUPPROD", ""}, {"CDSUBGRPROD", ""}, {"CDFISUBGRVND", ""}, {"CDPRODPROMOCAO", "A100"},
      {"VRPEALIMPFIS", 18.0}, {"QTPRODCOMVEN", 2.5}, {"VRPRECCOMVEN", 10.0},
      {"NRCONTCUPOMFISC", "000045"}, {"CDORDALIQIMPR", "01"}, {"NRCOMANDA", ""},
      {"VRREPIQUEVENDA", 0.0}, {"NRSEQ", "001"}, {"IDPRODIMPFIS", "S"},
      {"NMCONSVEND", Variant()}, {"VRDESITVEND", Variant()}, {"DTABERCAIX", Variant()}};
  for (const auto& [field, value] : expected) {
    EXPECT_TRUE(storedAs(row.asVariant(field), value)) << field << ": " << row.asVariant(field).debugText().toStdString();
  }
  EXPECT_EQ(row.asDateTime("DTENTRVENDA"), 45000);
  EXPECT_EQ(row.asDateTime("DTABERTUR"), 45000.25);
  EXPECT_GT(row.asDateTime("DTVENDA"), 40000);
  EXPECT_GE(row.asDateTime("DTFECHAVENDA"), row.asDateTime("DTVENDA"));
  EXPECT_EQ(row.displayText("VRTOTVEND"), "R$25,00");

  EXPECT_EQ(form->lblTotal->text(), "25,00");
  EXPECT_FALSE(form->bldGravar->isEnabled());
  EXPECT_EQ(form->lblValTroco->text(), "0,00");
  EXPECT_EQ(form->bldCodigo->text(), "");
  EXPECT_EQ(form->bldQuant->text(), "");
  EXPECT_TRUE(form->bldAddProd->isEnabled());
}

TEST_F(Adding, LaterItemsKeepTheCouponAndCarryNoCounter) {
  addItem("1");
  addItem("2", "2");
  ASSERT_EQ(printer.size(), 3u);
  EXPECT_EQ(printer[2].name, "VendaItem");
  // No barcode: the display code; no CEST or NCM: the name alone.
  expectArgs(printer[2].args, {"001", "", "D", "B200", "Feijão", "01", "T", "UN", "", "18", "",
                               0, 2.0, 2.5, 0.0, 0.0, false});
  EXPECT_EQ(column(form->cdsAddProduto, "NRSEQ"), QStringList({"002", "001"}));
  EXPECT_EQ(form->cdsAddProduto.recNo(), 1);
  EXPECT_EQ(form->cdsAddProduto.asText("NRCONTCUPOMFISC"), "");
  EXPECT_TRUE(form->cdsAddProduto.isNull("VRPEALIMPFIS"));
  EXPECT_EQ(form->lblTotal->text(), "15,00");
}

TEST_F(Adding, CustomerDataAskedWhenTheParametersWantIt) {
  stSolicitaCPF = "S";
  addItem("2");
  ASSERT_EQ(dialogs.size(), 1u);
  expectArgs(dialogs[0].args, {"", "", "", "", "", "", "001", "S", 10});
  expectArgs(printer[0].args, {"001", 0, "Cliente", "12345678909", "Rua A, 1", "", "", "", "",
                               "", "", "", "", "", false});
}

TEST_F(Adding, CouponRefusedChangesNothingAndTheNextTouchTriesAgain) {
  openAnswer = false;
  form->ValidaProd("1");
  form->bldAddProdClick(form->bldAddProd);
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(boCupomAberto);
  EXPECT_EQ(form->bldCodigo->text(), "A100");
  EXPECT_FALSE(form->cdsAddProduto.active());
  openAnswer = true;
  form->bldAddProdClick(form->bldAddProd);
  EXPECT_TRUE(boCupomAberto);
  EXPECT_EQ(form->cdsAddProduto.recordCount(), 1);
}

TEST_F(Adding, ItemRefusedByThePrinter) {
  addItem("1");
  itemAnswer = false;
  addItem("2");
  EXPECT_EQ(lastMessage(), "Último item será cancelado e deverá ser registrado novamente.");
  EXPECT_FALSE(form->bldAddProd->isEnabled());
  EXPECT_EQ(form->bldCodigo->text(), "");
  EXPECT_EQ(form->cdsAddProduto.recordCount(), 1);
  EXPECT_EQ(form->lblTotal->text(), "10,00");
  EXPECT_TRUE(boCupomAberto);
  form->ValidaProd("2");
  EXPECT_TRUE(form->bldAddProd->isEnabled());
}

// After moving up the list the next number still follows the highest one, so cancelling
// either item sends the printer a number only that item has.
TEST_F(Adding, ItemNumbersNeverRepeatAndRestartAfterAReset) {
  addItem("1");
  addItem("2");
  addItem("2");
  EXPECT_EQ(column(form->cdsAddProduto, "NRSEQ"), QStringList({"003", "002", "001"}));
  form->bldAbaixoClick(nullptr);
  form->bldAbaixoClick(nullptr);  // on 001
  addItem("1");
  EXPECT_EQ(column(form->cdsAddProduto, "NRSEQUITVENDA"),
            QStringList({"003", "002", "004", "001"}));
  EXPECT_EQ(form->cdsAddProduto.asText("NRSEQ"), "004");

  form->cdsAddProduto.emptyDataSet();
  form->lblTotal->clear();
  addItem("2");
  EXPECT_EQ(column(form->cdsAddProduto, "NRSEQ"), QStringList({"001"}));
  EXPECT_EQ(form->lblTotal->text(), "2,50");
}

TEST_F(Adding, SaleTotalIsReadBackWithItsGrouping) {
  addItem("1");
  form->lblTotal->setText("999,00");
  addItem("2", "0,8");
  EXPECT_EQ(form->lblTotal->text(), "1.001,00");
  addItem("1");
  EXPECT_EQ(form->lblTotal->text(), "1.011,00");
}

TEST_F(Adding, FinishButtonAndChangeFollowTheReceivedTotal) {
  doTotal = 50;
  addItem("1", "3");
  EXPECT_TRUE(form->bldGravar->isEnabled());
  EXPECT_EQ(form->lblValTroco->text(), "20,00");
  addItem("1", "3");
  EXPECT_FALSE(form->bldGravar->isEnabled());
  EXPECT_EQ(form->lblValTroco->text(), "0,00");
}

TEST_F(Adding, QuantityThatIsNotANumberReachesTheErrorReport) {
  form->ValidaProd("1");
  form->bldQuant->setText("abc");
  stQuant = "abc";
  click(form->bldAddProd);
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains("abc"));
  EXPECT_TRUE(form->cdsAddProduto.isEmpty());
}

}  // namespace
}  // namespace saletest
