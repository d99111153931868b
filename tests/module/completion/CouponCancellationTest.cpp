// "Cancela Cupom": the open coupon, the last closed one, refusals by the printer.
#include <QFile>
#include <cerrno>

#include "framework/packet/FileIo.h"
#include "module/completion/CompletionFixture.h"
#include "module/shell/SaleContext.h"

using fw::Variant;

namespace {

const QString kRefused =
    QStringLiteral("Cancelamento não permitido. O último cupom fiscal já foi cancelado.");

class CouponCancellationTest : public CompletionTest {
 protected:
  void ringUpSale() {
    addItem({.code = QStringLiteral("1")});
    addItem({.code = QStringLiteral("2"), .state = QStringLiteral("C")});
    addItem({.code = QStringLiteral("3")});
    setSaleTotal(20);
    addPayment({.amount = 20});
  }
};

TEST_F(CouponCancellationTest, OpenCouponIsWrittenWithEveryItemCancelled) {
  Rev_NrSerie_Imp = QStringLiteral("BE0123");
  ringUpSale();
  form->bldCancelaClick(form->bldCancela);

  ASSERT_EQ(cancelCalls(), 1);
  const fw::VariantList expected{Variant(QStringLiteral("002")),
                                 Variant(false),
                                 Variant(false),
                                 Variant(true),
                                 Variant(QStringLiteral("10")),
                                 Variant(QStringLiteral("2")),
                                 Variant(QStringLiteral("BE0123")),
                                 Variant(QStringLiteral("S"))};
  ASSERT_EQ(cancelValues().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_TRUE(cancelValues()[i] == expected[i])
        << i << ": " << cancelValues()[i].debugText().toStdString();
  }
  ASSERT_EQ(cancelAnswerArray().size(), 10);
  EXPECT_TRUE(cancelAnswerArray().at(9).isNull());

  TableFile sale(saleFile());
  ASSERT_EQ(sale.rows(), 3);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(sale.text(row, "IDSITUVENDA"), QStringLiteral("C"));
  EXPECT_EQ(sale.text(1, "IDPRODIMPFIS"), QStringLiteral("C"));
  EXPECT_FALSE(QFile::exists(cashFile()));
  EXPECT_FALSE(boCupomAberto);
  EXPECT_TRUE(form->cdsAddProduto.isEmpty());
  EXPECT_TRUE(form->cdsReceb.isEmpty());
  EXPECT_EQ(form->lblTotal->text(), QString());
  EXPECT_TRUE(messages().isEmpty());
}

TEST_F(CouponCancellationTest, RefusalLeavesTheSaleAsItWas) {
  ringUpSale();
  fakes->cancelCouponAnswer = false;
  form->bldCancelaClick(form->bldCancela);
  EXPECT_EQ(messages(), QStringList{kRefused});
  EXPECT_TRUE(boCupomAberto);
  EXPECT_EQ(form->cdsAddProduto.recordCount(), 3);
  EXPECT_EQ(form->cdsAddProduto.asText(QStringLiteral("IDSITUVENDA")), QStringLiteral("O"));
  EXPECT_EQ(form->lblTotal->text(), QStringLiteral("20,00"));
  EXPECT_TRUE(outputFiles().isEmpty());
}

TEST_F(CouponCancellationTest, OpenCouponWhoseFirstItemWasRefusedGetsAnEmptySaleFile) {
  // The printer opened the coupon and refused its first item: the item list was never made.
  form->bldCodRece->setText(QStringLiteral("Dinheiro"));
  form->bldCancelaClick(form->bldCancela);
  EXPECT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
  ASSERT_TRUE(QFile::exists(saleFile()));
  EXPECT_EQ(TableFile(saleFile()).rows(), 0);
  EXPECT_FALSE(QFile::exists(cashFile()));
  EXPECT_FALSE(boCupomAberto);
  EXPECT_EQ(form->bldCodRece->text(), QString());
}

TEST_F(CouponCancellationTest, LastClosedCouponIsMarkedInItsStoredFile) {
  ringUpSale();
  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("O")));
  form->LimpaRegistro();
  const QByteArray cash = fileBytes(cashFile());
  form->lblTotal->setText(QStringLiteral("5,00"));  // shows whether the screen is cleared

  form->bldCancelaClick(form->bldCancela);
  ASSERT_EQ(cancelValues().size(), 8u);
  EXPECT_TRUE(cancelValues()[3] == Variant(false));
  TableFile sale(saleFile());
  ASSERT_EQ(sale.rows(), 3);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(sale.text(row, "IDSITUVENDA"), QStringLiteral("C"));
  EXPECT_EQ(fileBytes(cashFile()), cash);
  EXPECT_EQ(form->lblTotal->text(), QString());

  // The second touch asks the printer again about the same coupon.
  fakes->cancelCouponAnswer = false;
  form->bldCancelaClick(form->bldCancela);
  EXPECT_EQ(cancelCalls(), 2);
  EXPECT_EQ(messages(), QStringList{kRefused});
}

TEST_F(CouponCancellationTest, LastCouponWithoutStoredFileIsToldAndLeftAlone) {
  boCupomAberto = false;
  stCupomVen = QStringLiteral("000777");
  form->lblTotal->setText(QStringLiteral("5,00"));
  form->bldCancelaClick(form->bldCancela);
  EXPECT_EQ(cancelCalls(), 1);
  EXPECT_EQ(
      messages(),
      QStringList{"O cupom 000777 foi cancelado na impressora, mas o arquivo da venda deste cupom "
                  "(Venda10_2_000777.cds) não foi encontrado."});
  EXPECT_TRUE(outputFiles().isEmpty());
  EXPECT_EQ(form->lblTotal->text(), QStringLiteral("5,00"));
}

// After a restart the screen still knows the last closed coupon: its own file is marked,
// and the printer is told the last closed coupon is meant.
TEST_F(CouponCancellationTest, AfterARestartTheLastClosedCouponsOwnFileIsMarked) {
  ringUpSale();
  form->bldGravarClick(form->bldGravar);
  ASSERT_TRUE(QFile::exists(saleFile()));
  restart();
  EXPECT_TRUE(messages().isEmpty());
  EXPECT_TRUE(stCupomVen.isEmpty());

  form->bldCancelaClick(form->bldCancela);
  ASSERT_EQ(cancelValues().size(), 8u);
  EXPECT_TRUE(cancelValues()[3] == Variant(false));
  TableFile sale(saleFile());
  ASSERT_EQ(sale.rows(), 3);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(sale.text(row, "IDSITUVENDA"), QStringLiteral("C"));
  EXPECT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
}

// A "C" file failing after the printer cancelled is owed, across a restart, and the next
// "Gerar Cupom" writes the cancellation, never a completed sale.
TEST_F(CouponCancellationTest, CancellationFileFailingIsOwedAndNeverBecomesACompletedSale) {
  ringUpSale();
  fw::setWriteFault([](fw::WriteStep, const QString& path) {
    return path.contains("/Venda_Arquivo/") ? EIO : 0;
  });
  form->bldCancelaClick(form->bldCancela);
  EXPECT_FALSE(boCupomAberto);
  EXPECT_EQ(form->cancelamentoDevido, "C");
  restart();
  fw::setWriteFault({});
  EXPECT_EQ(form->cancelamentoDevido, "C");
  EXPECT_FALSE(boCupomAberto);

  form->bldGravarClick(form->bldGravar);
  EXPECT_EQ(closeCalls(), 0);
  EXPECT_EQ(cancelCalls(), 1);
  TableFile sale(saleFile());
  ASSERT_EQ(sale.rows(), 3);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(sale.text(row, "IDSITUVENDA"), QStringLiteral("C"));
  EXPECT_FALSE(QFile::exists(cashFile()));
  EXPECT_TRUE(form->cdsAddProduto.isEmpty());
  EXPECT_TRUE(form->cancelamentoDevido.isEmpty());
}

// Files owed, then the coupon cancelled: what is owed is written first, so the two files are
// those of a closed coupon cancelled without a crash (the cash movement kept, the sale "C").
TEST_F(CouponCancellationTest, FilesOwedThenCancelledWritesThemFirstAsWithoutACrash) {
  ringUpSale();
  fw::setWriteFault([](fw::WriteStep, const QString& path) {
    return path.contains("/Venda_Arquivo/") ? EIO : 0;
  });
  form->bldGravarClick(form->bldGravar);
  fw::setWriteFault({});
  ASSERT_TRUE(form->boCupomFechado);

  form->bldCancelaClick(form->bldCancela);
  EXPECT_TRUE(cancelValues()[3] == Variant(false));
  EXPECT_FALSE(form->boCupomFechado);
  TableFile sale(saleFile());
  ASSERT_EQ(sale.rows(), 3);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(sale.text(row, "IDSITUVENDA"), QStringLiteral("C"));
  EXPECT_EQ(TableFile(cashFile()).rows(), 1);
  EXPECT_TRUE(form->cancelamentoDevido.isEmpty());
  EXPECT_TRUE(form->cdsAddProduto.isEmpty());

  // Owed files first also when they cannot be written: then nothing is cancelled.
  ringUpSale();
  fw::setWriteFault([](fw::WriteStep, const QString& path) {
    return path.contains("/Venda_Arquivo/") ? EIO : 0;
  });
  form->bldGravarClick(form->bldGravar);
  form->bldCancelaClick(form->bldCancela);
  fw::setWriteFault({});
  EXPECT_EQ(cancelCalls(), 1);
  EXPECT_TRUE(form->boCupomFechado);
}

// An owed cancellation of the last coupon whose sale file has gone: told, nothing stays owed
// and the screen is cleared, also across the next start.
TEST_F(CouponCancellationTest, OwedCancellationOfAMissingLastCouponFileEndsTheSale) {
  ringUpSale();
  form->bldGravarClick(form->bldGravar);
  ASSERT_TRUE(QFile::exists(saleFile()));
  fw::setWriteFault([](fw::WriteStep, const QString& path) {
    return path.contains("/Venda_Arquivo/") ? EIO : 0;
  });
  form->bldCancelaClick(form->bldCancela);
  fw::setWriteFault({});
  ASSERT_EQ(form->cancelamentoDevido, "P");
  ASSERT_TRUE(QFile::remove(saleFile()));

  clearMessages();
  restart();
  EXPECT_TRUE(form->cancelamentoDevido.isEmpty());
  EXPECT_EQ(messages().size(), 2) << messages().join(QLatin1Char('\n')).toStdString();
  EXPECT_TRUE(!form->cdsReceb.active() || form->cdsReceb.isEmpty());
  clearMessages();
  restart();
  EXPECT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
}

}  // namespace
