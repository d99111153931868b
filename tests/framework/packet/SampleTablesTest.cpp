// Every sample table the host wrote decodes completely, equals its XML twin value by value
// and is written back byte for byte.
#include <gtest/gtest.h>

#include <QDir>
#include <cmath>
#include <random>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/packet/BinaryPacket.h"
#include "framework/packet/FileIo.h"
#include "framework/packet/JsonPacket.h"
#include "framework/packet/XmlPacket.h"

using namespace fw;

namespace {

QStringList sampleNames() {
  QStringList names;
  for (const QString& f :
       QDir(REGVENDA_TESTDATA "/cds").entryList({"*.cds"}, QDir::Files, QDir::Name))
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

enum class Form { Binary, Xml, Json };
constexpr Form kForms[] = {Form::Binary, Form::Xml, Form::Json};
const char* formName(Form f) { return f == Form::Binary ? "cds" : f == Form::Xml ? "xml" : "json"; }

DataPacket through(const DataPacket& p, Form form) {
  switch (form) {
    case Form::Binary:
      return readBinaryPacket(writeBinaryPacket(p), "t.cds");
    case Form::Xml:
      return readXmlPacket(writeXmlPacket(p), "t.xml");
    case Form::Json:
      return readJsonPacket(writeJsonPacket(p), "t.json");
  }
  return {};
}

// Same structure and the same value in every cell (u8 compared by its bytes, which no
// Variant holds exactly above the signed range).
::testing::AssertionResult sameValues(const DataPacket& a, const DataPacket& b) {
  if (a.fields.size() != b.fields.size()) return ::testing::AssertionFailure() << "field count";
  for (std::size_t i = 0; i < a.fields.size(); ++i) {
    const PacketField& x = a.fields[i];
    const PacketField& y = b.fields[i];
    if (x.name != y.name || x.type != y.type || x.size != y.size || x.attributes != y.attributes ||
        x.width() != y.width() || x.subtype() != y.subtype())
      return ::testing::AssertionFailure()
             << "field " << x.name.toStdString() << " (type " << x.type << "/" << y.type
             << ", size " << x.size << "/" << y.size << ", attributes " << x.attributes << "/"
             << y.attributes << ", width " << x.width() << "/" << y.width() << ")";
  }
  if (a.recordCount() != b.recordCount()) return ::testing::AssertionFailure() << "record count";
  for (int r = 0; r < a.recordCount(); ++r)
    for (int f = 0; f < static_cast<int>(a.fields.size()); ++f) {
      const PacketField& field = a.fields[static_cast<std::size_t>(f)];
      const ValueSpan x = a.span(r, f), y = b.span(r, f);
      const bool same =
          field.fieldType == FieldType::UInt64
              ? x.null == y.null && QByteArray(x.data, x.size) == QByteArray(y.data, y.size)
              : a.value(r, f) == b.value(r, f);
      if (!same)
        return ::testing::AssertionFailure()
               << "row " << r + 1 << " field " << field.name.toStdString() << ": "
               << a.value(r, f).debugText().toStdString() << " became "
               << b.value(r, f).debugText().toStdString();
    }
  return ::testing::AssertionSuccess();
}

// Written in one form, read, written in another and read again: the same values.
void expectEveryPairKeepsTheValues(const DataPacket& p, const std::string& what) {
  for (Form first : kForms)
    for (Form second : kForms) {
      try {
        EXPECT_TRUE(sameValues(p, through(through(p, first), second)))
            << what << " via " << formName(first) << " and " << formName(second);
      } catch (const Error& e) {
        ADD_FAILURE() << what << " via " << formName(first) << " and " << formName(second) << ": "
                      << e.message().toStdString();
      }
    }
}

// A table of random fields and values, within what the host's tables can hold.
DataPacket randomTable(std::mt19937& rng) {
  const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  static const FieldType types[] = {
      FieldType::Text,   FieldType::WideText, FieldType::Int8,     FieldType::Int16,
      FieldType::Int32,  FieldType::Int64,    FieldType::UInt8,    FieldType::UInt16,
      FieldType::UInt32, FieldType::UInt64,   FieldType::Boolean,  FieldType::Number,
      FieldType::Date,   FieldType::Time,     FieldType::DateTime, FieldType::Blob};
  std::vector<FieldDef> defs;
  const int fieldCount = 1 + pick(8);
  for (int i = 0; i < fieldCount; ++i) {
    FieldDef d;
    d.name = QStringLiteral("CAMPO%1").arg(i);
    d.type = types[pick(std::size(types))];
    d.width = d.type == FieldType::Text || d.type == FieldType::WideText ? 1 + pick(300) : 0;
    d.attributes = pick(16);
    if (d.type == FieldType::Blob && pick(2)) d.subtype = "Text";
    if (d.type == FieldType::Number && pick(2)) d.currency = true;
    defs.push_back(d);
  }
  DataPacket p = DataPacket::create(defs);
  static const QString letters = QStringLiteral("aZ09 çãéÕü€ŠœŸ™–—…‰<>&\"'");
  RecordBuilder b(p);
  const int rows = pick(12);
  for (int r = 0; r < rows; ++r) {
    b.reset();
    for (int f = 0; f < fieldCount; ++f) {
      if (pick(5) == 0) continue;
      const PacketField& field = p.fields[static_cast<std::size_t>(f)];
      const qint64 wide = static_cast<qint64>((quint64(rng()) << 32) | rng());
      switch (field.fieldType) {
        case FieldType::Text:
        case FieldType::WideText: {
          QString text;
          for (int n = 1 + pick(std::min(field.width(), 40)); n > 0; --n)
            text += letters[pick(letters.size())];
          if (field.fieldType == FieldType::WideText && text.size() < field.width())
            text += QChar(0x6771);
          b.setText(f, text);
          break;
        }
        case FieldType::Blob: {
          QByteArray bytes;
          for (int n = pick(50); n > 0; --n)
            bytes.append(static_cast<char>(field.subtype() == "Text" ? 'a' + pick(26) : pick(256)));
          b.setRaw(f, bytes.constData(), bytes.size());
          break;
        }
        case FieldType::Boolean:
          b.setVariant(f, Variant(pick(2) == 1));
          break;
        case FieldType::Number:
          b.setVariant(f, Variant(std::ldexp(static_cast<double>(wide), -pick(40))));
          break;
        case FieldType::Date:
          b.setVariant(f, Variant::dateTime(-693593 + pick(3652059)));
          break;
        case FieldType::Time:
          b.setVariant(f, Variant::dateTime(pick(86400000) / kMsPerDay));
          break;
        case FieldType::DateTime: {
          const double ms = (1 + pick(3652059)) * kMsPerDay + pick(86400000);
          b.setRaw(f, reinterpret_cast<const char*>(&ms), 8);
          break;
        }
        default: {
          // Any bit pattern of its width; u8 within the signed range (see
          // UnsignedAboveTheSignedRange).
          const qint64 v = field.fieldType == FieldType::UInt64
                               ? wide & std::numeric_limits<qint64>::max()
                               : wide;
          QByteArray raw(reinterpret_cast<const char*>(&v), field.size);
          b.setRaw(f, raw.constData(), raw.size());
        }
      }
    }
    p.appendRecord(b.finish());
  }
  return p;
}

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
  ASSERT_EQ(bin.recordCount(), xml.recordCount());
  ASSERT_FALSE(bin.isEmpty());
  for (int r = 0; r < bin.recordCount(); ++r)
    for (int f = 0; f < static_cast<int>(bin.fields.size()); ++f) {
      const PacketField& field = bin.fields[static_cast<std::size_t>(f)];
      const Variant a = folded(field, bin.value(r, f));
      const Variant b = folded(field, xml.value(r, f));
      ASSERT_EQ(a, b) << GetParam().toStdString() << " row " << r << " field "
                      << field.name.toStdString() << ": " << a.debugText().toStdString() << " vs "
                      << b.debugText().toStdString();
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
  const int headerSize =
      static_cast<unsigned char>(original[22]) | static_cast<unsigned char>(original[23]) << 8;
  EXPECT_EQ(fromXml.left(headerSize), original.left(headerSize));
  EXPECT_EQ(fromXml.size(), original.size());
}

TEST_P(SampleTable, XmlWrittenByUsReadsBackTheSame) {
  const QByteArray bytes = readWholeFile(samplePath(GetParam(), "cds"));
  const DataPacket bin = readBinaryPacket(bytes, GetParam());
  EXPECT_EQ(writeBinaryPacket(readXmlPacket(writeXmlPacket(bin), "xml")), bytes);
}

TEST_P(SampleTable, EveryPairOfFormsReadsBackTheSameValues) {
  const DataPacket bin = readBinaryPacket(readWholeFile(samplePath(GetParam(), "cds")), GetParam());
  expectEveryPairKeepsTheValues(bin, GetParam().toStdString());
}

TEST(SampleTables, RandomTablesKeepTheirValuesThroughEveryPairOfForms) {
  std::mt19937 rng(1346);
  for (int i = 0; i < 150; ++i)
    expectEveryPairKeepsTheValues(randomTable(rng), "table " + std::to_string(i));
}

// u8 values above the signed range, and attribute bits beyond the four named ones.
DataPacket edgeTable() {
  FieldDef u;
  u.name = "U";
  u.type = FieldType::UInt64;
  u.attributes = 0x32;
  DataPacket p = DataPacket::create({u});
  RecordBuilder b(p);
  for (quint64 v : {~quint64(0), quint64(1) << 63, quint64(0)}) {
    b.reset();
    b.setRaw(0, reinterpret_cast<const char*>(&v), 8);
    p.appendRecord(b.finish());
  }
  return p;
}

TEST(SampleTables, UnsignedAboveTheSignedRangeAndEveryAttributeBitKeptByJsonAndBinary) {
  const DataPacket p = edgeTable();
  for (Form first : {Form::Binary, Form::Json})
    for (Form second : {Form::Binary, Form::Json})
      EXPECT_TRUE(sameValues(p, through(through(p, first), second)))
          << formName(first) << " and " << formName(second);
}

TEST(SampleTables, UnsignedAboveTheSignedRangeAndEveryAttributeBitKeptByXml) {
  const DataPacket p = edgeTable();
  try {
    EXPECT_TRUE(sameValues(p, through(p, Form::Xml)));
  } catch (const Error& e) {
    ADD_FAILURE() << e.message().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleTable, ::testing::ValuesIn(sampleNames()),
                         [](const auto& info) { return info.param.toStdString(); });
