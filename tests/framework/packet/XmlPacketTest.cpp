// The XML form: texts survive whatever characters XML can carry, everything else is a
// clear error, and a cut file never loads half.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/packet/BinaryPacket.h"
#include "framework/packet/XmlPacket.h"

using namespace fw;

namespace {

DataPacket oneText(const QString& text) {
  LocalTable t;
  t.declareFields(
      {FieldDef::text("NMPRODUTO", 50), FieldDef::dateTime("DT"), FieldDef::number("VR")});
  t.createDataSet();
  t.append();
  t.setText("NMPRODUTO", text);
  t.setDateTime("DT", 45000.25);
  t.setNumber("VR", 0.1 + 0.2);
  t.post();
  return readBinaryPacket(t.data().toPacket(), "t");
}

}  // namespace

TEST(XmlPacket, TextsWithMarkupLineBreaksAndAccentsRoundTrip) {
  const QString text = QString::fromUtf8("Feijão & \"arroz\" <1kg>\n\tmaçã 'ok'");
  const DataPacket p = oneText(text);
  const QByteArray xml = writeXmlPacket(p);
  EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" standalone=\"yes\"?>"));
  const DataPacket back = readXmlPacket(xml, "t.xml");
  EXPECT_EQ(back.value(0, 0), Variant(text));
  EXPECT_EQ(writeBinaryPacket(back), writeBinaryPacket(p));
}

TEST(XmlPacket, ControlCharacterIsRefusedNamingTheField) {
  try {
    writeXmlPacket(oneText(QString::fromUtf8("a\x01z")));
    FAIL();
  } catch (const Error& e) {
    EXPECT_TRUE(e.message().contains("'NMPRODUTO'")) << e.message().toStdString();
  }
}

TEST(XmlPacket, CutOrDamagedXmlIsAClearError) {
  const QByteArray xml = writeXmlPacket(oneText("abc"));
  for (qsizetype cut = 0; cut < xml.size(); cut += 7) {
    // The last cut may fall after the closing tag; everything before must fail.
    if (cut >= xml.indexOf("</DATAPACKET>") + 13) break;
    EXPECT_THROW(readXmlPacket(xml.left(cut), "t.xml"), Error) << cut;
  }
  QByteArray badDate = xml;
  badDate.replace("DT=\"", "DT=\"x");
  try {
    readXmlPacket(badDate, "t.xml");
    FAIL();
  } catch (const Error& e) {
    EXPECT_TRUE(e.message().contains("'DT'") && e.message().contains("t.xml"))
        << e.message().toStdString();
  }
  QByteArray unknownType = xml;
  unknownType.replace("fieldtype=\"r8\"", "fieldtype=\"nested\"");
  EXPECT_THROW(readXmlPacket(unknownType, "t.xml"), Error);
}

namespace {

// A one-row packet of the given FIELD elements and ROW attributes.
QByteArray xmlOf(const char* fields, const QByteArray& row) {
  return QByteArray(
             "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET "
             "Version=\"2.0\"><METADATA><FIELDS>") +
         fields + "</FIELDS><PARAMS/></METADATA><ROWDATA><ROW " + row + "/></ROWDATA></DATAPACKET>";
}

constexpr const char* kFields =
    "<FIELD attrname=\"NM\" fieldtype=\"string\" WIDTH=\"6\"/><FIELD attrname=\"Q\" "
    "fieldtype=\"i2\"/>"
    "<FIELD attrname=\"U\" fieldtype=\"ui1\"/><FIELD attrname=\"B\" fieldtype=\"i8\"/>"
    "<FIELD attrname=\"W\" fieldtype=\"ui8\"/><FIELD attrname=\"V\" fieldtype=\"r8\"/>"
    "<FIELD attrname=\"D\" fieldtype=\"date\"/><FIELD attrname=\"T\" fieldtype=\"time\"/>"
    "<FIELD attrname=\"UNI\" fieldtype=\"string.uni\" WIDTH=\"4\"/>";

QString refusal(const QByteArray& xml) {
  try {
    readXmlPacket(xml, "t.xml");
  } catch (const Error& e) {
    return e.message();
  }
  return QStringLiteral("(accepted)");
}

}  // namespace

TEST(XmlPacket, RefusesWhatItCannotKeepNamingRowFieldAndOffset) {
  struct Case {
    QByteArray row;
    const char* field;
  };
  const Case cases[] = {
      {"NM=\"abcdefg\"", "'NM'"},                     // over the width
      {"NM=\"T\xC3\xB3quio \xE6\x9D\xB1\"", "'NM'"},  // "Tóquio 東": not in the code page
      {"NM=\"caf\xC3\xA9 \xE2\x98\x95\"", "'NM'"},    // "café ☕"
      {"NM=\"caf\xE9\"", "'NM'"},                     // not UTF-8
      {"NM=\"a&#0;b\"", "nulo"},                      // XML has no such character
      {"NM=\"a&#1;b\"", "'NM'"},
      {"Q=\"40000\"", "'Q'"},
      {"Q=\"1.5\"", "'Q'"},
      {"Q=\" 7\"", "'Q'"},
      {"U=\"-1\"", "'U'"},
      {"U=\"256\"", "'U'"},
      {"B=\"9223372036854775808\"", "'B'"},
      {"B=\"1e30\"", "'B'"},
      {"W=\"18446744073709551616\"", "'W'"},
      {"V=\"abc\"", "'V'"},
      {"V=\"1e400\"", "'V'"},
      {"V=\"NaN\"", "'V'"},
      {"V=\"INF\"", "'V'"},
      {"NM=\"a&#129;\"", "'NM'"},  // U+0081: no character of the code page
      {"D=\"20241301\"", "'D'"},
      {"D=\"00000101\"", "'D'"},
      {"T=\"12:00:005\"", "'T'"},
      {"UNI=\"\xE6\x9D\xB1\xE4\xBA\xAC\xE6\x9D\xB1\xE4\xBA\xAC\xE6\x9D\xB1\"", "'UNI'"},
      {"NM=\"a\" NM=\"b\"", "'NM'"},  // repeated
      {"NOPE=\"1\"", "'NOPE'"},
  };
  for (const Case& c : cases) {
    const QByteArray xml = xmlOf(kFields, c.row);
    const QString message = refusal(xml);
    EXPECT_TRUE(message.contains(QString::fromUtf8(c.field)) && message.contains("t.xml") &&
                message.contains(QStringLiteral("posição")))
        << c.row.toStdString() << " -> " << message.toStdString();
  }
  // The offset is where the value starts in the file.
  const QByteArray xml = xmlOf(kFields, "Q=\"1\" U=\"999\"");
  const QString message = refusal(xml);
  EXPECT_TRUE(message.contains(QStringLiteral("registro 1")) &&
              message.contains(QStringLiteral("posição %1").arg(xml.indexOf("999"))))
      << message.toStdString();

  EXPECT_TRUE(refusal("<!DOCTYPE x [<!ENTITY e \"E\">]>" + xmlOf(kFields, "NM=\"&e;\""))
                  .contains("DOCTYPE"));
  EXPECT_TRUE(refusal(xmlOf(kFields, QByteArray("NM=\"a\0b\"", 9))).contains("nulo"));
  EXPECT_TRUE(refusal(xmlOf(kFields, "").replace("\"1.0\"", "\"1.0\" encoding=\"windows-1252\""))
                  .contains("windows-1252"));
}

TEST(XmlPacket, KeepsValuesAtTheEdgesOfTheirFields) {
  const QByteArray row =
      "NM=\"a\xC3\xA7\xC3\xA3o\xE2\x82\xAC!\" Q=\"-32768\" U=\"255\" B=\"-9223372036854775808\" "
      "W=\"18446744073709551615\" V=\"1e-300\" D=\"99991231\" T=\"23:59:59999\" "
      "UNI=\"\xE6\x9D\xB1\xE4\xBA\xAC\xF0\x9F\x98\x80\"";  // "ação€!", "東京😀"
  const DataPacket p = readXmlPacket(xmlOf(kFields, row), "t.xml");
  ASSERT_EQ(p.recordCount(), 1);
  EXPECT_EQ(p.value(0, 0).toText(), QString::fromUtf8("ação€!"));
  EXPECT_EQ(p.value(0, 1).toInteger(), -32768);
  EXPECT_EQ(p.value(0, 3).toInteger(), std::numeric_limits<qint64>::min());
  EXPECT_EQ(p.value(0, 8).toText(), QString::fromUtf8("東京😀"));
  // What was read is written back the same, and read again to the same bytes.
  const QByteArray written = writeXmlPacket(p);
  EXPECT_TRUE(written.contains("W=\"18446744073709551615\"")) << written.toStdString();
  EXPECT_EQ(writeBinaryPacket(readXmlPacket(written, "t.xml")), writeBinaryPacket(p));
  // The same file in UTF-16 (with its byte-order mark) reads the same.
  const QString text = QString::fromUtf8(xmlOf(kFields, row));
  QByteArray utf16("\xFF\xFE", 2);
  utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  EXPECT_EQ(writeBinaryPacket(readXmlPacket(utf16, "t.xml")), writeBinaryPacket(p));
}

TEST(XmlPacket, FieldAttributesAndPropertiesAreKeptOrRefused) {
  DataPacket p = oneText("x");
  p.fields[0].attributes = 0x10 | 0x02;
  const DataPacket back = readXmlPacket(writeXmlPacket(p), "t.xml");
  EXPECT_EQ(back.fields[0].attributes, 0x12);
  EXPECT_EQ(writeBinaryPacket(back), writeBinaryPacket(p));

  const char* width = "<FIELD attrname=\"NM\" fieldtype=\"string\" WIDTH=\"%1\"/>";
  for (const char* bad : {"abc", "70000", "-1", "12.0"})
    EXPECT_TRUE(
        refusal(
            xmlOf(QString::fromLatin1(width).arg(QLatin1String(bad)).toLatin1().constData(), ""))
            .contains("WIDTH"))
        << bad;
  // One name for two fields, as written or in another case.
  EXPECT_TRUE(refusal(xmlOf("<FIELD attrname=\"A\" fieldtype=\"i4\"/><FIELD attrname=\"A\" "
                            "fieldtype=\"i2\"/>",
                            ""))
                  .contains("'A'"));
  EXPECT_TRUE(refusal(xmlOf("<FIELD attrname=\"A\" fieldtype=\"i4\"/><FIELD attrname=\"B\" "
                            "fieldname=\"a\" fieldtype=\"i2\"/>",
                            ""))
                  .contains("'a'"));
  QByteArray lcid = xmlOf(kFields, "");
  EXPECT_TRUE(
      refusal(lcid.replace("<PARAMS/>", "<PARAMS LCID=\"1000000000000\"/>")).contains("LCID"));

  // The writer never writes a property the reader would read as something else.
  DataPacket textWidth = oneText("x");
  for (PacketProperty& prop : textWidth.fields[0].properties)
    if (prop.name == "WIDTH") prop = PacketProperty::makeText("WIDTH", "abc");
  EXPECT_THROW(writeXmlPacket(textWidth), Error);
  DataPacket otherType = oneText("x");
  otherType.properties.push_back(PacketProperty::makeInteger("ORDEM", packettype::Integer, 4, 5));
  EXPECT_THROW(writeXmlPacket(otherType), Error);
}

TEST(XmlPacket, WriterRefusesWhatTheReaderWouldRefuse) {
  FieldDef date;
  date.name = "D";
  date.type = FieldType::Date;
  LocalTable t;
  t.declareFields({FieldDef::text("NM", 4), date, FieldDef::dateTime("DT")});
  t.createDataSet();
  t.append();
  t.setText("NM", "ok");
  t.post();
  const DataPacket good = readBinaryPacket(t.data().toPacket(), "t");
  const auto withValue = [&](int field, const QByteArray& bytes) {
    DataPacket p = good;
    RecordBuilder b(p);
    b.setRaw(field, bytes.constData(), bytes.size());
    p.replace(0, b.finish());
    return p;
  };
  const auto le32 = [](qint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
  const auto f64 = [](double v) { return QByteArray(reinterpret_cast<const char*>(&v), 8); };
  for (const DataPacket& p :
       {withValue(0, "longo"), withValue(1, le32(0)), withValue(1, le32(3652060)),
        withValue(2, f64(std::nan(""))), withValue(2, f64(1.0)), withValue(0, "a\x81")}) {
    try {
      writeXmlPacket(p);
      ADD_FAILURE() << "written";
    } catch (const Error& e) {
      EXPECT_TRUE(e.message().contains("Registro 1, campo")) << e.message().toStdString();
    }
  }
  // A fraction of a millisecond is read to the millisecond, as the host reads it.
  const DataPacket fraction = withValue(2, f64(86400000.0 * 700000 + 1000.4));
  EXPECT_EQ(fraction.value(0, 2), withValue(2, f64(86400000.0 * 700000 + 1000)).value(0, 2));
  EXPECT_TRUE(writeXmlPacket(fraction).contains("T00:00:01000\""));
  // Two names that become one XML name stay two fields.
  LocalTable odd;
  odd.declareFields({FieldDef::text("A B", 4), FieldDef::text("A_B", 4)});
  odd.createDataSet();
  odd.append();
  odd.setText("A B", "1");
  odd.setText("A_B", "2");
  odd.post();
  const DataPacket back =
      readXmlPacket(writeXmlPacket(readBinaryPacket(odd.data().toPacket(), "t")), "t.xml");
  EXPECT_EQ(back.fields[0].name, "A B");
  EXPECT_EQ(back.value(0, 0).toText(), "1");
  EXPECT_EQ(back.value(0, 1).toText(), "2");
}

TEST(XmlPacket, OversizedValueIsRefusedByItsSize) {
  QByteArray row = "B64=\"";
  row.append(QByteArray(17 * 1024 * 1024, 'A'));
  row.append('"');
  const QString message = refusal(xmlOf("<FIELD attrname=\"B64\" fieldtype=\"bin.hex\"/>", row));
  EXPECT_TRUE(message.contains("'B64'") && message.contains("grande demais"))
      << message.left(200).toStdString();
}
