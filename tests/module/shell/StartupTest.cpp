// Start-up of the sales screen on real files: what is loaded into the sale context, what
// a missing or empty file leaves alone, and where the screen is placed.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "module/shell/Paths.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TableLayouts.h"
#include "module/support/FormFixture.h"
#include "outside/Outside.h"

using testsupport::FormFixture;

namespace {

FormFixture::Setup notStarted() {
  FormFixture::Setup setup;
  setup.initialize = false;
  return setup;
}

void writeEmptyTable(const QString& path, const std::vector<fw::FieldDef>& fields) {
  fw::LocalTable table;
  table.declareFields(fields);
  table.createDataSet();
  table.saveToFile(path);
}

// Rewrites the parameters file with one field of another type or value.
void setParameter(const FormFixture& f, const QString& field, fw::FieldType type,
                  const fw::Variant& value) {
  fw::LocalTable old;
  old.loadFromFile(f.path("PARAMETROSORV.CDS"));
  std::vector<fw::FieldDef> fields = old.fields();
  for (fw::FieldDef& def : fields) {
    if (def.name == field) def.type = type;
  }
  fw::LocalTable fresh;
  fresh.declareFields(fields);
  fresh.createDataSet();
  fresh.append();
  for (const fw::FieldDef& def : fields)
    fresh.setVariant(def.name, def.name == field ? value : old.asVariant(def.name));
  fresh.post();
  fresh.saveToFile(f.path("PARAMETROSORV.CDS"));
}

}  // namespace

TEST(Startup, FillsTheSaleContextFromTheDemoFiles) {
  FormFixture f;
  EXPECT_EQ(stIdEsquema, "001");
  EXPECT_EQ(stFilialLogin, "10");
  EXPECT_EQ(stCaixaAber, "2");
  EXPECT_EQ(stSolicitaCPF, "N");
  EXPECT_EQ(Rev_SgEstadoFili, "SP");
  EXPECT_EQ(stInfNomeEnd, "S");
  EXPECT_TRUE(boUtilizaImpFis);
  EXPECT_EQ(Rev_IdTipoImpFis, 1);
  EXPECT_GT(dtAberCaixa, 40000.0);
  EXPECT_EQ(stOperadorLogin, "0007");
  EXPECT_EQ(stNmOperador, QStringLiteral("Conceição Aparecida Lima"));
  EXPECT_GT(dtDataMovimento, 40000.0);
  EXPECT_EQ(stMd5ArquivoTxt, "MD-5:" + f.demoSummary().identificationPlain);

  TfrmVendaArquivo& form = f.form();
  EXPECT_EQ(form.cdsProdutos.recordCount(), f.demoSummary().products);
  EXPECT_GE(f.demoSummary().products, 200);
  EXPECT_EQ(form.cdsAliquota.recordCount(), f.demoSummary().products);
  EXPECT_EQ(form.cdsRecebAux.recordCount(), f.demoSummary().paymentTypes);
  // The printer's rates follow their index: kind first, then the rate.
  form.cdsAliqImpFis.first();
  EXPECT_EQ(form.cdsAliqImpFis.asText("IDALIQIMPFIS"), "F");
  form.cdsAliqImpFis.last();
  EXPECT_EQ(form.cdsAliqImpFis.asText("CDALIQIMPFIS"), "01");
  EXPECT_TRUE(f.messages.empty());
}

TEST(Startup, CreatesTheOutputFolderOneLevelOnly) {
  {
    FormFixture f(notStarted());
    ASSERT_TRUE(QDir(f.path("Dados/Venda_Arquivo")).removeRecursively());
    f.initialize();
    EXPECT_TRUE(QFileInfo(f.path("Dados/Venda_Arquivo")).isDir());
  }
  // Without "Dados" nothing is created and start-up goes on with the parameters alone.
  FormFixture g(notStarted());
  ASSERT_TRUE(QDir(g.path("Dados")).removeRecursively());
  stOperadorLogin = QStringLiteral("anterior");
  stMd5ArquivoTxt = QStringLiteral("MD-5:anterior");
  EXPECT_NO_THROW(g.initialize());
  EXPECT_FALSE(QFileInfo::exists(g.path("Dados")));
  EXPECT_EQ(stIdEsquema, "001");
  EXPECT_EQ(stOperadorLogin, "anterior");
  EXPECT_EQ(stMd5ArquivoTxt, "MD-5:anterior");
  EXPECT_FALSE(g.form().cdsProdutos.active());
  EXPECT_TRUE(g.form().cdsProdutos.isEmpty());
  EXPECT_FALSE(g.form().cdsRecebAux.active());
}

TEST(Startup, FindsFoldersWhateverTheirCase) {
  FormFixture f(notStarted());
  ASSERT_TRUE(QDir(f.dataDir()).rename("Dados", "dados"));
  ASSERT_TRUE(QFile::rename(f.path("PARAMETROSORV.CDS"), f.path("parametrosorv.cds")));
  f.initialize();
  EXPECT_EQ(stIdEsquema, "001");
  EXPECT_GT(f.form().cdsProdutos.recordCount(), 0);
  EXPECT_EQ(shell::hostPath("\\Dados\\Cadastros\\"), f.dataDir() + "/dados/Cadastros/");
  // Missing components keep their spelling.
  EXPECT_EQ(shell::hostPath("\\Dados\\Nova\\X.cds"), f.dataDir() + "/dados/Nova/X.cds");
  EXPECT_EQ(shell::outputDirectory(), f.dataDir() + "/dados/Venda_Arquivo");
}

TEST(Startup, WithoutParametersFailsOnTheIdentificationFolder) {
  FormFixture f(notStarted());
  ASSERT_TRUE(QFile::remove(f.path("PARAMETROSORV.CDS")));
  try {
    f.initialize();
    FAIL() << "start-up went on without parameters";
  } catch (const fw::Error& e) {
    // The field's own text, then which file is missing and where it was looked for.
    EXPECT_TRUE(e.message().startsWith("Campo 'DSDIRCAD' não encontrado. "))
        << e.message().toStdString();
    EXPECT_TRUE(e.message().contains("PARAMETROSORV.CDS")) << e.message().toStdString();
    EXPECT_TRUE(e.message().contains(f.dataDir())) << e.message().toStdString();
  }
  // The steps before the failing one did their work.
  EXPECT_EQ(stOperadorLogin, "0007");
  EXPECT_TRUE(stIdEsquema.isEmpty());
}

// Cut to 32 bits this would be 16, a printer type that skips the rate lookup.
TEST(Startup, PrinterTypeBeyond32BitsIsRefused) {
  FormFixture f(notStarted());
  setParameter(f, "IDTIPOIMPFIS", fw::FieldType::Int64, fw::Variant(qint64(4294967312)));
  try {
    f.initialize();
    FAIL() << "start-up took a printer type beyond 32 bits";
  } catch (const fw::Error& e) {
    EXPECT_TRUE(e.message().contains("4294967312") && e.message().contains("IDTIPOIMPFIS"))
        << e.message().toStdString();
  }
  EXPECT_EQ(Rev_IdTipoImpFis, 0);
  setParameter(f, "IDTIPOIMPFIS", fw::FieldType::Int64, fw::Variant(qint64(-2147483648LL)));
  f.initialize();
  EXPECT_EQ(Rev_IdTipoImpFis, -2147483648LL);
}

// An empty folder names the data directory's file, never one in the process's own folder.
TEST(Startup, EmptyIdentificationFolderIsTheDataDirectory) {
  FormFixture f(notStarted());
  setParameter(f, "DSDIRCAD", fw::FieldType::Text, fw::Variant());
  ASSERT_TRUE(QFile::copy(f.path("Dados/Cadastros/VARNOLE.CDS"), f.path("VARNOLE.CDS")));
  QTemporaryDir elsewhere;
  fw::LocalTable stale;
  stale.declareFields({fw::FieldDef::text("MD5ARQUIVOTXT", 100)});
  stale.createDataSet();
  stale.append();
  stale.setText("MD5ARQUIVOTXT", "alheio");
  stale.post();
  stale.saveToFile(elsewhere.filePath("VARNOLE.CDS"));
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
  f.initialize();
  QDir::setCurrent(before);
  EXPECT_EQ(stMd5ArquivoTxt, "MD-5:" + f.demoSummary().identificationPlain);
}

// Without the de-scrambler the identification is the host's error, named like every other
// operation not installed; the scrambled text never reaches the coupon.
TEST(Startup, MissingUncriptoIsAnOperationNotInstalled) {
  FormFixture f(notStarted());
  outside::Uncripto = nullptr;
  try {
    f.initialize();
    ADD_FAILURE() << "started without Uncripto";
  } catch (const fw::Error& e) {
    EXPECT_TRUE(e.message().contains("'Uncripto' não foi instalada")) << e.message().toStdString();
  }
  EXPECT_FALSE(stMd5ArquivoTxt.contains(f.demoSummary().identificationPlain));
}

TEST(Startup, MissingIdentificationKeepsTheEarlierValue) {
  FormFixture f(notStarted());
  ASSERT_TRUE(QFile::remove(f.path("Dados/Cadastros/VARNOLE.CDS")));
  stMd5ArquivoTxt = QStringLiteral("MD-5:da execução anterior");
  f.initialize();
  EXPECT_EQ(stMd5ArquivoTxt, QStringLiteral("MD-5:da execução anterior"));
}

TEST(Startup, EmptyOperatorAndDateFilesGiveEmptyTextAndZero) {
  FormFixture f(notStarted());
  writeEmptyTable(f.path("Dados/Cadastros/ControleAcess.cds"), layouts::operators());
  writeEmptyTable(f.path("Dados/Cadastros/DataMovimento.cds"),
                  {fw::FieldDef::dateTime("DATAMOVIMENTO")});
  stOperadorLogin = QStringLiteral("0001");
  stNmOperador = QStringLiteral("Anterior");
  dtDataMovimento = 45000;
  f.initialize();
  EXPECT_EQ(stOperadorLogin, "");
  EXPECT_EQ(stNmOperador, "");
  EXPECT_EQ(dtDataMovimento, 0.0);
}

TEST(Startup, CatalogWithoutADeclaredFieldIsRefusedByName) {
  FormFixture f(notStarted());
  writeEmptyTable(f.path("Dados/Cadastros/ProdArquivo.cds"),
                  {fw::FieldDef::text("CDPRODUTO", 10), fw::FieldDef::text("NMPRODUTO", 50)});
  try {
    f.initialize();
    FAIL() << "a catalog without its fields was accepted";
  } catch (const fw::Error& e) {
    EXPECT_TRUE(e.message().contains("CDARVPROD")) << e.message().toStdString();
  }
}

TEST(Startup, TotalLabelsStartEmptyAndTheFormIs800By600) {
  FormFixture f(notStarted());
  TfrmVendaArquivo& form = f.form();
  EXPECT_EQ(form.size(), QSize(803, 606));
  EXPECT_EQ(form.lblTotal->text(), "00,00");
  f.initialize();
  EXPECT_EQ(form.size(), QSize(800, 600));
  EXPECT_EQ(form.lblTotal->text(), "");
  EXPECT_EQ(form.lblTotRecebido->text(), "");
  EXPECT_EQ(form.lblValTroco->text(), "");
}

TEST(Startup, PlacesTheFormOnSmallAndLargeScreens) {
  {
    FormFixture::Setup small = notStarted();
    small.screen = QRect(0, 0, 640, 480);
    FormFixture f(small);
    f.form().move(5, 7);
    f.initialize();
    EXPECT_EQ(f.form().pos(), QPoint(-80, -60));
    f.form().show();
    EXPECT_EQ(f.form().pos(), QPoint(-80, -60));
    f.form().hide();
  }
  {
    // Only the short side is placed at start-up.
    FormFixture::Setup narrow = notStarted();
    narrow.screen = QRect(0, 0, 1024, 500);
    FormFixture n(narrow);
    n.form().move(5, 7);
    n.initialize();
    EXPECT_EQ(n.form().pos(), QPoint(5, -50));
  }

  FormFixture::Setup large = notStarted();
  large.screen = QRect(0, 0, 1024, 768);
  FormFixture g(large);
  g.form().move(5, 7);
  g.initialize();
  EXPECT_EQ(g.form().pos(), QPoint(5, 7));
  g.form().show();
  EXPECT_EQ(g.form().geometry(), QRect(112, 84, 800, 600));
  EXPECT_TRUE(g.form().windowFlags() & Qt::FramelessWindowHint);
  g.form().hide();
}

// The kept sale is a plain table that any reader of table files takes as it is; one that
// cannot be read is kept aside and the screen starts with no sale.
TEST(Startup, KeptSaleIsAPlainTableAndAnUnreadableOneIsKeptAside) {
  FormFixture f;
  TfrmVendaArquivo& form = f.form();
  form.cdsReceb.createDataSet();
  form.cdsReceb.append();
  form.cdsReceb.setText("NMTIPORECE", "Dinheiro");
  form.cdsReceb.setNumber("VRMOVIVEND", 5);
  form.cdsReceb.post();
  stCupomVen = "000321";
  boCupomAberto = true;
  doTotal = 5;
  form.keepSale();

  const QString kept = f.path("VendaEmAndamento.cds");
  fw::LocalTable file;
  file.loadFromFile(kept);
  ASSERT_EQ(file.recordCount(), 2);
  const auto text = [&file](int row, const char* field) {
    return file.textAt(row, file.fieldIndex(field));
  };
  EXPECT_EQ(text(0, "TIPOREG") + text(0, "NRCUPOMVEN") + text(0, "IDCUPOMABERTO"), "V000321S");
  EXPECT_EQ(text(1, "TIPOREG") + text(1, "NMTIPORECE"), "RDinheiro");
  EXPECT_EQ(file.valueAt(1, file.fieldIndex("VRMOVIVEND")).toNumber(), 5.0);

  QFile damaged(kept);
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
  damaged.write("não é uma tabela");
  damaged.close();
  f.messages.clear();
  f.createForm();
  f.initialize();
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_TRUE(f.messages[0].text.startsWith("A venda em andamento guardada não pôde ser lida"))
      << f.messages[0].text.toStdString();
  EXPECT_TRUE(f.form().cdsReceb.isEmpty());
  EXPECT_FALSE(QFile::exists(kept));
  const QStringList aside = QDir(f.dataDir()).entryList({"VendaEmAndamento-ilegivel-*.cds"});
  ASSERT_EQ(aside.size(), 1);
  QFile keptAside(f.path(aside[0]));
  ASSERT_TRUE(keptAside.open(QIODevice::ReadOnly));
  EXPECT_EQ(keptAside.readAll(), QByteArray("não é uma tabela"));
}

TEST(SaleContext, FinalizationEmptiesTheTextsOnly) {
  stCupomVen = QStringLiteral("000123");
  stMd5ArquivoTxt = QStringLiteral("MD-5:x");
  stInfNomeEnd = QStringLiteral("S");
  boCupomAberto = true;
  doTotal = 12.5;
  Rev_IdTipoImpFis = 16;
  salecontext::finalizeTexts();
  EXPECT_TRUE(stCupomVen.isEmpty());
  EXPECT_TRUE(stMd5ArquivoTxt.isEmpty());
  EXPECT_TRUE(stInfNomeEnd.isEmpty());
  EXPECT_TRUE(boCupomAberto);
  EXPECT_EQ(doTotal, 12.5);
  EXPECT_EQ(Rev_IdTipoImpFis, 16);
  salecontext::resetToLoadValues();
  EXPECT_FALSE(boCupomAberto);
  EXPECT_EQ(doTotal, 0.0);
  EXPECT_EQ(Rev_IdTipoImpFis, 0);
}

TEST(Startup, AsksForTheCatalogSearchToBePreparedOnceLoaded) {
  FormFixture f(notStarted());
  int asked = 0;
  int rowsThen = -1;
  outside::PreparaPesquisa = [&](fw::LocalTable& table) {
    ++asked;
    EXPECT_EQ(&table, &f.form().cdsProdutos);
    rowsThen = table.recordCount();
  };
  f.initialize();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(rowsThen, f.demoSummary().products);
}
