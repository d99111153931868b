// The cds tool, run as the people who keep table files run it.
#include "framework/data/LocalTable.h"
#include "framework/packet/FileIo.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

QStringList samples() {
  QStringList out;
  for (const QString& f : QDir(REGVENDA_TESTDATA "/cds").entryList({"*.cds"}, QDir::Files, QDir::Name))
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
  for (const QStringList& args : {QStringList{"json", broken}, QStringList{"dump", dir.filePath("none.cds")},
                                  QStringList{"convert", broken, dir.filePath("x.txt")}, QStringList{"what"}}) {
    const ToolRun r = cds(args);
    EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_TRUE(r.out.isEmpty());
  }
  EXPECT_TRUE(cds({"json", broken}).err.contains("broken.cds"));
  EXPECT_FALSE(QFile::exists(dir.filePath("x.txt")));
}
