// Payment entry and the payment list: totals, change and "Gerar Cupom".
#include <optional>

#include "framework/text/NumberText.h"
#include "module/items/SaleScreenTest.h"
#include "support/ScopedCLocale.h"

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
    expectArgs(messages[0].args(), {"", "N", "N", 3, "", "001", 0, true});
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
  for (int i = 0; i < 2; ++i) {  // not open yet, and closed again: the arrows do nothing
    form->runHandler([this] { form->bldRolarCimaClick(nullptr); });
    form->runHandler([this] { form->bldRolarBaixoClick(nullptr); });
    form->cdsReceb.declareFields(TfrmVendaArquivo::paymentListFields());
    form->cdsReceb.createDataSet();
    form->cdsReceb.close();
  }
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
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
  expectArgs(messages.back().args(), {"", "N", "S", 0, "", "001", 0, true});
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

// The money rule under both C library locales a till may run with: every amount counts as
// the cents the screen shows, so totals, change and "Gerar Cupom" agree with what is read.
class Money : public Payments, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    Payments::SetUp();
    locale.emplace(GetParam());
    ASSERT_TRUE(locale->ok()) << GetParam() << " is not installed (scripts/setup.sh generates it)";
    addProduct({"P3", "P3", "Três", 3.0, "UN", "", "", "", "", Variant()});
    addProduct({"P999", "P999", "Nove e noventa e nove", 9.99, "UN", "", "", "", "", Variant()});
    addProduct({"P099", "P099", "Bala", 0.99, "UN", "", "", "", "", Variant()});
    for (const char* code : {"P3", "P999", "P099"}) addTaxRow(code, 18, "T");
  }
  void TearDown() override {
    locale.reset();
    Payments::TearDown();
  }
  std::optional<ScopedCLocale> locale;
};

INSTANTIATE_TEST_SUITE_P(Locales, Money, ::testing::ValuesIn(ScopedCLocale::kTillLocales));

TEST_P(Money, CashPaymentsGiveChangeAndFinish) {
  addItem("P3");
  pay("10");
  EXPECT_EQ(form->lblTotal->text() + "|" + totals(), "3,00|10,00|7,00|on");
  form->LimpaRegistro();
  addItem("P999");
  pay("10");
  EXPECT_EQ(form->lblTotal->text() + "|" + totals(), "9,99|10,00|0,01|on");
  form->LimpaRegistro();
  addItem("1");
  form->lblTotal->setText("10,56");
  pay("10,557");  // shown as 10,56: it counts as 10,56
  EXPECT_EQ(totals(), "10,56|0,00|on");
  EXPECT_EQ(form->cdsReceb.asNumber("VRMOVIVEND"), 10.56);
  EXPECT_EQ(doTotal, 10.56);
}

TEST_P(Money, CancellingAnItemTakesOffWhatItPutOn) {
  addItem("P099", "0,5");
  EXPECT_EQ(form->lblTotal->text(), "0,50");
  EXPECT_EQ(form->cdsAddProduto.asNumber("VRTOTVEND"), 0.5);
  form->bldCancelClick(nullptr);
  EXPECT_EQ(form->lblTotal->text(), "0,00");
  EXPECT_FALSE(form->bldGravar->isEnabled());
  pay("1");  // every item cancelled: no payment
  EXPECT_EQ(lastMessage(), "Não existem produtos vendidos.");
  EXPECT_FALSE(form->cdsReceb.active());
}

TEST_P(Money, ReceivedTotalStaysOnTheCent) {
  sale("1,20");
  pay("0,1");
  pay("1,1");
  EXPECT_EQ(doTotal, 1.2);  // not 1.2000000000000002
  EXPECT_EQ(totals(), "1,20|0,00|on");
  form->cdsReceb.setRecNo(1);  // the 1,10
  form->bldCancelaReceClick(nullptr);
  EXPECT_EQ(doTotal, 0.1);
  EXPECT_EQ(totals(), "0,10|0,00|off");
  form->LimpaRegistro();
  sale("0,80");
  pay("0,7");
  pay("0,1");  // 0.7 + 0.1 is 0.7999999999999999 in doubles: the cents decide
  EXPECT_EQ(totals(), "0,80|0,00|on");
}

}  // namespace
}  // namespace saletest
