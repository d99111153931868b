// The sale file and the cash-movement file, read back as the host reads them.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include "framework/packet/FileIo.h"
#include "module/completion/CompletionFixture.h"
#include "module/shell/SaleContext.h"

namespace {

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
    addItem({.code = QStringLiteral("7"),
             .quantity = 2,
             .price = 30,
             .counter = QStringLiteral("1234567890")});
    addItem(
        {.code = QStringLiteral("8"), .quantity = 0.5, .price = 5, .state = QStringLiteral("C")});
    addItem({.code = QStringLiteral("9"), .quantity = 1.0 / 3.0, .price = 30});
    setSaleTotal(72.5);
    addPayment({.amount = 30, .time = 45000.5, .order = QStringLiteral("1")});
    addPayment({.type = QStringLiteral("002"),
                .name = QStringLiteral("Cartão"),
                .amount = 50,
                .time = 45000.6,
                .order = QStringLiteral("2")});
  }
};

TEST_F(SaleFilesTest, CompletedSaleWritesItemsOldestFirstAndChangeRowFirst) {
  ringUpSale();
  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("O")));
  EXPECT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
  EXPECT_FALSE(boCupomAberto);
  EXPECT_EQ(outputFiles(), (QStringList{QStringLiteral("MovCaixa10_2_815.cds"),
                                        QStringLiteral("Venda10_2_815.cds")}));

  TableFile sale(saleFile());
  QStringList names;
  for (const fw::FieldDef& f : sale.table->fields()) names << f.name;
  EXPECT_EQ(
      names.join(QLatin1Char(',')),
      QStringLiteral(
          "CDPRODUTO,NMPRODUTO,QTPRODVEND,QTPRODCOMVEN,VRPRECCOMVEN,VRUNITVEND,VRPEALIMPFIS,"
          "VRTOTVEND,CDFILIAL,CDCAIXA,CDCLIENTE,CDEMPRESA,DTVENDA,DTENTRVENDA,DTFECHAVENDA,"
          "IDSITUVENDA,VRDESCVENDA,CDFILIALTUR,CDCAIXATUR,DTABERTUR,NRCUPOMFIS,NRCONTCUPOMFISC,"
          "CDOPERADOR,CDLOJA,IDTIPOVENDA,TXOBSVENDA,IDVENDEBCONS,IDCANCMANUAL,NRSEQUITVENDA,"
          "NRSEQ,VRUNITVENDCL,CDPRODPROMOCAO,VRREPIQUEVENDA,IDPRODIMPFIS,CDORDALIQIMPR"));
  EXPECT_EQ(sale.table->fieldByName(QStringLiteral("NRCONTCUPOMFISC")).width, 9);

  // Oldest item first; quantities through their general text form; the client cut to 20, the
  // coupon counter to 9.
  const QString common = QStringLiteral(
      "10|2|CLIENTE-000000000000|01|15/03/2023 06:00:00|15/03/2023|15/03/2023 06:14:24|O|0|10|2|"
      "14/03/2023 18:00:00|815|");
  const QString after = QStringLiteral("|OPER1|1|D|[ARQ_VEN]|N|N|");
  EXPECT_EQ(sale.rows(), 3);
  EXPECT_EQ(sale.row(0), "7|Refrigerante lata|2|2|30|30|18|60|" + common + "123456789" + after +
                             "001|001|0|7|0|S|01");
  EXPECT_EQ(sale.row(1),
            "8|Refrigerante lata|0,5|0,5|5|5|18|2,5|" + common + after + "002|002|0|8|0|C|01");
  EXPECT_EQ(sale.row(2), "9|Refrigerante lata|0,333333333333333|0,33333333|30|30|18|10|" + common +
                             after + "003|003|0|9|0|S|01");
  EXPECT_TRUE(sale.isNull(1, "NRCONTCUPOMFISC"));

  // The change row first, from the payment list's last row (the first payment); then the
  // payments, always "E"; the client cut to 21.
  const QString context = QStringLiteral("|CLIENTE-0000000000000|CC01|15/03/2023");
  TableFile cash(cashFile());
  EXPECT_EQ(cash.rows(), 3);
  EXPECT_EQ(cash.row(0), "10|001|Dinheiro|4|001|1||7,5|S|15/03/2023 12:00:00" + context);
  EXPECT_EQ(cash.row(1), "10|001|Dinheiro|4|001|1|Dinheiro ECF|30|E|15/03/2023 12:00:00" + context);
  EXPECT_EQ(cash.row(2), "10|002|Cartão|4|001|2|Dinheiro ECF|50|E|15/03/2023 14:24:00" + context);
}

// The take-up removes a name only while it holds the output folder; a save that did not hold
// it could be removed with the sale it replaced.
TEST_F(SaleFilesTest, EverySaveHoldsTheOutputFolder) {
  ringUpSale();
  int saves = 0, unheld = 0;
  fw::setWriteFault([&](fw::WriteStep, const QString& path) {
    if (!path.contains(QStringLiteral("Venda_Arquivo"))) return 0;
    ++saves;
    const int fd = ::open(QFile::encodeName(outputDir()).constData(), O_RDONLY | O_DIRECTORY);
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ++unheld;
    ::close(fd);
    return 0;
  });
  const bool written = form->GeraArquivo(QStringLiteral("O"));
  fw::setWriteFault({});
  ASSERT_TRUE(written);
  EXPECT_GT(saves, 0);
  EXPECT_EQ(unheld, 0);
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

  // Decided and written to the cent the screen shows: 0,10 + 1,10 covers 1,20 exactly (no
  // change row of 2.2e-16), and 50,00 for 47,70 gives 2,30, not 2.2999999999999972.
  EXPECT_EQ(write(1.2, {0.1, 1.1}).rows(), 2);
  const TableFile change = write(47.7, {50});
  ASSERT_EQ(change.rows(), 2);
  EXPECT_EQ(change.number(0, "VRMOVIVEND"), 2.3);
}

TEST_F(SaleFilesTest, CancelledOpenCouponLeavesCounterAndRateEmptyAndWritesNoCashFile) {
  ringUpSale();
  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("O")));
  const QByteArray cashBefore = fileBytes(cashFile());
  boCupomAberto = true;

  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("C")));
  EXPECT_FALSE(boCupomAberto);
  TableFile sale(saleFile());
  ASSERT_EQ(sale.rows(), 3);
  EXPECT_TRUE(sale.isNull(0, "NRCONTCUPOMFISC"));
  EXPECT_TRUE(sale.isNull(0, "CDORDALIQIMPR"));
  EXPECT_EQ(sale.text(0, "CDPRODUTO"), QStringLiteral("7"));
  EXPECT_EQ(fileBytes(cashFile()), cashBefore);
}

TEST_F(SaleFilesTest, CancelledLastCouponMarksEveryStoredRow) {
  ringUpSale();
  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("O")));
  const QByteArray cashBefore = fileBytes(cashFile());
  form->LimpaRegistro();

  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("P")));
  TableFile sale(saleFile());
  ASSERT_EQ(sale.rows(), 3);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(sale.text(row, "IDSITUVENDA"), QStringLiteral("C"));
  EXPECT_EQ(sale.text(0, "NRCONTCUPOMFISC"), QStringLiteral("123456789"));
  EXPECT_EQ(fileBytes(cashFile()), cashBefore);

  // Again: the content does not change.
  const QByteArray saleBefore = fileBytes(saleFile());
  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("P")));
  EXPECT_EQ(fileBytes(saleFile()), saleBefore);
  EXPECT_TRUE(messages().isEmpty());
}

TEST_F(SaleFilesTest, MissingStoredFileIsToldAndUnknownModesWriteNothing) {
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
  EXPECT_EQ(
      messages(),
      QStringList{"O cupom 999 foi cancelado na impressora, mas o arquivo da venda deste cupom "
                  "(Venda10_2_999.cds) não foi encontrado."});
}

// The printer's numbers started over: an earlier sale's files under the new coupon's names
// are moved aside, never replaced; the sale's own retry rewrites its files in place.
TEST_F(SaleFilesTest, AnotherSalesFilesUnderTheSameNumberAreMovedAsideNotReplaced) {
  for (const QString& path : {saleFile(), cashFile()}) {
    QFile earlier(path);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("venda anterior");
  }
  addItem({});
  addPayment({.amount = 10});
  setSaleTotal(10);
  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("O")));
  EXPECT_EQ(TableFile(saleFile()).rows(), 1);
  EXPECT_EQ(TableFile(cashFile()).rows(), 1);
  const QDir aside(outputDir() + QStringLiteral("/Substituidos"));
  const QStringList moved = aside.entryList(QDir::Files, QDir::Name);
  ASSERT_EQ(moved.size(), 2);
  EXPECT_TRUE(moved[0].startsWith("MovCaixa10_2_815_") && moved[1].startsWith("Venda10_2_815_"))
      << moved.join(' ').toStdString();
  for (const QString& name : moved) EXPECT_EQ(fileBytes(aside.filePath(name)), "venda anterior");

  ASSERT_TRUE(form->GeraArquivo(QStringLiteral("O")));
  EXPECT_EQ(aside.entryList(QDir::Files).size(), 2);
}

TEST_F(SaleFilesTest, NamePartsThatLeaveTheOutputFolderAreRefused) {
  ringUpSale();
  const QStringList before = filesUnder(dataDir());
  const struct {
    QString* value;
    const char* text;
  } cases[] = {{&stCupomVen, "../815"},
               {&stCaixaAber, "a\\b"},
               {&stFilialLogin, "1/0"},
               {&stCupomVen, ".."}};
  for (const auto& c : cases) {
    const QString kept = *c.value;
    *c.value = QLatin1String(c.text);
    for (const char* mode : {"O", "C", "P"}) {
      clearMessages();
      EXPECT_FALSE(form->GeraArquivo(QLatin1String(mode))) << c.text << " " << mode;
      ASSERT_EQ(messages().size(), 1) << c.text;
      EXPECT_TRUE(messages().first().contains(QStringLiteral("Não foi possível gravar")));
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
