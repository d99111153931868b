// Loading and saving table files: declared fields against the file, undeclared fields kept,
// empty files, atomic saves that never damage the earlier file.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/packet/BinaryPacket.h"
#include "framework/packet/DataPacket.h"
#include "framework/packet/FileIo.h"

using namespace fw;

namespace {

std::vector<FieldDef> catalogFields(bool withCest = true) {
  std::vector<FieldDef> f = {
      FieldDef::text("CDPRODUTO", 10), FieldDef::text("NMPRODUTO", 50, "Produto"),
      FieldDef::number("VRPRECITEM", "Preço"), FieldDef::dateTime("DTINIVGPROMOC")};
  if (withCest) f.push_back(FieldDef::text("CDCEST", 9));
  return f;
}

QString writeTable(const QTemporaryDir& dir, const QString& name,
                   const std::vector<FieldDef>& fields, int rows) {
  LocalTable t;
  t.declareFields(fields);
  t.createDataSet();
  for (int i = 0; i < rows; ++i) {
    t.append();
    t.setText("CDPRODUTO", QString::number(i + 1));
    t.setText("NMPRODUTO", QString::fromUtf8("Pão de queijo nº %1").arg(i));
    t.setNumber("VRPRECITEM", 2.5 * i);
    t.post();
  }
  const QString path = dir.filePath(name);
  t.saveToFile(path);
  return path;
}

}  // namespace

TEST(LocalTableFile, CatalogWithoutDeclaredFieldFailsNamingIt) {
  QTemporaryDir dir;
  const QString path = writeTable(dir, "ProdArquivo.cds", catalogFields(false), 2);
  LocalTable t("cdsProdutos");
  t.declareFields(catalogFields());
  try {
    t.loadFromFile(path);
    FAIL();
  } catch (const Error& e) {
    EXPECT_TRUE(
        e.message().startsWith(QString::fromUtf8("Campo 'CDCEST' não encontrado no arquivo")))
        << e.message().toStdString();
  }
  EXPECT_FALSE(t.active());
}

TEST(LocalTableFile, FieldOfAnotherTypeFailsNamingIt) {
  QTemporaryDir dir;
  auto fields = catalogFields();
  fields[2] = FieldDef::text("VRPRECITEM", 10);
  const QString path = writeTable(dir, "a.cds", fields, 1);
  LocalTable t;
  t.declareFields(catalogFields());
  EXPECT_THROW(
      {
        try {
          t.loadFromFile(path);
        } catch (const Error& e) {
          EXPECT_TRUE(e.message().contains("'VRPRECITEM'"));
          throw;
        }
      },
      Error);
}

TEST(LocalTableFile, ZeroRecordFileLoadsAndReadsNull) {
  QTemporaryDir dir;
  const QString path = writeTable(dir, "vazio.cds", catalogFields(), 0);
  LocalTable t;
  t.declareFields(catalogFields());
  t.loadFromFile(path);
  EXPECT_TRUE(t.active());
  EXPECT_TRUE(t.isEmpty());
  EXPECT_TRUE(t.eof());
  EXPECT_EQ(t.asText("NMPRODUTO"), "");
  EXPECT_EQ(t.asNumber("VRPRECITEM"), 0.0);
  EXPECT_TRUE(t.asVariant("DTINIVGPROMOC").isNull());
}

TEST(LocalTableFile, UndeclaredFieldsStayInRecordsAndFileButNotByName) {
  QTemporaryDir dir;
  const QString path = writeTable(dir, "a.cds", catalogFields(), 3);
  LocalTable t;
  t.declareFields({FieldDef::text("NMPRODUTO", 50), FieldDef::text("CDPRODUTO", 10)});
  t.loadFromFile(path);
  EXPECT_EQ(t.fieldIndex("VRPRECITEM"), -1);
  EXPECT_THROW(t.asText("VRPRECITEM"), Error);
  t.last();
  t.edit();
  t.setText("NMPRODUTO", "Outro");
  t.post();
  const QString out = dir.filePath("b.cds");
  t.saveToFile(out);

  LocalTable all;
  all.loadFromFile(out);
  ASSERT_EQ(all.fields().size(), 5u);
  all.last();
  EXPECT_EQ(all.asText("NMPRODUTO"), "Outro");
  EXPECT_EQ(all.asNumber("VRPRECITEM"), 5.0);
  EXPECT_EQ(all.asText("CDPRODUTO"), "3");
}

TEST(LocalTableFile, NarrowerFileWidthLimitsWrites) {
  QTemporaryDir dir;
  auto narrow = catalogFields();
  narrow[1] = FieldDef::text("NMPRODUTO", 8);
  const QString path = writeTable(dir, "a.cds", narrow, 1);
  LocalTable t;
  t.declareFields(catalogFields());
  t.loadFromFile(path);
  t.edit();
  t.setText("NMPRODUTO", "Arroz integral");
  t.post();
  EXPECT_EQ(t.asText("NMPRODUTO"), "Arroz in");
}

TEST(LocalTableFile, UnchangedFileSavesByteForByteAndTextsKeepAccents) {
  QTemporaryDir dir;
  const QString path = writeTable(dir, "a.cds", catalogFields(), 4);
  LocalTable t;
  t.loadFromFile(path);
  t.setRecNo(2);
  EXPECT_EQ(t.asText("NMPRODUTO"), QString::fromUtf8("Pão de queijo nº 1"));
  const QString again = dir.filePath("again.cds");
  t.saveToFile(again);
  EXPECT_EQ(readWholeFile(again), readWholeFile(path));
  EXPECT_TRUE(readWholeFile(path).contains("P\xE3o de queijo n\xBA"));
}

TEST(LocalTableFile, WideTextFieldKeepsLongTexts) {
  LocalTable t;
  t.declareFields({FieldDef::text("DSMESSAGEBUT", 300)});
  t.createDataSet();
  t.append();
  t.setText("DSMESSAGEBUT", QString(320, QLatin1Char('m')));
  t.post();
  LocalTable back;
  back.setData(t.data());
  EXPECT_EQ(back.asText("DSMESSAGEBUT"), QString(300, QLatin1Char('m')));
  EXPECT_EQ(back.fields()[0].width, 300);
}

TEST(LocalTableFile, XmlFileRoundTrip) {
  QTemporaryDir dir;
  const QString path = writeTable(dir, "a.cds", catalogFields(), 3);
  LocalTable t;
  t.loadFromFile(path);
  t.saveToXmlFile(dir.filePath("a.xml"));
  LocalTable x;
  x.declareFields(catalogFields());
  x.loadFromXmlFile(dir.filePath("a.xml"));
  EXPECT_EQ(x.data().toPacket(), readWholeFile(path));
}

TEST(LocalTableFile, SaveIntoMissingFolderNamesTheFile) {
  QTemporaryDir dir;
  LocalTable t;
  t.declareFields(catalogFields());
  t.createDataSet();
  const QString path = dir.filePath("nao/existe/a.cds");
  try {
    t.saveToFile(path);
    FAIL();
  } catch (const Error& e) {
    EXPECT_TRUE(e.message().contains(path)) << e.message().toStdString();
  }
}

TEST(LocalTableFile, FailedWriteLeavesTheEarlierFileAndNoTemporary) {
  QTemporaryDir dir;
  const QString path = writeTable(dir, "a.cds", catalogFields(), 2);
  const QByteArray before = readWholeFile(path);

  LocalTable big;
  big.declareFields(catalogFields());
  big.createDataSet();
  for (int i = 0; i < 2000; ++i) {
    big.append();
    big.setText("NMPRODUTO", QString(40, QLatin1Char('x')));
    big.post();
  }
  // A file-size limit makes the write fail part way, as a full disk does.
  struct rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  bool threw = false;
  try {
    big.saveToFile(path);
  } catch (const Error& e) {
    threw = true;
    EXPECT_TRUE(e.message().contains(path));
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(threw);
  EXPECT_EQ(readWholeFile(path), before);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.cds"});
}

TEST(LocalTableFile, FieldTypesAndLengthPrefixesSurviveAWriteAndARead) {
  FieldDef date = FieldDef::dateTime("DIA");
  date.type = FieldType::Date;
  FieldDef time = FieldDef::dateTime("HORA");
  time.type = FieldType::Time;
  const DataPacket written = DataPacket::create({date, time, FieldDef::text("NOME", 255)});
  const DataPacket read = readBinaryPacket(writeBinaryPacket(written), "tipos.cds");
  ASSERT_EQ(read.fields.size(), 3u);
  EXPECT_EQ(read.fields[0].toDef().type, FieldType::Date);
  EXPECT_EQ(read.fields[1].toDef().type, FieldType::Time);

  // A one-byte length prefix holds 255 at most: 256 bytes must not wrap to an empty value.
  RecordBuilder record(written);
  EXPECT_NO_THROW(record.setRaw(2, QByteArray(255, 'a').constData(), 255));
  EXPECT_THROW(record.setRaw(2, QByteArray(256, 'a').constData(), 256), Error);
}
