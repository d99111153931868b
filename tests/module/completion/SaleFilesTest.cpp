// The sale file and the cash-movement file, read back as the host reads them.
#include "module/completion/CompletionFixture.h"

#include "module/shell/SaleContext.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace {

QByteArray bytesOf(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList filesUnder(const QString& root) {
  QStringList found;
  QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) found << it.next();
  return found;
}

class SaleFilesTest : public CompletionTest {
 protected:
  // 72,50 for three items (the second cancelled on the printer), paid 30,00 then 50,00.
  void ringUpSale() {
    addItem({.code = QStringLiteral("7"), .quantity = 2, .price = 30, .counter = QStringLiteral("1234567890")});
    addItem({.code = QStringLiteral("8"), .quantity = 0.5, .price = 5, .state = QStringLiteral("C")});
    addItem({.code = QStringLiteral("9"), .quantity = 1.0 / 3.0, .price = 30});
    setSaleTotal(72.5);
    addPayment({.amount = 30, .time = 45000.5, .order = QStringLiteral("1")});
    addPayment({.type = QStringLiteral("002"), .name = QStringLiteral("Cartão"), .amount = 50, .time = 45000.6,
                .order = QStringLiteral("2")});
  }
};

TEST_F(SaleFilesTest, CompletedSaleWritesItemsOldestFirstAndChangeRowFirst) {
  ringUpSale();
  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("O")));
  EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
  EXPECT_FALSE(boCupomAberto);
  EXPECT_EQ(outputFiles(), (QStringList{QStringLiteral("MovCaixa10_2_815.cds"), QStringLiteral("Venda10_2_815.cds")}));

  TableFile sale(saleFile());
  QStringList names;
  for (const fw::FieldDef& f : sale.table->fields()) names << f.name;
  EXPECT_EQ(names.join(QLatin1Char(',')),
            QStringLiteral("CDPRODUTO,NMPRODUTO,QTPRODVEND,QTPRODCOMVEN,VRPRECCOMVEN,VRUNITVEND,VRPEALIMPFIS,"
                           "VRTOTVEND,CDFILIAL,CDCAIXA,CDCLIENTE,CDEMPRESA,DTVENDA,DTENTRVENDA,DTFECHAVENDA,"
                           "IDSITUVENDA,VRDESCVENDA,CDFILIALTUR,CDCAIXATUR,DTABERTUR,NRCUPOMFIS,NRCONTCUPOMFISC,"
                           "CDOPERADOR,CDLOJA,IDTIPOVENDA,TXOBSVENDA,IDVENDEBCONS,IDCANCMANUAL,NRSEQUITVENDA,"
                           "NRSEQ,VRUNITVENDCL,CDPRODPROMOCAO,VRREPIQUEVENDA,IDPRODIMPFIS,CDORDALIQIMPR"));
  EXPECT_EQ(sale.table->fieldByName(QStringLiteral("NRCONTCUPOMFISC")).width, 9);
  EXPECT_EQ(sale.table->fieldByName(QStringLiteral("QTPRODCOMVEN")).type, fw::FieldType::Text);
  EXPECT_EQ(sale.table->fieldByName(QStringLiteral("DTVENDA")).type, fw::FieldType::DateTime);

  ASSERT_EQ(sale.rows(), 3);
  EXPECT_EQ(sale.text(0, "NRSEQ"), QStringLiteral("001"));
  EXPECT_EQ(sale.text(1, "NRSEQ"), QStringLiteral("002"));
  EXPECT_EQ(sale.text(2, "NRSEQUITVENDA"), QStringLiteral("003"));
  EXPECT_EQ(sale.text(0, "CDPRODUTO"), QStringLiteral("7"));
  EXPECT_EQ(sale.number(0, "QTPRODVEND"), 2);
  EXPECT_EQ(sale.number(0, "VRPRECCOMVEN"), 30);
  EXPECT_EQ(sale.number(0, "VRTOTVEND"), 60);
  EXPECT_EQ(sale.number(0, "VRPEALIMPFIS"), 18);
  EXPECT_EQ(sale.number(0, "DTVENDA"), 45000.25);
  EXPECT_EQ(sale.number(0, "DTABERTUR"), 44999.75);
  EXPECT_EQ(sale.text(0, "CDCLIENTE"), QStringLiteral("CLIENTE-000000000000"));
  EXPECT_EQ(sale.text(0, "IDSITUVENDA"), QStringLiteral("O"));
  EXPECT_EQ(sale.text(0, "NRCONTCUPOMFISC"), QStringLiteral("123456789"));
  EXPECT_EQ(sale.text(0, "CDORDALIQIMPR"), QStringLiteral("01"));
  EXPECT_EQ(sale.text(0, "NRCUPOMFIS"), QStringLiteral("815"));
  EXPECT_EQ(sale.text(1, "IDPRODIMPFIS"), QStringLiteral("C"));
  EXPECT_TRUE(sale.isNull(1, "NRCONTCUPOMFISC"));
  // Quantities travel through their general text form.
  EXPECT_EQ(sale.text(1, "QTPRODCOMVEN"), QStringLiteral("0,5"));
  EXPECT_EQ(sale.text(2, "QTPRODCOMVEN"), QStringLiteral("0,33333333"));
  EXPECT_EQ(sale.number(2, "QTPRODVEND"), 0.333333333333333);

  TableFile cash(cashFile());
  ASSERT_EQ(cash.rows(), 3);
  // The change row, from the payment list's last row: the first payment.
  EXPECT_EQ(cash.text(0, "IDTIPOMOVIVE"), QStringLiteral("S"));
  EXPECT_EQ(cash.number(0, "VRMOVIVEND"), 7.5);
  EXPECT_EQ(cash.text(0, "CDFILIAL"), QStringLiteral("10"));
  EXPECT_EQ(cash.text(0, "CDTIPORECE"), QStringLiteral("001"));
  EXPECT_EQ(cash.text(0, "NMTIPORECE"), QStringLiteral("Dinheiro"));
  EXPECT_EQ(cash.text(0, "IDTIPORECE"), QStringLiteral("4"));
  EXPECT_EQ(cash.text(0, "CDTIPOTROCO"), QStringLiteral("001"));
  EXPECT_EQ(cash.text(0, "NRORDTROCO"), QStringLiteral("1"));
  EXPECT_EQ(cash.text(0, "DSIMPFISCAL"), QString());
  EXPECT_EQ(cash.number(0, "DTHRINCMOV"), 45000.5);
  EXPECT_EQ(cash.number(1, "VRMOVIVEND"), 30);
  EXPECT_EQ(cash.number(2, "VRMOVIVEND"), 50);
  EXPECT_EQ(cash.text(2, "NMTIPORECE"), QStringLiteral("Cartão"));
  EXPECT_EQ(cash.text(2, "NRORDTROCO"), QStringLiteral("2"));
  EXPECT_EQ(cash.text(2, "DSIMPFISCAL"), QStringLiteral("Dinheiro ECF"));
  for (int row = 0; row < 3; ++row) {
    if (row > 0) {
      EXPECT_EQ(cash.text(row, "IDTIPOMOVIVE"), QStringLiteral("E"));
    }
    EXPECT_EQ(cash.text(row, "CDCLIENTE"), QStringLiteral("CLIENTE-0000000000000"));
    EXPECT_EQ(cash.text(row, "CDCCUSCLIE"), QStringLiteral("CC01"));
    EXPECT_EQ(cash.number(row, "DTMOVIMCAIXA"), 45000);
  }
}

TEST_F(SaleFilesTest, ChangeRowOnlyWhenMoreWasReceivedThanDue) {
  addItem({});
  const auto write = [&](double total, std::vector<double> payments) {
    form->cdsReceb.close();
    doTotal = 0;
    for (double amount : payments) addPayment({.amount = amount});
    setSaleTotal(total);
    EXPECT_TRUE(form->GeraArquivo(QStringLiteral("O")));
    return TableFile(cashFile());
  };
  const TableFile exact = write(80, {30, 50});
  ASSERT_EQ(exact.rows(), 2);
  EXPECT_EQ(exact.text(0, "IDTIPOMOVIVE"), QStringLiteral("E"));
  EXPECT_EQ(write(100, {30, 50}).rows(), 2);
  EXPECT_EQ(write(10, {}).rows(), 0);  // no payment list at all: an empty file

  const TableFile grouped = write(1250, {1300});  // "1.250,00" is read as its value
  ASSERT_EQ(grouped.rows(), 2);
  EXPECT_EQ(grouped.text(0, "IDTIPOMOVIVE"), QStringLiteral("S"));
  EXPECT_EQ(grouped.number(0, "VRMOVIVEND"), 50);
}

TEST_F(SaleFilesTest, CancelledOpenCouponLeavesCounterAndRateEmptyAndWritesNoCashFile) {
  ringUpSale();
  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("O")));
  const QByteArray cashBefore = bytesOf(cashFile());
  boCupomAberto = true;

  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("C")));
  EXPECT_FALSE(boCupomAberto);
  TableFile sale(saleFile());
  ASSERT_EQ(sale.rows(), 3);
  EXPECT_TRUE(sale.isNull(0, "NRCONTCUPOMFISC"));
  EXPECT_TRUE(sale.isNull(0, "CDORDALIQIMPR"));
  EXPECT_EQ(sale.text(0, "CDPRODUTO"), QStringLiteral("7"));
  EXPECT_EQ(bytesOf(cashFile()), cashBefore);
}

TEST_F(SaleFilesTest, CancelledLastCouponMarksEveryStoredRow) {
  ringUpSale();
  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("O")));
  const QByteArray cashBefore = bytesOf(cashFile());
  form->LimpaRegistro();

  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("P")));
  TableFile sale(saleFile());
  ASSERT_EQ(sale.rows(), 3);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(sale.text(row, "IDSITUVENDA"), QStringLiteral("C"));
  EXPECT_EQ(sale.text(0, "NRCONTCUPOMFISC"), QStringLiteral("123456789"));
  EXPECT_EQ(bytesOf(cashFile()), cashBefore);

  // Again: the content does not change.
  const QByteArray saleBefore = bytesOf(saleFile());
  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("P")));
  EXPECT_EQ(bytesOf(saleFile()), saleBefore);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SaleFilesTest, MissingStoredFileAndUnknownModesWriteNothingSilently) {
  addItem({});
  addPayment({.amount = 10});
  stCupomVen = QStringLiteral("999");
  for (const char* mode : {"P", "o", "X", ""}) {
    boCupomAberto = true;
    EXPECT_FALSE(form->GeraArquivo(QLatin1String(mode))) << mode;
    EXPECT_FALSE(boCupomAberto) << mode;
    EXPECT_TRUE(form->cdsVendaArq.active() && form->cdsVendaArq.isEmpty()) << mode;
    EXPECT_TRUE(form->cdsMovCaixaArq.active() && form->cdsMovCaixaArq.isEmpty()) << mode;
  }
  EXPECT_TRUE(outputFiles().isEmpty());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SaleFilesTest, MissingOutputFolderIsReportedAndKeepsTheCouponOpen) {
  ringUpSale();
  ASSERT_TRUE(QDir(outputDir()).removeRecursively());
  for (const char* mode : {"O", "C"}) {
    messages.clear();
    EXPECT_FALSE(form->GeraArquivo(QLatin1String(mode)));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(boCupomAberto);
  }
  EXPECT_FALSE(QDir(outputDir()).exists());
}

TEST_F(SaleFilesTest, NamePartsThatLeaveTheOutputFolderAreRefused) {
  ringUpSale();
  const QStringList before = filesUnder(dataDir());
  const struct {
    QString* value;
    const char* text;
  } cases[] = {{&stCupomVen, "../815"}, {&stCaixaAber, "a\\b"}, {&stFilialLogin, "1/0"}, {&stCupomVen, ".."}};
  for (const auto& c : cases) {
    const QString kept = *c.value;
    *c.value = QLatin1String(c.text);
    for (const char* mode : {"O", "C", "P"}) {
      messages.clear();
      EXPECT_FALSE(form->GeraArquivo(QLatin1String(mode))) << c.text << " " << mode;
      ASSERT_EQ(messages.size(), 1) << c.text;
      EXPECT_TRUE(messages.first().contains(QStringLiteral("Não foi possível gravar")));
      EXPECT_TRUE(boCupomAberto);
    }
    *c.value = kept;
  }
  EXPECT_EQ(filesUnder(dataDir()), before);

  stCupomVen.clear();  // no coupon number is no danger
  EXPECT_TRUE(form->GeraArquivo(QStringLiteral("O")));
  EXPECT_TRUE(outputFiles().contains(QStringLiteral("Venda10_2_.cds")));
}

}  // namespace
