// Payment entry and the payment list: totals, change and "Gerar Cupom".
#include "module/items/SaleScreenTest.h"

#include "framework/text/NumberText.h"

namespace saletest {
namespace {

class Payments : public SaleScreenTest {
 protected:
  // Sale total `total` (as lblTotal shows it) with one item on the list.
  void sale(const QString& total) {
    addItem("1");
    form->lblTotal->setText(total);
  }
  // Prepares and adds a payment of type row `row` (1-based among the shown types).
  void pay(const QString& amount, int row = 1) {
    searchRow = row;
    form->bldCodReceClick(form->bldCodRece);
    keypadText = amount;
    form->bldValorReceClick(form->bldValorRece);
    form->bldAddReceClick(form->bldAddRece);
  }
};

TEST_F(Payments, TypeButtonOffersOnlyShownTypes) {
  searchRow = 2;
  click(form->bldCodRece);
  expectArgs(dialogs[0].args, {"cdsRecebAux", 0, 0, 0, 0, 0, 0, 0, 3});
  EXPECT_EQ(form->bldCodRece->text(), "03 - CARTAO");
  EXPECT_EQ(form->cdsRecebAux.filter(), "(IDMOSTRARECE = 'S')");
  EXPECT_TRUE(form->cdsRecebAux.filtered());

  searchRow = 3;  // a type without a code counts as no choice
  form->bldCodReceClick(nullptr);
  EXPECT_EQ(form->bldCodRece->text(), "");
  searchRow = 1;
  form->bldCodReceClick(nullptr);
  searchAnswer = false;
  form->bldCodReceClick(nullptr);
  EXPECT_EQ(form->bldCodRece->text(), "");
}

TEST_F(Payments, AmountNeedsATypeAndKeepsItsUnroundedValue) {
  click(form->bldValorRece);
  EXPECT_TRUE(dialogs.empty());

  form->bldCodReceClick(nullptr);
  EXPECT_EQ(form->bldCodRece->text(), "01 - DINHEIRO");
  keypadText = "10,557";
  click(form->bldValorRece);
  expectArgs(dialogs.back().args, {"", "Recebimento", "Valor do Recebimento",
                                   "Valor do Recebimento deve ser informado.", 20, 1, 1, 0, 0, 0});
  EXPECT_EQ(form->bldValorRece->text(), "R$10,56");
  EXPECT_EQ(doValorRece, 10.557);
  keypadText = "1234,5";
  form->bldValorReceClick(nullptr);
  EXPECT_EQ(form->bldValorRece->text(), "R$1.234,50");
  keypadAnswer = false;
  form->bldValorReceClick(nullptr);
  EXPECT_EQ(form->bldValorRece->text(), "R$1.234,50");
  EXPECT_EQ(doValorRece, 1234.5);
  EXPECT_TRUE(messages.empty());
}

TEST_F(Payments, BadAmountsAreRefusedWithAMessageAndChangeNothing) {
  form->bldCodReceClick(nullptr);
  keypadText = "5";
  form->bldValorReceClick(nullptr);
  for (const char* bad : {"", "abc", "1,2,3", "1e400", "1000000000", "-1000000000"}) {
    messages.clear();
    keypadText = bad;
    form->bldValorReceClick(nullptr);
    ASSERT_EQ(messages.size(), 1u) << bad;
    expectArgs(messages[0].args, {"", "N", "N", 3, "", "001", 0, true});
    EXPECT_EQ(form->bldValorRece->text(), "R$5,00") << bad;
    EXPECT_EQ(doValorRece, 5.0) << bad;
  }
  EXPECT_TRUE(lastMessage().startsWith("Valor acima do permitido: -1000000000."));
  keypadText = "999999999,99";
  form->bldValorReceClick(nullptr);
  EXPECT_EQ(form->bldValorRece->text(), "R$999.999.999,99");
}

TEST_F(Payments, RefusalsInOrder) {
  form->bldCodRece->setText("01 - DINHEIRO");
  form->bldValorRece->setText("R$5,00");
  click(form->bldAddRece);  // no item yet: the entry goes too
  EXPECT_EQ(lastMessage(), "Não existem produtos vendidos.");
  EXPECT_EQ(form->bldCodRece->text(), "");
  EXPECT_EQ(form->bldValorRece->text(), "");

  sale("10,00");
  form->bldAddReceClick(nullptr);
  EXPECT_EQ(lastMessage(), "Recebimento deve ser informado.");
  form->bldCodRece->setText("01 - DINHEIRO");
  form->bldAddReceClick(nullptr);
  EXPECT_EQ(lastMessage(), "Valor do Recebimento deve ser informado.");
  form->bldValorRece->setText("R$5,00");
  form->lblTotal->setText("0,00");  // every item cancelled
  form->bldAddReceClick(nullptr);
  EXPECT_EQ(lastMessage(), "Não existem produtos vendidos.");
  EXPECT_EQ(form->bldCodRece->text(), "01 - DINHEIRO");
  EXPECT_FALSE(form->cdsReceb.active());
  EXPECT_EQ(doTotal, 0.0);
}

TEST_F(Payments, RowCarriesTheTypeAndTheAmount) {
  sale("50,00");
  stCdCliente = "C9";
  pay("20");
  fw::LocalTable& r = form->cdsReceb;
  ASSERT_EQ(r.recordCount(), 1);
  const std::vector<std::pair<const char*, Variant>> expected{
      {"CDFILIAL", "0001"}, {"CDTIPORECE", "01"}, {"NMTIPORECE", "Dinheiro"}, {"IDTIPORECE", "1"},
      {"NRORDTROCO", "001"}, {"CDTIPOTROCO", "01"}, {"DSIMPFISCAL", "Dinheiro"},
      {"IDTIPOMOVIVE", "E"}, {"VRMOVIVEND", 20.0}, {"VRMOVIVEOUT", 0.0}, {"VRCOTINDOUT", 0.0},
      {"CDCLIENTE", "C9"}, {"CDCONSUMIDOR", ""}, {"CDFPIMPFIS", ""}, {"CDTIPORECEORIG", ""}};
  for (const auto& [field, value] : expected) {
    EXPECT_TRUE(storedAs(r.asVariant(field), value)) << field << ": " << r.asVariant(field).debugText().toStdString();
  }
  EXPECT_EQ(r.asDateTime("DTMOVIMCAIXA"), fw::todayDateTime());
  EXPECT_GE(r.asDateTime("DTHRINCMOV"), fw::todayDateTime());
  const auto fields = TfrmVendaArquivo::paymentListFields();
  ASSERT_EQ(fields.size(), 20u);
  EXPECT_EQ(fields[3].label, "ID Recebimento");
  EXPECT_FALSE(fields[6].visible);
  EXPECT_TRUE(fields[7].visible);
}

TEST_F(Payments, TotalsChangeAndFinishButton) {
  sale("50,00");
  pay("20");
  EXPECT_EQ(form->lblTotRecebido->text(), "20,00");
  EXPECT_EQ(form->lblValTroco->text(), "0,00");  // left by the item, untouched
  EXPECT_FALSE(form->bldGravar->isEnabled());
  EXPECT_EQ(form->bldCodRece->text(), "");
  EXPECT_EQ(form->bldValorRece->text(), "");
  EXPECT_EQ(doValorRece, 20.0);
  pay("40");
  EXPECT_EQ(form->lblTotRecebido->text(), "60,00");
  EXPECT_EQ(form->lblValTroco->text(), "10,00");
  EXPECT_TRUE(form->bldGravar->isEnabled());
}

TEST_F(Payments, CentsAreCutBeforeComparing) {
  sale("50,00");
  form->lblValTroco->setText("x");
  pay("50,004");
  EXPECT_EQ(form->lblValTroco->text(), "x");
  EXPECT_TRUE(form->bldGravar->isEnabled());
  sale("1.250,00");
  pay("1249,996");
  EXPECT_EQ(form->lblValTroco->text(), "50,00");
  EXPECT_TRUE(form->bldGravar->isEnabled());
}

TEST_F(Payments, NewRowsGoBeforeTheRowAfterTheCursor) {
  sale("100,00");
  pay("1");
  pay("2");
  pay("3");
  EXPECT_EQ(column(form->cdsReceb, "VRMOVIVEND"), QStringList({"2", "3", "1"}));
  click(form->bldRolarCima);
  click(form->bldRolarCima);
  EXPECT_EQ(form->cdsReceb.recNo(), 1);
  pay("4");
  EXPECT_EQ(column(form->cdsReceb, "VRMOVIVEND"), QStringList({"2", "4", "3", "1"}));
  for (int i = 0; i < 5; ++i) click(form->bldRolarBaixo);
  EXPECT_EQ(form->cdsReceb.recNo(), 4);
  EXPECT_TRUE(errors.isEmpty());
}

// Removing a payment re-applies the finish rule: a sale with less received than due must
// not stay ready to close.
TEST_F(Payments, RemovingAPaymentRecomputesEverything) {
  sale("50,00");
  pay("30");
  pay("40");
  ASSERT_TRUE(form->bldGravar->isEnabled());
  confirmAnswer = false;
  click(form->bldCancelaRece);
  EXPECT_EQ(form->cdsReceb.recordCount(), 2);
  expectArgs(messages.back().args, {"", "N", "S", 0, "", "001", 0, true});
  EXPECT_EQ(lastMessage(), "Confirma a exclusão do recebimento?");

  confirmAnswer = true;
  form->cdsReceb.setRecNo(1);  // the 40
  form->bldCancelaReceClick(nullptr);
  EXPECT_EQ(doTotal, 30.0);
  EXPECT_EQ(form->lblTotRecebido->text(), "30,00");
  EXPECT_EQ(form->lblValTroco->text(), "0,00");
  EXPECT_FALSE(form->bldGravar->isEnabled());

  form->bldCancelaReceClick(nullptr);
  EXPECT_FALSE(form->cdsReceb.active());
  EXPECT_EQ(form->lblTotRecebido->text(), "0,00");
  const auto asked = messages.size();
  form->bldCancelaReceClick(nullptr);  // nothing left: no question
  EXPECT_EQ(messages.size(), asked);

  pay("60");
  EXPECT_EQ(form->cdsReceb.recordCount(), 1);
  EXPECT_EQ(form->lblValTroco->text(), "10,00");
  EXPECT_TRUE(form->bldGravar->isEnabled());
}

}  // namespace
}  // namespace saletest
