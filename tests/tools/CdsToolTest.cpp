// The cds tool, run as the people who keep table files run it.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "framework/data/LocalTable.h"
#include "framework/packet/FileIo.h"

namespace {

struct ToolRun {
  int status = -1;
  QByteArray out;
  QByteArray err;
};

ToolRun cds(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(REGVENDA_BIN_DIR "/cds"), args);
  ToolRun r;
  if (!p.waitForFinished(60000)) return r;
  r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = p.readAllStandardOutput();
  r.err = p.readAllStandardError();
  return r;
}

ToolRun cdsOnJson(const QTemporaryDir& dir, const QByteArray& json, const QStringList& extra = {}) {
  const QString path = dir.filePath("t.json");
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
  f.write(json);
  f.close();
  return cds(extra + QStringList{"convert", path, dir.filePath("t.cds")});
}

QStringList samples() {
  QStringList out;
  for (const QString& f :
       QDir(REGVENDA_TESTDATA "/cds").entryList({"*.cds"}, QDir::Files, QDir::Name))
    out << QStringLiteral(REGVENDA_TESTDATA "/cds/") + f;
  return out;
}

}  // namespace

TEST(CdsTool, ConvertRoundTripsEverySampleByteForByte) {
  QTemporaryDir dir;
  for (const QString& path : samples()) {
    const QByteArray original = fw::readWholeFile(path);
    for (const char* via : {"copy.cds", "via.xml", "via.json"}) {
      const QString middle = dir.filePath(via);
      const QString back = dir.filePath("back.cds");
      ASSERT_EQ(cds({"convert", path, middle}).status, 0) << path.toStdString();
      if (QByteArray(via) != "copy.cds") {
        ASSERT_EQ(cds({"convert", middle, back}).status, 0) << via;
      }
      EXPECT_EQ(fw::readWholeFile(QByteArray(via) == "copy.cds" ? middle : back), original)
          << path.toStdString() << " via " << via;
    }
  }
}

TEST(CdsTool, JsonListsFieldsAndVisibleRows) {
  const ToolRun r = cds({"json", REGVENDA_TESTDATA "/cds/reservat.cds"});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  const QJsonObject doc = QJsonDocument::fromJson(r.out).object();
  const QJsonArray fields = doc["fields"].toArray();
  ASSERT_EQ(fields.size(), 11);
  EXPECT_EQ(fields[0].toObject()["type"].toString(), "i4");
  EXPECT_EQ(fields[0].toObject()["subtype"].toString(), "Autoinc");
  EXPECT_EQ(fields[0].toObject()["attributes"].toInt(), 2);
  EXPECT_EQ(fields[7].toObject()["type"].toString(), "date");
  EXPECT_EQ(fields[8].toObject()["type"].toString(), "blob");
  const QJsonArray rows = doc["rows"].toArray();
  ASSERT_EQ(rows.size(), 100);
  const QJsonArray first = rows[0].toArray();
  EXPECT_EQ(first[0].toInt(), 9);
  EXPECT_EQ(first[5].toString(), "VISA");
  EXPECT_EQ(first[7].toDouble(), 35399.0);  // 30/11/1996
  EXPECT_TRUE(first[10].toBool());
}

TEST(CdsTool, HandWrittenJsonBecomesATableFile) {
  QTemporaryDir dir;
  const QString json = dir.filePath("param.json");
  QFile f(json);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(R"({"fields":[{"name":"CDFILIAL","type":"string","width":4},
                        {"name":"UTILIZAIMPFIS","type":"string","width":1},
                        {"name":"DTABERCAIX","type":"dateTime"}],
             "rows":[["0001","S",45000.5]]})");
  f.close();
  ASSERT_EQ(cds({"convert", json, dir.filePath("PARAMETROSORV.CDS")}).status, 0);
  fw::LocalTable t;
  t.loadFromFile(dir.filePath("PARAMETROSORV.CDS"));
  EXPECT_EQ(t.asText("CDFILIAL"), "0001");
  EXPECT_EQ(t.asDateTime("DTABERCAIX"), 45000.5);

  // A byte-order mark is no part of the text; decimals are kept digit for digit.
  const QByteArray decimals =
      R"({"fields":[{"name":"N","type":"bcd"}],"rows":[[1e-30],[-12.50],[123456789012345678901234.5]]})";
  ASSERT_EQ(cdsOnJson(dir, "\xEF\xBB\xBF" + decimals).status, 0);
  const ToolRun r = cds({"json", dir.filePath("t.cds")});
  EXPECT_TRUE(
      r.out.contains("[0.000000000000000000000000000001],\n  [-12.5],\n  "
                     "[123456789012345678901234.5]]"))
      << r.out.toStdString();
  // And through the XML form.
  ASSERT_EQ(cds({"convert", dir.filePath("t.cds"), dir.filePath("t.xml")}).status, 0);
  EXPECT_EQ(cds({"json", dir.filePath("t.xml")}).out, r.out);
}

TEST(CdsTool, DumpShowsFieldsAndRows) {
  const ToolRun r = cds({"dump", REGVENDA_TESTDATA "/cds/industry.cds"});
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.contains("IND_NAME  string(5)"));
  EXPECT_TRUE(r.out.contains("Auto & Truck"));
}

TEST(CdsTool, ErrorsGoToStandardErrorWithStatusOne) {
  QTemporaryDir dir;
  const QString broken = dir.filePath("broken.cds");
  QFile f(broken);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(fw::readWholeFile(REGVENDA_TESTDATA "/cds/industry.cds").left(100));
  f.close();
  for (const QStringList& args :
       {QStringList{"json", broken}, QStringList{"dump", dir.filePath("none.cds")},
        QStringList{"convert", broken, dir.filePath("x.txt")}, QStringList{"what"}}) {
    const ToolRun r = cds(args);
    EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_TRUE(r.out.isEmpty());
  }
  EXPECT_TRUE(cds({"json", broken}).err.contains("broken.cds"));
  EXPECT_FALSE(QFile::exists(dir.filePath("x.txt")));
}

TEST(CdsTool, HelpAndVersionGoToStandardOutput) {
  for (const char* option : {"--help", "-h", "--version"}) {
    const ToolRun r = cds({option});
    EXPECT_EQ(r.status, 0) << option;
    EXPECT_TRUE(r.err.isEmpty()) << option;
    EXPECT_TRUE(r.out.startsWith(QByteArray(option) == "--version" ? "cds " : "uso: cds"))
        << r.out.toStdString();
  }
}

// Each input is refused with status 1, naming what was wrong, the row and the offset; no
// table file is left behind.
TEST(CdsTool, JsonItCannotKeepIsRefusedNamingRowFieldAndOffset) {
  QTemporaryDir dir;
  const QByteArray i8 =
      R"({"fields":[{"name":"N","type":"i8"},{"name":"U","type":"u8"}],"rows":[[1,1],)";
  const QByteArray text = R"({"fields":[{"name":"CIDADE","type":"string","width":12}],"rows":[)";
  const struct {
    QByteArray json;
    const char* says;
  } cases[] = {
      {R"({"fields":[{"name":"A","type":"i4"}],"rows":{"a":[1]}})",
       "\"rows\" deve ser uma lista, veio um objeto"},
      {R"({"fields":[{"name":"A","type":"i4"}],"rows":"[[1]]"})",
       "\"rows\" deve ser uma lista, veio o texto"},
      {R"({"fields":[{"name":"A","type":"i4"}]})", "falta a lista \"rows\""},
      {R"({"rows":[],"fields":[]})", "antes da lista \"fields\""},
      {i8 + "[1e30,1]]}", "linha 2, campo 'N': o número 1e30 não cabe no tipo i8"},
      {i8 + "[9223372036854775808,1]]}", "o número 9223372036854775808 não cabe"},
      {i8 + "[1,2e19]]}", "linha 2, campo 'U': o número 2e19 não cabe no tipo u8"},
      {i8 + "[1.5,1]]}", "o número 1.5 não é inteiro"},
      {i8 + R"(["1",1]]})", "o texto \"1\" não serve para o tipo i8"},
      {i8 + "[1]]}", "a linha 2 tem 1 valores; são 2 campos"},
      {R"({"fields":[{"name":"A","type":"i4"}],"params":[{"name":"DEFAULT_ORDER","value":[70000]}],"rows":[]})",
       "o número 70000 não cabe numa lista de inteiros de 0 a 65535"},
      {R"({"fields":[{"name":"A","type":"i4"}],"params":[{"name":"LCID","value":1e12}],"rows":[]})",
       "o número 1e12 não é um inteiro de -2147483648 a 2147483647"},
      {R"({"fields":[{"name":"A","type":"i4","width":70000}],"rows":[]})",
       "o número 70000 não é um inteiro de 0 a 65535"},
      {R"({"fields":[{"name":"A","type":"i4","attributes":"2"}],"rows":[]})",
       "o texto \"2\" não é um inteiro de 0 a 65535"},
      {text + R"(["Tóquio 東京"]]})",
       "campo 'CIDADE': o caractere '東' (U+6771, posição 8 do texto)"},
      {text + R"(["café ☕"]]})", "o caractere '☕' (U+2615"},
      {text + R"(["São José dos Campos"]]})", "texto de 19 caracteres; a largura do campo é 12"},
      {R"({"fields":[{"name":"D","type":"date"}],"rows":[[3000000]]})",
       "não é uma data e hora de 01/01/0001 a 31/12/9999"},
      {R"({"fields":[{"name":"D","type":"date"}],"rows":[[45000.5]]})",
       "tem hora num campo de data"},
      {R"({"fields":[{"name":"CODIGO","type":"i4"},{"name":"codigo","type":"i4"}],"rows":[]})",
       "campo 'codigo' repetido"},
      {R"({"fields":[{"name":"A","type":"string","width":-1}],"rows":[]})",
       "o número -1 não é um inteiro de 0 a 65535"},
      {R"({"fields":[{"name":"A","type":"string","size":-1}],"rows":[]})",
       "o número -1 não é um inteiro de 0 a 65535"},
      {R"({"fields":[{"name":"A","type":"i4"}],"params":[{"name":"LCID","value":"1046"}],"rows":[]})",
       "parâmetro 1 (LCID): esperado um inteiro de 32 bits"},
      {text + R"(["a"]]})", "campo 'CIDADE': o caractere '(controle)' (U+0081"},
      {R"({"fields":[{"name":"N","type":"bcd","size":3}],"rows":[[1.25]]})",
       "linha 1, campo 'N': o valor 1.25 não cabe no campo decimal"},
      {R"({"fields":[{"name":"T","type":"time"}],"rows":[[1.5]]})", "não é uma hora do dia"},
      {R"({"fields":[{"name":"A","type":"i4"}],"rows":[[1]]} x)", "algo depois do fim do objeto"},
  };
  for (const auto& c : cases) {
    const ToolRun r = cdsOnJson(dir, c.json);
    const QString err = QString::fromUtf8(r.err);
    EXPECT_EQ(r.status, 1) << c.json.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8(c.says)) && err.contains("deslocamento") &&
                err.contains("t.json"))
        << c.json.toStdString() << "\n"
        << err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("t.cds")));
  }
}

TEST(CdsTool, XmlTextTheTableCannotHoldIsRefused) {
  QTemporaryDir dir;
  const QString xml = dir.filePath("t.xml");
  fw::writeFileAtomically(
      xml,
      R"(<?xml version="1.0" standalone="yes"?><DATAPACKET Version="2.0"><METADATA><FIELDS>)"
      R"(<FIELD attrname="CIDADE" fieldtype="string" WIDTH="12"/></FIELDS><PARAMS/></METADATA>)"
      R"(<ROWDATA><ROW CIDADE="Tóquio 東京"/></ROWDATA></DATAPACKET>)");
  ToolRun r = cds({"convert", xml, dir.filePath("t.cds")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(QString::fromUtf8(r.err).contains("U+6771")) << r.err.toStdString();
  r = cds({"--substituir", "convert", xml, dir.filePath("t.cds")});
  EXPECT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("2 caractere(s)")) << r.err.toStdString();
}

TEST(CdsTool, ReplacementOfMissingCharactersOnlyWhenAskedAndReported) {
  QTemporaryDir dir;
  const QByteArray json =
      R"({"fields":[{"name":"CIDADE","type":"string","width":12}],"rows":[["Tóquio 東京"],["café ☕"]]})";
  ASSERT_EQ(cdsOnJson(dir, json).status, 1);
  const ToolRun r = cdsOnJson(dir, json, {"--substituir"});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_TRUE(QString::fromUtf8(r.err).contains("3 caractere(s)")) << r.err.toStdString();
  fw::LocalTable t;
  t.loadFromFile(dir.filePath("t.cds"));
  EXPECT_EQ(t.asText("CIDADE"), "Tóquio ??");
}

// A hostile file is refused at its first oversized element: fast, and without parsing the rest.
TEST(CdsTool, OversizedJsonElementsAreRefusedAtOnce) {
  QTemporaryDir dir;
  const QByteArray head = R"({"fields":[{"name":"A","type":"string","width":10}],"rows":[)";
  const QByteArray hugeText = head + "[\"" + QByteArray(20 * 1024 * 1024, 'a') + "\"]]}";
  const QByteArray blanks = head + QByteArray(20 * 1024 * 1024, ' ') + "]}";
  QByteArray nested = head;
  nested.append(QByteArray(1000000, '['));
  QByteArray emptyRows = R"({"fields":[{"name":"A","type":"string","width":10}],"rows":[)";
  for (int i = 0; i < 2000000; ++i) emptyRows.append("[],");
  emptyRows.append("[]]}");
  for (const QByteArray& json : {hugeText, blanks, nested, emptyRows}) {
    const ToolRun r = cdsOnJson(dir, json);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("deslocamento")) << r.err.left(300).toStdString();
  }
}

TEST(CdsTool, ConvertWritesNoDateTheReadersWouldRefuse) {
  QTemporaryDir dir;
  // A date of day 0 (before 1 January 0001) in an otherwise sound binary table.
  fw::FieldDef date;
  date.name = "D";
  date.type = fw::FieldType::Date;
  fw::LocalTable t;
  t.declareFields({date});
  t.createDataSet();
  t.append();
  t.setDateTime("D", 45000);
  t.post();
  QByteArray bytes = t.data().toPacket();
  const qsizetype at = bytes.size() - 4;
  bytes.replace(at, 4, QByteArray(4, '\0'));
  const QString bad = dir.filePath("bad.cds");
  fw::writeFileAtomically(bad, bytes);
  for (const char* out : {"out.xml", "out.json", "out.cds"}) {
    const ToolRun r = cds({"convert", bad, dir.filePath(out)});
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_TRUE(
        QString::fromUtf8(r.err).contains("Registro 1: Campo 'D': data (dia 0) fora do intervalo"))
        << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(out)));
  }
}
