// The approximate taxes of a sale, from the item list and the rates file.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "dialogs/DialogsPackage.h"
#include "dialogs/TaxApproximation.h"
#include "framework/core/Error.h"
#include "outside/Outside.h"

namespace dialogs {
namespace {

struct Item {
  const char* code;
  double total;
  double percentage;
  const char* state;
};

std::unique_ptr<fw::LocalTable> itemList(std::initializer_list<Item> items) {
  auto table = std::make_unique<fw::LocalTable>(QStringLiteral("cdsAddProduto"));
  table->declareFields({
      fw::FieldDef::text(QStringLiteral("CDPRODUTO"), 10),
      fw::FieldDef::number(QStringLiteral("VRTOTVEND")),
      fw::FieldDef::number(QStringLiteral("VRPEALIMPFIS")),
      fw::FieldDef::text(QStringLiteral("IDPRODIMPFIS"), 1),
  });
  table->createDataSet();
  for (const Item& item : items) {
    table->append();
    table->setText(QStringLiteral("CDPRODUTO"), QString::fromLatin1(item.code));
    table->setNumber(QStringLiteral("VRTOTVEND"), item.total);
    if (item.percentage >= 0) table->setNumber(QStringLiteral("VRPEALIMPFIS"), item.percentage);
    table->setText(QStringLiteral("IDPRODIMPFIS"), QString::fromLatin1(item.state));
    table->post();
  }
  return table;
}

class TaxApproximationTest : public ::testing::Test {
 protected:
  void writeRates(const QByteArray& content, const QString& name = TaxApproximation::kFileName) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
  }
  QStringList answerTexts(fw::LocalTable& items, double* total = nullptr) {
    fw::Variant answer = fw::Variant::emptyArray(3);
    const double sum = TaxApproximation::calculate(items, answer, dir.path());
    if (total) *total = sum;
    return {answer.at(0).toText(), answer.at(1).toText(), answer.at(2).toText()};
  }
  QTemporaryDir dir;
};

TEST_F(TaxApproximationTest, SmallSaleWithACancelledItem) {
  writeRates("# taxas da loja\nfederal = 10\r\nmunicipal=2,0\nfederal.3=4.5  # reduzida\n");
  auto items = itemList({
      {"1", 100.00, 18, "S"},
      {"2", 10.00, 7, "C"},  // cancelled: counts for nothing
      {"3", 25.00, 12, "S"},
  });
  items->setRecNo(2);
  double total = 0;
  // federal 10 + 1,125; state 18 + 3; municipal 2 + 0,5
  EXPECT_EQ(answerTexts(*items, &total),
            (QStringList{QStringLiteral("11,13"), QStringLiteral("21"), QStringLiteral("2,5")}));
  EXPECT_DOUBLE_EQ(total, 34.63);
  EXPECT_EQ(items->recNo(), 2);  // the screen's grid follows this table
}

TEST_F(TaxApproximationTest, DefaultsWithoutRatesFileAndDecimalRounding) {
  // 10,00 x 13,45 % is 1,345, stored just below; the coupon shows 1,35.
  auto items = itemList({{"1", 10.00, -1, "S"}});
  EXPECT_EQ(answerTexts(*items),
            (QStringList{QStringLiteral("1,35"), QStringLiteral("0"), QStringLiteral("0")}));
}

TEST_F(TaxApproximationTest, RatesFileNameMatchedWithoutCase) {
  writeRates("federal=0\nmunicipal=5\n", QStringLiteral("IMPOSTOAPROXIMADO.TXT"));
  auto items = itemList({{"1", 20.00, 0, "s"}});
  EXPECT_EQ(answerTexts(*items),
            (QStringList{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("1")}));
}

TEST_F(TaxApproximationTest, UnreadableRatesAreAnErrorNamingTheLine) {
  for (const QByteArray& bad :
       {QByteArray("federal=13,45\nmunicipal=abc\n"), QByteArray("federal=13,45\nestadual=2\n"),
        QByteArray("\nfederal=150\n"), QByteArray("federal 13\nx=1\n")}) {
    writeRates(bad);
    auto items = itemList({{"1", 10.00, 0, "S"}});
    try {
      answerTexts(*items);
      ADD_FAILURE() << bad.toStdString();
    } catch (const fw::Error& error) {
      EXPECT_TRUE(error.message().contains(QStringLiteral("linha"))) << error.what();
    }
  }
}

TEST_F(TaxApproximationTest, ItemListNotYetCreatedGivesZeros) {
  fw::LocalTable items(QStringLiteral("cdsAddProduto"));
  double total = -1;
  EXPECT_EQ(answerTexts(items, &total),
            (QStringList{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")}));
  EXPECT_EQ(total, 0);
}

TEST_F(TaxApproximationTest, InstalledProcedureReadsTheDataDirectory) {
  writeRates("federal=20\n");
  qputenv("REGVENDA_DATA_DIR", dir.path().toUtf8());
  install();
  auto items = itemList({{"1", 50.00, 10, "S"}});
  fw::Variant answer = fw::Variant::emptyArray(3);
  const double total = outside::CalculoIcmsDFederal(*items, answer, 0);
  uninstall();
  qunsetenv("REGVENDA_DATA_DIR");
  EXPECT_EQ(answer.at(0).toText(), QStringLiteral("10"));
  EXPECT_EQ(answer.at(1).toText(), QStringLiteral("5"));
  EXPECT_DOUBLE_EQ(total, 15);
}

}  // namespace
}  // namespace dialogs
