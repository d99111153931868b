#include <cmath>
#include <limits>

#include "FiscalFixture.h"
#include "fiscal/PrinterMemory.h"

namespace fiscal::test {
namespace {

using PrinterRules = FiscalFixture;

TEST_F(PrinterRules, CouponsAreNumberedWithSixDigitsAndASecondOpenCouponIsRefused) {
  VirtualPrinter p = printer();
  const PrinterAnswer first = p.openCoupon({});
  ASSERT_TRUE(first.accepted) << first.reason.toStdString();
  EXPECT_EQ(first.coo, "000001");
  EXPECT_EQ(first.ccf, "000001");

  const PrinterAnswer second = p.openCoupon({});
  EXPECT_FALSE(second.accepted);
  EXPECT_TRUE(
      second.reason.startsWith("Já existe um cupom fiscal aberto na impressora (COO 000001)"));
  EXPECT_EQ(p.memory().coo, 1);

  ASSERT_TRUE(p.sellItem(item()).accepted);
  ASSERT_TRUE(p.closeCoupon(paidWith({{"Dinheiro", 10}})).accepted);
  EXPECT_EQ(p.openCoupon({}).coo, "000002");
}

TEST_F(PrinterRules, CountersStartOverAfter999999) {
  VirtualPrinter p = printer();
  PrinterMemory m;
  m.coo = 999999;
  m.ccf = 999998;
  p.memoryStore().write(m);
  const PrinterAnswer a = p.openCoupon({});
  EXPECT_EQ(a.coo, "000001");
  EXPECT_EQ(a.ccf, "999999");
}

TEST_F(PrinterRules, ItemsNeedAnOpenCouponAPositiveQuantityAPriceNotBelowZeroAndAHeldRate) {
  VirtualPrinter p = printer();
  EXPECT_FALSE(p.sellItem(item()).accepted);

  ASSERT_TRUE(p.openCoupon({}).accepted);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double quantity : {0.0, -1.0, nan, 1.2345}) {
    const PrinterAnswer a = p.sellItem(item(quantity));
    EXPECT_FALSE(a.accepted) << quantity;
    EXPECT_TRUE(a.reason.startsWith("Quantidade inválida")) << a.reason.toStdString();
  }
  EXPECT_FALSE(p.sellItem(item(1, -0.01)).accepted);
  EXPECT_FALSE(p.sellItem(item(1, nan)).accepted);
  const PrinterAnswer unknownRate = p.sellItem(item(1, 10, "99"));
  EXPECT_FALSE(unknownRate.accepted);
  EXPECT_EQ(unknownRate.reason, "Alíquota \"99\" não programada na impressora fiscal.");
  EXPECT_FALSE(p.sellItem(item(1e12, 1e6)).accepted);  // beyond the totalizers

  // Refused items use no number; a zero price and an empty rate code are accepted.
  EXPECT_EQ(p.sellItem(item(1, 0)).itemNumber, "001");
  EXPECT_EQ(p.sellItem(item(1, 10, "")).itemNumber, "002");
  EXPECT_EQ(p.sellItem(item(1, 10, "02")).itemNumber, "003");
  ASSERT_EQ(p.memory().open->items.size(), 3u);
  EXPECT_EQ(p.memory().open->items[1].taxCode, "");
  EXPECT_EQ(p.memory().open->items[1].taxType, "T");

  // A coupon holds 999 items: the 999th is sold, the 1000th refused.
  PrinterMemory full = p.memory();
  while (full.open->items.size() < 998) full.open->items.push_back(full.open->items.front());
  p.memoryStore().write(full);
  EXPECT_EQ(p.sellItem(item()).itemNumber, "999");
  EXPECT_FALSE(p.sellItem(item()).accepted);
  EXPECT_EQ(p.memory().open->items.size(), 999u);
}

TEST_F(PrinterRules, WithoutTheRateFileOnlyTheEmptyRateCodeIsAccepted) {
  QDir(dir.filePath("dados")).removeRecursively();
  VirtualPrinter p = printer();
  ASSERT_TRUE(p.openCoupon({}).accepted);
  EXPECT_FALSE(p.sellItem(item(1, 10, "01")).accepted);
  EXPECT_TRUE(p.sellItem(item(1, 10, "")).accepted);
}

TEST_F(PrinterRules, AnItemIsCancelledOnceAndOnlyWhenItExists) {
  VirtualPrinter p = printer();
  EXPECT_FALSE(p.cancelItem("001").accepted);
  ASSERT_TRUE(p.openCoupon({}).accepted);
  ASSERT_TRUE(p.sellItem(item(1, 10)).accepted);
  ASSERT_TRUE(p.sellItem(item(2, 5.5)).accepted);

  EXPECT_EQ(p.cancelItem("003").reason, "Item 003 não existe no cupom aberto (COO 000001).");
  const PrinterAnswer cancelled = p.cancelItem("2");
  ASSERT_TRUE(cancelled.accepted);
  EXPECT_EQ(cancelled.itemNumber, "002");
  EXPECT_EQ(p.cancelItem("002").reason, "Item 002 já foi cancelado.");
  EXPECT_EQ(p.memory().open->liveTotalCents(), 1000);
}

TEST_F(PrinterRules, ClosingNeedsLiveItemsAndPaymentsCoveringTheTotalInCents) {
  VirtualPrinter p = printer();
  EXPECT_FALSE(p.closeCoupon(paidWith({{"Dinheiro", 10}})).accepted);

  ASSERT_TRUE(p.openCoupon({}).accepted);
  EXPECT_FALSE(p.closeCoupon(paidWith({{"Dinheiro", 10}})).accepted);  // no items
  ASSERT_TRUE(p.sellItem(item(1, 10)).accepted);
  ASSERT_TRUE(p.cancelItem("001").accepted);
  const PrinterAnswer allCancelled = p.closeCoupon(paidWith({{"Dinheiro", 10}}));
  EXPECT_FALSE(allCancelled.accepted);
  EXPECT_TRUE(allCancelled.reason.startsWith("Cupom sem itens vendidos"));

  // 3 × 3,3367 = 10,0101: the printer rounds the item to 10,01.
  ASSERT_TRUE(p.sellItem(item(3, 3.3367)).accepted);
  const PrinterAnswer shortBy = p.closeCoupon(paidWith({{"Dinheiro", 5}, {"PIX", 5}}));
  EXPECT_FALSE(shortBy.accepted);
  EXPECT_EQ(shortBy.reason, "Pagamento insuficiente: recebido R$ 10,00, total do cupom R$ 10,01.");
  EXPECT_FALSE(p.closeCoupon(paidWith({})).accepted);
  EXPECT_FALSE(p.closeCoupon(paidWith({{"Dinheiro", -1}, {"PIX", 20}})).accepted);
  EXPECT_TRUE(p.memory().open.has_value());

  // 0,1 + 0,2 + 9,71 is not exactly 10,01 in binary; in cents it is.
  const PrinterAnswer closed = p.closeCoupon(paidWith({{"A", 0.1}, {"B", 0.2}, {"C", 9.71}}));
  ASSERT_TRUE(closed.accepted) << closed.reason.toStdString();
  EXPECT_EQ(closed.totalCents, 1001);
  EXPECT_EQ(closed.changeCents, 0);
  const PrinterMemory m = p.memory();
  EXPECT_FALSE(m.open.has_value());
  ASSERT_TRUE(m.last.has_value());
  EXPECT_EQ(m.last->coo, "000001");
  EXPECT_FALSE(m.last->cancelled);
  EXPECT_EQ(m.grandTotalCents, 1001);
}

TEST_F(PrinterRules, CancellingTakesTheOpenCouponElseTheLastClosedOneAndNeverTwice) {
  VirtualPrinter p = printer();
  EXPECT_EQ(p.cancelCoupon({}).reason, "Não há cupom fiscal a cancelar na impressora.");

  ASSERT_TRUE(p.openCoupon({}).accepted);
  ASSERT_TRUE(p.sellItem(item(1, 7)).accepted);
  const PrinterAnswer open = p.cancelCoupon({});
  ASSERT_TRUE(open.accepted);
  EXPECT_EQ(open.coo, "000001");
  EXPECT_TRUE(open.receiptCoo.isEmpty());
  EXPECT_EQ(p.cancelCoupon({}).reason,
            "Cancelamento não permitido: o cupom fiscal 000001 já foi cancelado.");

  ASSERT_TRUE(p.openCoupon({}).accepted);
  ASSERT_TRUE(p.sellItem(item(1, 20)).accepted);
  ASSERT_TRUE(p.closeCoupon(paidWith({{"Dinheiro", 20}})).accepted);
  const PrinterAnswer closed = p.cancelCoupon({});
  ASSERT_TRUE(closed.accepted);
  EXPECT_EQ(closed.coo, "000002");
  EXPECT_EQ(closed.receiptCoo, "000003");
  EXPECT_FALSE(p.cancelCoupon({}).accepted);

  const PrinterMemory m = p.memory();
  EXPECT_EQ(m.coo, 3);
  EXPECT_EQ(m.grandTotalCents, 2000);  // the grand total never goes back
  EXPECT_EQ(m.cancelledTotalCents, 2700);
}

TEST_F(PrinterRules, ASecondInstanceOnTheSameFolderIsTheSamePrinter) {
  VirtualPrinter before = printer();
  ASSERT_TRUE(before.openCoupon({"002", "12345678909", "Ana", ""}).accepted);
  ASSERT_TRUE(before.sellItem(item(2, 3.5)).accepted);

  VirtualPrinter after = printer();  // the host restarted
  const PrinterMemory m = after.memory();
  ASSERT_TRUE(m.open.has_value());
  EXPECT_EQ(m.open->coo, "000001");
  EXPECT_EQ(m.open->customerDocument, "12345678909");
  ASSERT_EQ(m.open->items.size(), 1u);
  EXPECT_EQ(m.open->items[0].totalCents, 700);
  EXPECT_FALSE(after.openCoupon({}).accepted);
  EXPECT_TRUE(after.cancelCoupon({}).accepted);

  // The first instance reads the printer again rather than trusting what it last saw.
  EXPECT_FALSE(before.sellItem(item()).accepted);
  EXPECT_EQ(before.openCoupon({}).coo, "000002");
}

TEST_F(PrinterRules, AnUnreadableMemoryBlocksThePrinterAndIsLeftAsItIs) {
  VirtualPrinter p = printer();
  const QByteArray garbage = "{\"versao\": 1, \"coo\": \"12\"";
  {
    QFile file(p.memoryPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(garbage);
  }
  const PrinterAnswer a = p.openCoupon({});
  EXPECT_FALSE(a.accepted);
  EXPECT_TRUE(a.reason.startsWith("Impressora fiscal bloqueada")) << a.reason.toStdString();
  EXPECT_TRUE(tape().contains("*** COMANDO RECUSADO ***"));
  QFile file(p.memoryPath());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), garbage);
}

TEST(PrinterMemoryFile, KeepsEverythingAcrossASaveAndALoad) {
  PrinterMemory m;
  m.coo = 41;
  m.ccf = 40;
  m.grandTotalCents = 123456789;
  OpenCoupon c;
  c.coo = "000041";
  c.ccf = "000040";
  c.openedAt = fixedNow();
  c.customerName = "José";
  PrinterItem i;
  i.number = "001";
  i.description = "1700100#Água";
  i.quantity = 2.5;
  i.unitPrice = 0.1;
  i.cancelled = true;
  i.totalCents = 25;
  c.items.push_back(i);
  m.open = c;
  m.last = LastCoupon{"000039", 500, true};
  m.tapeBytes = 8123;
  m.lastClosedCoo = "000039";
  m.lastCancelledCoo = "000039";

  const PrinterMemory back = PrinterMemory::fromJson(m.toJson());
  EXPECT_EQ(back.toJson(), m.toJson());
  EXPECT_EQ(back.open->items[0].unitPrice, 0.1);
  EXPECT_EQ(back.open->openedAt, fixedNow());
  EXPECT_EQ(back.tapeBytes, 8123);
  EXPECT_EQ(back.lastCancelledCoo, "000039");
  // Counters of fewer than six digits are refused, in a document complete in every other field.
  const QByteArray complete =
      R"({"versao":1,"coo":"000001","ccf":"000000","gtCentavos":0,"cancelamentosCentavos":0,)"
      R"("cupomAberto":null,"ultimoCupom":null})";
  EXPECT_NO_THROW(PrinterMemory::fromJson(complete));
  EXPECT_THROW(PrinterMemory::fromJson(QByteArray(complete).replace("\"000001\"", "\"1\"")),
               fw::Error);

  // A changed digit is found; a memory of the first format, without a checksum, is read.
  QByteArray changed = m.toJson();
  changed.replace("123456789", "123456780");
  EXPECT_THROW(PrinterMemory::fromJson(changed), fw::Error);
  const PrinterMemory first = PrinterMemory::fromJson(
      R"({"versao":1,"coo":"000007","ccf":"000006","gtCentavos":100,"cancelamentosCentavos":0,)"
      R"("cupomAberto":null,"ultimoCupom":null})");
  EXPECT_EQ(first.coo, 7);
  EXPECT_EQ(first.generation, 0);
  EXPECT_FALSE(first.lastDocumentAt.isValid());
}

}  // namespace
}  // namespace fiscal::test
