// The XML form: texts survive whatever characters XML can carry, everything else is a
// clear error, and a cut file never loads half.
#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/packet/BinaryPacket.h"
#include "framework/packet/XmlPacket.h"

#include <gtest/gtest.h>

using namespace fw;

namespace {

DataPacket oneText(const QString& text) {
  LocalTable t;
  t.declareFields({FieldDef::text("NMPRODUTO", 50), FieldDef::dateTime("DT"), FieldDef::number("VR")});
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
  const QString text = QString::fromUtf8("Feijão & \"arroz\" <1kg>\n\tmaçã \u0081 'ok'");
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
    EXPECT_TRUE(e.message().contains("'DT'") && e.message().contains("t.xml")) << e.message().toStdString();
  }
  QByteArray unknownType = xml;
  unknownType.replace("fieldtype=\"r8\"", "fieldtype=\"nested\"");
  EXPECT_THROW(readXmlPacket(unknownType, "t.xml"), Error);
}
