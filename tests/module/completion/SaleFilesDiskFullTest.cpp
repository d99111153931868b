// The sale file and the cash-movement file on a disk that fails at each step of a save: the
// failure is told, the earlier files stay whole (moved aside when another sale had the
// same coupon number), and the next touch writes them.
#include <QDir>
#include <QFile>
#include <cerrno>

#include "framework/packet/FileIo.h"
#include "module/completion/CompletionFixture.h"
#include "module/shell/SaleContext.h"

namespace {

class SaleFilesDiskFullTest : public CompletionTest {
 protected:
  void TearDown() override {
    fw::setWriteFault({});
    CompletionTest::TearDown();
  }

  void ringUpSale(double amount) {
    addItem({.price = amount});
    setSaleTotal(amount);
    addPayment({.amount = amount});
    form->bldGravar->setEnabled(true);
    boCupomAberto = true;
  }

  // An earlier sale's file is in the folder of files moved aside, whole.
  bool movedAside(const QByteArray& bytes) const {
    const QDir aside(outputDir() + QStringLiteral("/Substituidos"));
    for (const QString& name : aside.entryList(QDir::Files)) {
      if (fileBytes(aside.filePath(name)) == bytes) return true;
    }
    return false;
  }
};

TEST_F(SaleFilesDiskFullTest,
       ASaveFailingAtAnyStepIsToldKeepsTheEarlierFilesAndTheRetryWritesThem) {
  using fw::WriteStep;
  ringUpSale(10);
  form->bldGravarClick(form->bldGravar);
  ASSERT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
  const QStringList names = outputFiles();
  ASSERT_EQ(names.size(), 2);

  double amount = 10;
  for (const QString& file : {saleFile(), cashFile()}) {
    for (WriteStep step : {WriteStep::Create, WriteStep::Write, WriteStep::Sync, WriteStep::Verify,
                           WriteStep::Close, WriteStep::Rename}) {
      const std::string where = file.toStdString() + " step " + std::to_string(int(step));
      const QByteArray saleBefore = fileBytes(saleFile());
      const QByteArray cashBefore = fileBytes(cashFile());
      const int closes = closeCalls();
      clearMessages();
      // The printer gives the same coupon number: the earlier sale's files are moved aside.
      ringUpSale(++amount);
      fw::setWriteFault(
          [&](WriteStep s, const QString& path) { return s == step && path == file ? ENOSPC : 0; });
      form->bldGravarClick(form->bldGravar);
      fw::setWriteFault({});

      ASSERT_EQ(messages().size(), 1) << where;
      EXPECT_TRUE(messages().first().contains("não há espaço livre no disco")) << where;
      EXPECT_TRUE(form->boCupomFechado) << where;  // closed on the printer; only its files are owed
      EXPECT_FALSE(QFile::exists(cashFile())) << where;
      EXPECT_EQ(QFile::exists(saleFile()), file == cashFile()) << where;
      for (const QString& name : outputFiles())
        EXPECT_TRUE(names.contains(name)) << where;  // nothing half-written
      EXPECT_TRUE(movedAside(saleBefore) && movedAside(cashBefore)) << where;

      clearMessages();
      form->bldGravarClick(form->bldGravar);
      EXPECT_TRUE(messages().isEmpty()) << where;
      EXPECT_EQ(closeCalls(), closes + 1) << where;
      EXPECT_EQ(TableFile(saleFile()).number(0, "VRTOTVEND"), amount) << where;
      EXPECT_EQ(TableFile(cashFile()).number(0, "VRMOVIVEND"), amount) << where;
    }
  }
}

}  // namespace
