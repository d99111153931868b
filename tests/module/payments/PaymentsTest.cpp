// Payment entry and the payment list: totals, change and "Gerar Cupom".
#include "framework/text/NumberText.h"
#include "module/items/SaleScreenTest.h"

namespace saletest {
namespace {

class Payments : public SaleScreenTest {
 protected:
  void sale(const QString& total) {  // one item, the sale total as lblTotal shows it
    addItem("1");
    form->lblTotal->setText(total);
  }
  void pay(const QString& amount, int typeRow = 1) {
    searchRow = typeRow;
    form->bldCodReceClick(nullptr);
    keypadText = amount;
    form->bldValorReceClick(nullptr);
    form->bldAddReceClick(nullptr);
  }
  QString totals() const {  // received | change | Gerar Cupom
    return form->lblTotRecebido->text() + "|" + form->lblValTroco->text() + "|" +
           (form->bldGravar->isEnabled() ? "on" : "off");
  }
};

TEST_F(Payments, TypeAndAmountEntry) {
  form->bldValorReceClick(nullptr);  // no type: no keypad, no message
  EXPECT_TRUE(dialogs.empty());
  searchRow = 2;
  form->bldCodReceClick(nullptr);
  expectArgs(dialogs[0].args, {"cdsRecebAux", 0, 0, 0, 0, 0, 0, 0, 3});  // only the shown types
  EXPECT_EQ(form->bldCodRece->text(), "03 - CARTAO");
  EXPECT_EQ(form->cdsRecebAux.filter(), "(IDMOSTRARECE = 'S')");
  EXPECT_TRUE(form->cdsRecebAux.filtered());

  keypadText = "10,557";
  form->bldValorReceClick(nullptr);
  expectArgs(dialogs.back().args, {"", "Recebimento", "Valor do Recebimento",
                                   "Valor do Recebimento deve ser informado.", 20, 1, 1, 0, 0, 0});
  EXPECT_EQ(form->bldValorRece->text(), "R$10,56");
  EXPECT_EQ(doValorRece, 10.557);
  keypadText = "1234,5";
  form->bldValorReceClick(nullptr);
  keypadAnswer = false;
  form->bldValorReceClick(nullptr);
  EXPECT_EQ(form->bldValorRece->text(), "R$1.234,50");

  searchRow = 3;  // a type without a code counts as no choice
  form->bldCodReceClick(nullptr);
  EXPECT_EQ(form->bldCodRece->text(), "");
  searchRow = 1;
  form->bldCodReceClick(nullptr);
  searchAnswer = false;
  form->bldCodReceClick(nullptr);
  EXPECT_EQ(form->bldCodRece->text(), "");
  EXPECT_EQ(doValorRece, 1234.5);
  EXPECT_TRUE(messages.empty());
}

TEST_F(Payments, BadAmountsAreRefusedAndChangeNothing) {
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
  form->bldAddReceClick(nullptr);  // no item: the entry goes too
  EXPECT_EQ(lastMessage(), "Não existem produtos vendidos.");
  EXPECT_EQ(form->bldCodRece->text() + form->bldValorRece->text(), "");
  sale("10,00");
  form->bldAddReceClick(nullptr);
  EXPECT_EQ(lastMessage(), "Recebimento deve ser informado.");
  form->bldCodRece->setText("01 - DINHEIRO");
  form->bldAddReceClick(nullptr);
  EXPECT_EQ(lastMessage(), "Valor do Recebimento deve ser informado.");
  form->bldValorRece->setText("R$5,00");
  form->lblTotal->setText("0,00");  // every item cancelled: refused, entry kept
  form->bldAddReceClick(nullptr);
  EXPECT_EQ(lastMessage(), "Não existem produtos vendidos.");
  EXPECT_EQ(form->bldCodRece->text(), "01 - DINHEIRO");
  EXPECT_FALSE(form->cdsReceb.active());
  EXPECT_EQ(doTotal, 0.0);
}

TEST_F(Payments, RowTotalsChangeAndFinishButton) {
  sale("50,00");
  stCdCliente = "C9";
  pay("20");
  expectRow(form->cdsReceb, {{"CDFILIAL", "0001"},
                             {"CDTIPORECE", "01"},
                             {"NMTIPORECE", "Dinheiro"},
                             {"IDTIPORECE", "1"},
                             {"NRORDTROCO", "001"},
                             {"CDTIPOTROCO", "01"},
                             {"DSIMPFISCAL", "Dinheiro"},
                             {"IDTIPOMOVIVE", "E"},
                             {"VRMOVIVEND", 20.0},
                             {"VRMOVIVEOUT", 0.0},
                             {"VRCOTINDOUT", 0.0},
                             {"CDCLIENTE", "C9"},
                             {"CDFPIMPFIS", Variant()},
                             {"CDBANCARTCR", Variant()},
                             {"DTMOVIMCAIXA", Variant::dateTime(fw::todayDateTime())}});
  EXPECT_GE(form->cdsReceb.asDateTime("DTHRINCMOV"), fw::todayDateTime());
  EXPECT_EQ(totals(), "20,00|0,00|off");  // the change left by the item stays
  EXPECT_EQ(form->bldCodRece->text() + form->bldValorRece->text(), "");
  pay("40");
  EXPECT_EQ(totals(), "60,00|10,00|on");

  sale("110,00");
  form->lblValTroco->setText("x");
  pay("50,004");  // equal once cut to cents: no change shown, enabled
  EXPECT_EQ(totals(), "110,00|x|on");
  sale("1.250,00");
  pay("1190");
  EXPECT_EQ(totals(), "1.300,00|50,00|on");
  const auto fields = TfrmVendaArquivo::paymentListFields();
  ASSERT_EQ(fields.size(), 20u);
  EXPECT_EQ(fields[3].label + (fields[6].visible ? "+" : "-") + (fields[7].visible ? "+" : "-"),
            "ID Recebimento-+");
}

// Each new row goes before the row the forward move reached: P1, P2, P3 stand P2, P3, P1.
TEST_F(Payments, RowOrderAndScrolling) {
  sale("100,00");
  for (const char* amount : {"1", "2", "3"}) pay(amount);
  EXPECT_EQ(column(form->cdsReceb, "VRMOVIVEND"), QStringList({"2", "3", "1"}));
  form->bldRolarCimaClick(nullptr);
  form->bldRolarCimaClick(nullptr);
  EXPECT_EQ(form->cdsReceb.recNo(), 1);
  pay("4");
  EXPECT_EQ(column(form->cdsReceb, "VRMOVIVEND"), QStringList({"2", "4", "3", "1"}));
  for (int i = 0; i < 4; ++i) form->bldRolarBaixoClick(nullptr);
  EXPECT_EQ(form->cdsReceb.recNo(), 4);
}

// Removing re-applies the finish rule: the sale must not stay ready to close short.
TEST_F(Payments, RemovingPayments) {
  sale("50,00");
  pay("30");
  pay("40");
  confirmAnswer = false;
  form->bldCancelaReceClick(nullptr);
  expectArgs(messages.back().args, {"", "N", "S", 0, "", "001", 0, true});
  EXPECT_EQ(lastMessage(), "Confirma a exclusão do recebimento?");
  EXPECT_EQ(form->cdsReceb.recordCount(), 2);
  confirmAnswer = true;
  form->cdsReceb.setRecNo(1);  // the 40
  form->bldCancelaReceClick(nullptr);
  EXPECT_EQ(totals(), "30,00|0,00|off");
  form->bldCancelaReceClick(nullptr);
  EXPECT_FALSE(form->cdsReceb.active());
  const auto asked = messages.size();
  form->bldCancelaReceClick(nullptr);  // nothing left: no question
  EXPECT_EQ(messages.size(), asked);
  pay("60");  // the list is made anew
  EXPECT_EQ(totals(), "60,00|10,00|on");
}

}  // namespace
}  // namespace saletest
