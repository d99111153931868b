// Every sample table the host wrote decodes completely, equals its XML twin value by value
// and is written back byte for byte.
#include "framework/data/LocalTable.h"
#include "framework/packet/BinaryPacket.h"
#include "framework/packet/FileIo.h"
#include "framework/packet/XmlPacket.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace fw;

namespace {

QStringList sampleNames() {
  QStringList names;
  for (const QString& f : QDir(REGVENDA_TESTDATA "/cds").entryList({"*.cds"}, QDir::Files, QDir::Name))
    names << f.chopped(4);
  return names;
}

QString samplePath(const QString& name, const char* ext) {
  return QStringLiteral(REGVENDA_TESTDATA "/cds/%1.%2").arg(name, QLatin1String(ext));
}

// XML attribute values fold line breaks to blanks; compare text blobs the same way. The
// host writes numbers to XML with 16 significant digits, so compare them at that precision.
Variant folded(const PacketField& f, Variant v) {
  if (v.kind() == Variant::Kind::Number) return Variant(QString::number(v.toNumber(), 'g', 16));
  if (f.fieldType != FieldType::Blob || f.subtype() != "Text" || v.isNull()) return v;
  QByteArray bytes = v.toPacket();
  bytes.replace("\r\n", " ").replace('\r', ' ').replace('\n', ' ').replace('\t', ' ');
  return Variant::packet(bytes);
}

class SampleTable : public ::testing::TestWithParam<QString> {};

}  // namespace

TEST(SampleTables, AllPresent) { EXPECT_GE(sampleNames().size(), 11); }

TEST_P(SampleTable, EqualsItsXmlTwinValueByValue) {
  const DataPacket bin = readBinaryPacket(readWholeFile(samplePath(GetParam(), "cds")), GetParam());
  const DataPacket xml = readXmlPacket(readWholeFile(samplePath(GetParam(), "xml")), GetParam());
  ASSERT_EQ(bin.fields.size(), xml.fields.size());
  for (std::size_t i = 0; i < bin.fields.size(); ++i) {
    EXPECT_EQ(bin.fields[i].name, xml.fields[i].name);
    EXPECT_EQ(bin.fields[i].type, xml.fields[i].type) << bin.fields[i].name.toStdString();
    EXPECT_EQ(bin.fields[i].size, xml.fields[i].size) << bin.fields[i].name.toStdString();
  }
  ASSERT_EQ(bin.records.size(), xml.records.size());
  ASSERT_FALSE(bin.records.empty());
  for (int r = 0; r < static_cast<int>(bin.records.size()); ++r)
    for (int f = 0; f < static_cast<int>(bin.fields.size()); ++f) {
      const PacketField& field = bin.fields[static_cast<std::size_t>(f)];
      const Variant a = folded(field, bin.value(r, f));
      const Variant b = folded(field, xml.value(r, f));
      ASSERT_EQ(a, b) << GetParam().toStdString() << " row " << r << " field " << field.name.toStdString()
                      << ": " << a.debugText().toStdString() << " vs " << b.debugText().toStdString();
    }
}

TEST_P(SampleTable, RewritesByteForByte) {
  const QByteArray bytes = readWholeFile(samplePath(GetParam(), "cds"));
  EXPECT_EQ(writeBinaryPacket(readBinaryPacket(bytes, GetParam())), bytes);

  LocalTable table;
  table.loadFromFile(samplePath(GetParam(), "cds"));
  EXPECT_EQ(table.data().toPacket(), bytes);
}

TEST_P(SampleTable, XmlTwinGivesTheSameStructure) {
  const DataPacket xml = readXmlPacket(readWholeFile(samplePath(GetParam(), "xml")), GetParam());
  const QByteArray fromXml = writeBinaryPacket(xml);
  const QByteArray original = readWholeFile(samplePath(GetParam(), "cds"));
  const int headerSize = static_cast<unsigned char>(original[22]) | static_cast<unsigned char>(original[23]) << 8;
  EXPECT_EQ(fromXml.left(headerSize), original.left(headerSize));
  EXPECT_EQ(fromXml.size(), original.size());
}

TEST_P(SampleTable, XmlWrittenByUsReadsBackTheSame) {
  const QByteArray bytes = readWholeFile(samplePath(GetParam(), "cds"));
  const DataPacket bin = readBinaryPacket(bytes, GetParam());
  EXPECT_EQ(writeBinaryPacket(readXmlPacket(writeXmlPacket(bin), "xml")), bytes);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleTable, ::testing::ValuesIn(sampleNames()),
                         [](const auto& info) { return info.param.toStdString(); });
