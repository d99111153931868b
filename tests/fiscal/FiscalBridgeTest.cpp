#include "FiscalFixture.h"
#include "fiscal/FiscalPackage.h"
#include "support/OutsideRecorder.h"

namespace fiscal::test {
namespace {

class Bridge : public FiscalFixture {
 protected:
  void SetUp() override {
    FiscalFixture::SetUp();
    fakes.installMessages();
    bridge = std::make_unique<FiscalBridge>(dir.path(), fixedNow);
    bridge->publish();
  }

  bool open(fw::Variant* bagOut = nullptr, const QString& document = {}) {
    fw::Variant bag = openingBag(document);
    const bool ok = outside::AbreCupom(bag);
    if (bagOut) *bagOut = bag;
    return ok;
  }
  bool sell(const QString& code, const QString& description, const QString& taxCode,
            double quantity, double price, const QString& taxType = "T") {
    fw::Variant bag = itemBag(code, description, taxCode, taxType, quantity, price);
    return outside::VendaItem(bag);
  }

  testsupport::OutsideRecorder fakes;
  std::vector<testsupport::ShownMessage>& shown = fakes.messages;
  std::unique_ptr<FiscalBridge> bridge;
};

TEST_F(Bridge, OpeningLeavesTheCouponNumberAndCounterInTheBag) {
  fw::Variant bag;
  ASSERT_TRUE(open(&bag));
  EXPECT_EQ(outside::RecebeParams(bag, "CUPNR").toText(), "000001");
  EXPECT_EQ(outside::RecebeParams(bag, "CONTCUPOM").toText(), "000001");
  EXPECT_TRUE(shown.empty());
}

TEST_F(Bridge, EveryRefusalIsShownToTheCashierInTheInformationShapeAndPrinted) {
  ASSERT_TRUE(open());
  fw::Variant again = openingBag();
  EXPECT_FALSE(outside::AbreCupom(again));
  EXPECT_TRUE(outside::RecebeParams(again, "CUPNR").isNull());
  EXPECT_FALSE(sell("1", "Produto", "77", 1, 1));
  EXPECT_FALSE(cancelItem("001"));

  ASSERT_EQ(shown.size(), 3u);
  const testsupport::ShownMessage& m = shown[0];
  EXPECT_EQ(m.text,
            "Já existe um cupom fiscal aberto na impressora (COO 000001). "
            "Cancele-o antes de abrir outro.");
  EXPECT_EQ(m.a2, "");
  EXPECT_EQ(m.a3, "N");
  EXPECT_EQ(m.confirm, "N");
  EXPECT_EQ(m.kind, 3);
  EXPECT_EQ(m.a6, "");
  EXPECT_EQ(m.idEsquema, "002");
  EXPECT_EQ(m.a8, 0);
  EXPECT_EQ(m.table, nullptr);
  EXPECT_EQ(shown[1].text, "Alíquota \"77\" não programada na impressora fiscal.");
  EXPECT_EQ(shown[2].text, "Item 001 não existe no cupom aberto (COO 000001).");
  for (const testsupport::ShownMessage& s : shown) {
    EXPECT_TRUE(tape().contains(TapeText::wrap(s.text, TapeText::kWidth).join('\n')));
  }
}

TEST_F(Bridge, RefusalsAnswerFalseWithoutAMessageDialogInstalled) {
  outside::Mensagem = nullptr;
  EXPECT_FALSE(cancelItem("001"));
}

TEST_F(Bridge, AfterARestartTheOpenCouponIsCancelledOnlyWhenTheScreenMeansIt) {
  ASSERT_TRUE(open());
  ASSERT_TRUE(sell("1", "Produto", "01", 1, 5));
  bridge.reset();

  FiscalBridge restarted(dir.path(), fixedNow);
  restarted.publish();
  EXPECT_FALSE(open());
  // A screen that believes no coupon is open asks for the last closed one: refused, with
  // the open coupon named, and nothing cancelled.
  fw::Variant answer = fw::Variant::emptyArray(10);
  shown.clear();
  EXPECT_FALSE(outside::Cancela_Cupom_Imp(cancelValues(false), answer));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0].text.contains("há um cupom fiscal aberto na impressora (COO 000001)"))
      << shown[0].text.toStdString();
  EXPECT_TRUE(restarted.printer().memory().open.has_value());

  EXPECT_TRUE(outside::Cancela_Cupom_Imp(cancelValues(true), answer));
  EXPECT_EQ(answer.at(0).toText(), "000001");
  // Now none is open: asked for an open one, the printer refuses.
  EXPECT_FALSE(outside::Cancela_Cupom_Imp(cancelValues(true), answer));
  EXPECT_TRUE(shown.back().text.endsWith("não há cupom fiscal aberto na impressora."))
      << shown.back().text.toStdString();
  fw::Variant bag;
  ASSERT_TRUE(open(&bag));
  EXPECT_EQ(outside::RecebeParams(bag, "CUPNR").toText(), "000002");
}

TEST_F(Bridge, AnUnreadablePaymentListRefusesTheClosingAndKeepsTheCouponOpen) {
  ASSERT_TRUE(open());
  ASSERT_TRUE(sell("1", "Produto", "01", 1, 5));
  fw::Variant answer = fw::Variant::emptyArray(10);
  EXPECT_FALSE(outside::FechaCupom(closingValues(fw::Variant::packet("not a packet")), 0, answer));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0].text.startsWith("Lista de recebimentos ilegível"))
      << shown[0].text.toStdString();
  EXPECT_TRUE(bridge->printer().memory().open.has_value());
  EXPECT_TRUE(answer.at(0).isNull());

  EXPECT_TRUE(outside::FechaCupom(closingValues(paymentPacket({{"Dinheiro", 5}})), 0, answer));
  EXPECT_EQ(answer.at(0).toText(), "000001");
  EXPECT_EQ(answer.at(2).toNumber(), 5.0);
}

TEST_F(Bridge, ArgumentListsOfAnotherShapeAreTheHostsError) {
  fw::Variant itemAsOpening = itemBag("1", "Produto", "01", "T", 1, 1);
  EXPECT_THROW(outside::AbreCupom(itemAsOpening), fw::Error);
  fw::Variant answer = fw::Variant::emptyArray(10);
  EXPECT_THROW(outside::FechaCupom(fw::VariantList(58), 0, answer), fw::Error);
  EXPECT_THROW(outside::Cancela_Cupom_Imp(fw::VariantList(7), answer), fw::Error);
}

TEST_F(Bridge, InstallingThePackageFillsTheSixVariablesAndUninstallingEmptiesThem) {
  outside::resetAll();
  install(dir.path());
  EXPECT_TRUE(outside::AbreCupom && outside::VendaItem && outside::Cancela_ItGenerico &&
              outside::FechaCupom && outside::Cancela_Cupom_Imp && outside::Estado_Impressora);
  ASSERT_NE(installedBridge(), nullptr);
  EXPECT_TRUE(open());
  uninstall();
  EXPECT_FALSE(outside::AbreCupom || outside::VendaItem || outside::Cancela_ItGenerico ||
               outside::FechaCupom || outside::Cancela_Cupom_Imp || outside::Estado_Impressora);
  EXPECT_EQ(installedBridge(), nullptr);
}

// The status question: the open coupon with its items, the last closed and the last
// cancelled coupon; nothing printed. A blocked printer cannot answer.
TEST_F(Bridge, StatusTellsTheOpenCouponItsItemsAndTheLastClosedAndCancelled) {
  const auto ask = [] {
    fw::Variant answer = fw::Variant::emptyArray(outside::status::kCount);
    EXPECT_TRUE(outside::Estado_Impressora(QStringLiteral("001"), answer));
    return answer;
  };
  fw::Variant empty = ask();
  EXPECT_EQ(empty.at(0).toText(), "");
  EXPECT_EQ(empty.at(1).size(), 0);
  ASSERT_TRUE(open());
  ASSERT_TRUE(sell("1", "Um", "01", 1, 10));
  ASSERT_TRUE(sell("2", "Dois", "01", 1, 5));
  ASSERT_TRUE(cancelItem("002"));
  const QString tapeBefore = tape();
  fw::Variant answer = ask();
  EXPECT_EQ(answer.at(0).toText(), "000001");
  ASSERT_EQ(answer.at(1).size(), 2);
  EXPECT_EQ(answer.at(1).at(1).at(0).toText(), "002");
  EXPECT_TRUE(answer.at(1).at(1).at(1).toFlag());
  EXPECT_FALSE(answer.at(1).at(0).at(1).toFlag());
  EXPECT_EQ(tape(), tapeBefore);
  fw::Variant closing = fw::Variant::emptyArray(10);
  ASSERT_TRUE(outside::FechaCupom(closingValues(paymentPacket({{"Dinheiro", 10}})), 0, closing));
  ASSERT_TRUE(open());
  ASSERT_TRUE(outside::Cancela_Cupom_Imp(cancelValues(true), closing));
  answer = ask();
  EXPECT_EQ(answer.at(0).toText(), "");
  EXPECT_EQ(answer.at(2).toText(), "000001");
  EXPECT_EQ(answer.at(3).toText(), "000002");

  ASSERT_TRUE(QFile::remove(dir.filePath("ImpressoraFiscal.json")) &&
              QFile::remove(dir.filePath("ImpressoraFiscal.copia.json")));
  fw::Variant blocked = fw::Variant::emptyArray(4);
  EXPECT_FALSE(outside::Estado_Impressora(QStringLiteral("001"), blocked));
  ASSERT_FALSE(shown.empty());
  EXPECT_TRUE(shown.back().text.contains("não encontrada")) << shown.back().text.toStdString();
}

TEST_F(Bridge, TheTapeOfAWholeSale) {
  ASSERT_TRUE(open(nullptr, "12345678909"));
  ASSERT_TRUE(sell("7891234567895", "1700100#10063021#Arroz Tipo 1 5kg", "01", 2.5, 12.9));
  ASSERT_TRUE(sell("123", "Refrigerante lata 350ml", "", 1, 4.99, "F"));
  ASSERT_TRUE(sell("7890000000017", "22010000#Água mineral sem gás garrafa 500ml", "02", 3, 1.5));
  ASSERT_TRUE(cancelItem("002"));

  fw::VariantList values =
      closingValues(paymentPacket({{"Dinheiro", 20}, {"Cartão de débito", 20}}));
  values[1] = fw::Variant(QStringLiteral("MD-5: 0123456789ABCDEF0123456789ABCDEF"));
  values[10] = fw::Variant(QStringLiteral("Volte sempre!"));
  values[22] = fw::Variant(QStringLiteral("001"));
  values[23] = fw::Variant(QStringLiteral("Maria"));
  values[41] = fw::Variant(QStringLiteral("001"));
  values[43] = fw::Variant(QStringLiteral("SP"));
  values[45] = fw::Variant(QStringLiteral("123456789"));
  values[50] = fw::Variant(6.62);  // state
  values[51] = fw::Variant(4.1);   // federal
  values[58] = fw::Variant(0.5);   // municipal
  fw::Variant answer = fw::Variant::emptyArray(10);
  ASSERT_TRUE(outside::FechaCupom(values, 0, answer));

  const QString expected = QStringLiteral(
      "================================================\n"
      "ESQUEMA 002\n"
      "------------------------------------------------\n"
      "12/03/2024 10:15:00        CCF:000001 COO:000001\n"
      "CPF/CNPJ consumidor: 123.456.789-09\n"
      "------------------------------------------------\n"
      "                  CUPOM FISCAL\n"
      "ITEM CÓDIGO DESCRIÇÃO\n"
      "QTD. UN. VL.UNIT.(R$) ST             VL.ITEM(R$)\n"
      "------------------------------------------------\n"
      "001 7891234567895 Arroz Tipo 1 5kg\n"
      "    CEST 1700100 NCM 10063021\n"
      "    2,5 UN x 12,90 01                      32,25\n"
      "002 123 Refrigerante lata 350ml\n"
      "    1 UN x 4,99 F                           4,99\n"
      "003 7890000000017 Água mineral sem gás garrafa\n"
      "    500ml\n"
      "    NCM 22010000\n"
      "    3 UN x 1,50 02                          4,50\n"
      "CANCELAMENTO ITEM 002 123                  -4,99\n"
      "------------------------------------------------\n"
      "SUBTOTAL R$                                36,75\n"
      "TOTAL R$                                   36,75\n"
      "Dinheiro                                   20,00\n"
      "Cartão de débito                           20,00\n"
      "TROCO R$                                    3,25\n"
      "------------------------------------------------\n"
      "MD-5: 0123456789ABCDEF0123456789ABCDEF\n"
      "Volte sempre!\n"
      "Trib aprox R$ (Lei 12.741/2012):\n"
      "  Federal                                   4,10\n"
      "  Estadual                                  6,62\n"
      "  Municipal                                 0,50\n"
      "------------------------------------------------\n"
      "OPERADOR 001 Maria\n"
      "ECF 001  UF SP  IE 123456789\n"
      "12/03/2024 10:15:00                   COO:000001\n"
      "================================================\n");
  EXPECT_EQ(tape().toStdString(), expected.toStdString());
  EXPECT_EQ(answer.at(4).toNumber(), 3.25);
  EXPECT_EQ(bridge->printer().memory().grandTotalCents, 3675);
}

}  // namespace
}  // namespace fiscal::test
