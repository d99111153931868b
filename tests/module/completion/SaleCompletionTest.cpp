// "Gerar Cupom": the closing values, the refusals, the reset, and a sale whose coupon the
// printer closed while its files could not be written.
#include <QDir>
#include <QFile>
#include <cerrno>

#include "framework/core/Error.h"
#include "framework/packet/FileIo.h"
#include "module/completion/CompletionFixture.h"
#include "module/completion/DiskFaults.h"
#include "module/shell/SaleContext.h"

using fw::Variant;

namespace {

class SaleCompletionTest : public CompletionTest {
 protected:
  void SetUp() override {
    CompletionTest::SetUp();
    form->lblConexao->setText(QStringLiteral("?"));  // shows whether the probe ran
  }

  void ringUpSale(int items = 1, const QString& note = QStringLiteral("[ARQ_VEN]")) {
    for (int i = 0; i < items; ++i) addItem({.quantity = 1, .price = 72.5 / items, .note = note});
    setSaleTotal(72.5);
    addPayment({.amount = 30});
    addPayment({.amount = 50});
    form->bldGravar->setEnabled(true);
    boCupomAberto = true;
  }

  void expectScreenReset() {
    EXPECT_EQ(form->lblTotal->text(), QString());
    EXPECT_EQ(form->lblTotRecebido->text(), QString());
    EXPECT_EQ(form->lblValTroco->text(), QString());
    EXPECT_EQ(form->bldCodRece->text(), QString());
    EXPECT_EQ(form->lblProd->text(), QStringLiteral("<-- Selecionar produto"));
    EXPECT_FALSE(form->bldGravar->isEnabled());
    for (fw::LocalTable* t :
         {&form->cdsAddProduto, &form->cdsReceb, &form->cdsVendaArq, &form->cdsMovCaixaArq}) {
      EXPECT_TRUE(t->active() && t->isEmpty()) << t->name().toStdString();
    }
    EXPECT_EQ(doTotal, 0);
    EXPECT_EQ(doValorRece, 0);
    EXPECT_FALSE(form->boCupomFechado);
  }

  // The sale stays on screen and only its files are owed.
  void expectFilesOwed() {
    EXPECT_EQ(messages().size(), 1);
    EXPECT_TRUE(form->boCupomFechado);
    EXPECT_FALSE(boCupomAberto);  // the printer closed it
    EXPECT_EQ(form->lblTotal->text(), QStringLiteral("72,50"));
    EXPECT_EQ(form->lblConexao->text(), QStringLiteral("Banco de dados offline"));
  }

  // The next touch writes the files without closing the coupon a second time.
  void expectRetryWritesFiles(int closesBefore) {
    clearMessages();
    form->bldGravarClick(form->bldGravar);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(closeCalls(), closesBefore);
    EXPECT_TRUE(QFile::exists(saleFile()));
    EXPECT_TRUE(QFile::exists(cashFile()));
    EXPECT_FALSE(boCupomAberto);
    expectScreenReset();
  }
};

TEST_F(SaleCompletionTest, ClosesTheCouponWithTheFiftyNineValuesWritesAndResets) {
  stMd5ArquivoTxt = QStringLiteral("MD-5:abc");
  Rev_IdTipoImpFis = 16;
  stDsObsCupFis = QStringLiteral("Obrigado");
  stOperadorLogin = QStringLiteral("OPER1");
  stNmOperador = QStringLiteral("Ana");
  stEcfImpressora = QStringLiteral("ECF-1");
  Rev_SgEstadoFili = QStringLiteral("SP");
  stInscEstaFili = QStringLiteral("123");
  doValorRece = 50;
  // The payment entry left the payment types filtered, on the second visible one.
  fw::LocalTable& types = form->cdsRecebAux;
  types.close();
  types.createDataSet();
  for (const char* shown : {"S", "N", "S"}) {
    types.append();
    types.setText(QStringLiteral("CDTIPORECE"), QString::number(types.recordCount()));
    types.setText(QStringLiteral("IDMOSTRARECE"), QLatin1String(shown));
    types.post();
  }
  types.setFilter(QStringLiteral("(IDMOSTRARECE = 'S')"));
  types.setFiltered(true);
  types.setRecNo(2);
  const QString currentType = types.asText(QStringLiteral("CDTIPORECE"));
  ringUpSale();

  form->bldGravarClick(form->bldGravar);

  ASSERT_EQ(closeCalls(), 1);
  EXPECT_EQ(closeSecondArgument(), 0);
  EXPECT_EQ(closeAnswerSize(), 10);
  ASSERT_EQ(closingValues().size(), 59u);
  const Variant e{QString()};
  std::vector<Variant> expected(59, e);
  expected[1] = Variant(QStringLiteral("MD-5:abc"));
  expected[2] = Variant(QStringLiteral("002"));
  expected[3] = Variant(16);
  expected[4] = expected[5] = expected[11] = Variant(false);
  expected[6] = expected[7] = expected[8] = expected[37] = expected[38] = Variant(0);
  expected[52] = expected[53] = expected[54] = Variant(0);
  expected[9] = Variant(QStringLiteral("N"));
  expected[10] = Variant(QStringLiteral("Obrigado"));
  expected[15] = Variant(stCdCliente);
  expected[22] = Variant(QStringLiteral("OPER1"));
  expected[23] = Variant(QStringLiteral("Ana"));
  expected[32] = expected[33] = expected[34] = expected[49] = Variant();
  expected[35] = Variant(QStringLiteral("3"));
  expected[41] = Variant(QStringLiteral("ECF-1"));
  expected[42] = Variant(QStringLiteral("815"));
  expected[43] = Variant(QStringLiteral("SP"));
  expected[45] = Variant(QStringLiteral("123"));
  expected[50] = Variant(2.25);
  expected[51] = Variant(1.5);
  expected[58] = Variant(0.75);
  for (int i = 0; i < 59; ++i) {
    if (i == 13 || i == 14) continue;
    EXPECT_EQ(closingValues()[i].kind(), expected[i].kind()) << i;
    EXPECT_TRUE(closingValues()[i] == expected[i])
        << i << ": " << closingValues()[i].debugText().toStdString();
  }
  ASSERT_EQ(closingValues()[13].kind(), Variant::Kind::Packet);
  ASSERT_EQ(closingValues()[14].kind(), Variant::Kind::Packet);
  fw::LocalTable payments, allTypes;
  payments.setData(closingValues()[13]);
  allTypes.setData(closingValues()[14]);
  EXPECT_EQ(payments.recordCount(), 2);
  EXPECT_EQ(allTypes.recordCount(), 3);
  EXPECT_TRUE(types.filtered());
  EXPECT_EQ(types.recordCount(), 2);
  EXPECT_EQ(types.asText(QStringLiteral("CDTIPORECE")), currentType);

  EXPECT_TRUE(QFile::exists(saleFile()));
  EXPECT_TRUE(QFile::exists(cashFile()));
  EXPECT_FALSE(boCupomAberto);
  EXPECT_EQ(stCupomVen, QStringLiteral("815"));
  expectScreenReset();
  // The probe ran; the central database is not reachable with this connection string.
  EXPECT_EQ(form->lblConexao->text(), QStringLiteral("Banco de dados offline"));
  EXPECT_EQ(form->lblConexao->palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));
  EXPECT_FALSE(form->lblInfo->isVisibleTo(form));
}

TEST_F(SaleCompletionTest, EmptyListsAreRefusedBeforeThePrinterIsAsked) {
  form->bldGravarClick(form->bldGravar);
  EXPECT_EQ(
      messages(),
      (QStringList{QStringLiteral("Operação bloqueada! Nenhum produto foi selecionado."),
                   QStringLiteral("Operação bloqueada! Nenhum recebimento foi informado..")}));
  addItem({});
  clearMessages();
  form->bldGravarClick(form->bldGravar);
  EXPECT_EQ(messages(),
            QStringList{QStringLiteral("Operação bloqueada! Nenhum recebimento foi informado..")});
  EXPECT_EQ(closeCalls(), 0);
  EXPECT_EQ(taxCalls(), 0);
  EXPECT_EQ(form->lblConexao->text(), QStringLiteral("?"));
}

TEST_F(SaleCompletionTest, ClosingRefusedByThePrinterChangesNothing) {
  ringUpSale();
  fakes->closeAnswer = false;
  form->bldGravarClick(form->bldGravar);
  form->bldGravarClick(form->bldGravar);
  EXPECT_EQ(closeCalls(), 2);  // each touch asks again
  EXPECT_TRUE(outputFiles().isEmpty());
  EXPECT_TRUE(messages().isEmpty());
  EXPECT_FALSE(form->boCupomFechado);
  EXPECT_TRUE(boCupomAberto);
  EXPECT_TRUE(form->bldGravar->isEnabled());
  EXPECT_EQ(form->lblTotal->text(), QStringLiteral("72,50"));
  EXPECT_EQ(form->cdsReceb.recordCount(), 2);
  EXPECT_EQ(form->lblConexao->text(), QStringLiteral("?"));
}

TEST_F(SaleCompletionTest, ClosedCouponIsWrittenOnceTheMissingFolderExists) {
  ringUpSale();
  ASSERT_TRUE(QDir(outputDir()).removeRecursively());
  form->bldGravarClick(form->bldGravar);
  expectFilesOwed();
  EXPECT_FALSE(QDir(outputDir()).exists());

  ASSERT_TRUE(QDir().mkpath(outputDir()));
  expectRetryWritesFiles(1);
  EXPECT_EQ(taxCalls(), 1);
}

TEST_F(SaleCompletionTest, ClosedCouponIsWrittenOnceTheFolderIsWritableAgain) {
  ringUpSale();
  ReadOnlyFolder readOnly(outputDir());
  if (!readOnly.effective()) GTEST_SKIP() << "this process writes into a read-only folder anyway";
  form->bldGravarClick(form->bldGravar);
  readOnly.release();
  expectFilesOwed();
  EXPECT_TRUE(outputFiles().isEmpty());

  expectRetryWritesFiles(1);
}

TEST_F(SaleCompletionTest, DiskFullDuringASaveKeepsTheEarlierFileWhole) {
  SmallDisk disk(outputDir(), 16384);
  ringUpSale();
  form->bldGravarClick(form->bldGravar);
  ASSERT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
  const QStringList earlierFiles = outputFiles();
  const QByteArray earlierSale = fileBytes(saleFile());
  ASSERT_EQ(earlierFiles.size(), 2);

  // The next sale gets the same coupon number and is too big for what is left: the earlier
  // sale's files are moved aside whole, and nothing half-written takes their names.
  ringUpSale(12, QString(2000, QLatin1Char('x')));
  form->bldGravarClick(form->bldGravar);
  expectFilesOwed();
  for (const QString& name : outputFiles())
    EXPECT_TRUE(earlierFiles.contains(name)) << name.toStdString();
  EXPECT_NE(fileBytes(saleFile()), earlierSale);
  const QDir aside(outputDir() + QStringLiteral("/Substituidos"));
  const QStringList moved = aside.entryList(QDir::Files, QDir::Name);
  ASSERT_EQ(moved.size(), 2);
  EXPECT_EQ(fileBytes(aside.filePath(moved[1])), earlierSale);

  disk.grow();
  expectRetryWritesFiles(2);
  EXPECT_EQ(TableFile(saleFile()).rows(), 12);
}

// Closed on the printer, files failed, the screen left and opened again: the sale comes back
// owing its files and the next "Gerar Cupom" writes them without closing again.
TEST_F(SaleCompletionTest, ClosedCouponWhoseFilesFailedIsWrittenWhenTheScreenOpensAgain) {
  ringUpSale(2);
  fw::setWriteFault([](fw::WriteStep, const QString& path) {
    return path.contains("/Venda_Arquivo/") ? EIO : 0;
  });
  form->bldGravarClick(form->bldGravar);
  fw::setWriteFault({});
  ASSERT_EQ(closeCalls(), 1);
  ASSERT_TRUE(outputFiles().isEmpty());

  clearMessages();
  restart(false);
  EXPECT_EQ(messages(), QStringList{"Venda em andamento recuperada: cupom 815, 2 itens."})
      << messages().join(QLatin1Char('\n')).toStdString();
  EXPECT_TRUE(form->boCupomFechado);
  EXPECT_FALSE(boCupomAberto);
  EXPECT_EQ(form->lblTotal->text(), "72,50");
  EXPECT_EQ(form->lblTotRecebido->text(), "80,00");
  EXPECT_EQ(form->lblValTroco->text(), "7,50");
  EXPECT_TRUE(form->bldGravar->isEnabled());

  clearMessages();
  form->bldGravarClick(form->bldGravar);
  EXPECT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
  EXPECT_EQ(closeCalls(), 1);
  EXPECT_EQ(TableFile(saleFile()).rows(), 2);
  EXPECT_EQ(TableFile(cashFile()).rows(), 3);
  expectScreenReset();

  // The sale has ended: nothing comes back at the next start.
  restart();
  EXPECT_TRUE(messages().isEmpty());
  EXPECT_TRUE(form->cdsAddProduto.isEmpty());
}

// The disk filling between the two saves: the sale stays owed, also across a restart, and
// its own sale file is rewritten, not moved aside as another sale's.
TEST_F(SaleCompletionTest, CashFileFailingAfterTheSaleFileLeavesTheSaleOwed) {
  ringUpSale();
  fw::setWriteFault([](fw::WriteStep step, const QString& path) {
    return step == fw::WriteStep::Write && path.contains("MovCaixa") ? ENOSPC : 0;
  });
  form->bldGravarClick(form->bldGravar);
  fw::setWriteFault({});
  ASSERT_TRUE(QFile::exists(saleFile()));
  ASSERT_FALSE(QFile::exists(cashFile()));
  EXPECT_TRUE(form->boCupomFechado);

  restart();
  EXPECT_TRUE(form->boCupomFechado);
  clearMessages();
  form->bldGravarClick(form->bldGravar);
  EXPECT_TRUE(messages().isEmpty()) << messages().join(QLatin1Char('\n')).toStdString();
  EXPECT_EQ(closeCalls(), 1);
  EXPECT_EQ(outputFiles(), QStringList({"MovCaixa10_2_815.cds", "Venda10_2_815.cds"}));
  EXPECT_FALSE(QDir(outputDir() + "/Substituidos").exists());
}

// A tax approximation that cannot be read fails "Gerar Cupom" before anything is asked: no
// close pending, the screen opens with the sale after a restart, and once the table is mended
// the sale closes once, with its two files.
TEST_F(SaleCompletionTest, ClosingValuesFailingLeaveNothingPendingAndTheScreenOpens) {
  ringUpSale();
  fakes->taxes = QStringList{"1,5", "não é número", "0,75"};
  EXPECT_THROW(form->bldGravarClick(form->bldGravar), fw::Error);
  EXPECT_EQ(closeCalls(), 0);
  EXPECT_TRUE(form->comandoPendente.isEmpty());

  EXPECT_NO_THROW(restart());
  EXPECT_EQ(form->lblTotal->text(), "72,50");
  fakes->taxes = QStringList{"1,5", "2,25", "0,75"};
  form->bldGravarClick(form->bldGravar);
  EXPECT_EQ(closeCalls(), 1);
  EXPECT_TRUE(QFile::exists(saleFile()));
  EXPECT_TRUE(QFile::exists(cashFile()));
}

// A close asked and the host killed before the answer was kept: the printer's status says
// whether it closed (the files are owed) or not (the sale stays open); with no answer the
// close stays pending and the screen still opens.
TEST_F(SaleCompletionTest, PendingCloseIsSettledFromThePrinterStatus) {
  using V = Variant;
  struct Case {
    const char* name;
    fw::VariantList status;
    bool answers;
    bool closed;
  } cases[] = {
      {"closed", {V(QString()), V::array({}), V("815"), V(QString())}, true, true},
      {"still open", {V("815"), V::array({}), V("814"), V(QString())}, true, false},
      {"no answer", {}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    ringUpSale();
    fakes->onPrinterCall = [](const QString& name) {
      if (name != "FechaCupom") return;
      fw::setWriteFault([](fw::WriteStep, const QString& path) {
        return path.contains("VendaEmAndamento") || path.contains("/Venda_Arquivo/") ? EIO : 0;
      });
    };
    form->bldGravarClick(form->bldGravar);
    fakes->onPrinterCall = nullptr;
    fw::setWriteFault({});
    fakes->status = c.status;
    fakes->statusAnswer = c.answers;
    restart();
    EXPECT_EQ(form->boCupomFechado, c.closed);
    EXPECT_EQ(boCupomAberto, !c.closed);
    EXPECT_EQ(form->comandoPendente.isEmpty(), c.answers);
    EXPECT_EQ(form->lblTotal->text(), "72,50");
    if (!c.closed) continue;
    form->bldGravarClick(form->bldGravar);
    EXPECT_EQ(closeCalls(), 1);
    EXPECT_TRUE(QFile::exists(saleFile()));
    EXPECT_TRUE(QFile::exists(cashFile()));
  }
}

}  // namespace
