// Whatever bytes the reader is given end in a table or in a clear error, never a crash.
#include <gtest/gtest.h>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/packet/BinaryPacket.h"
#include "framework/packet/FileIo.h"

using namespace fw;

namespace {

// Reads every value, as a dump of the table would.
void readAll(const QByteArray& bytes) {
  const DataPacket p = readBinaryPacket(bytes, "teste.cds");
  for (int r = 0; r < p.recordCount(); ++r)
    for (int f = 0; f < static_cast<int>(p.fields.size()); ++f) (void)p.value(r, f);
}

int outcome(const QByteArray& bytes, QString* message) {
  try {
    readAll(bytes);
    return 1;
  } catch (const Error& e) {
    *message = e.message();
    return 0;
  }
}

QByteArray sample(const char* name) {
  return readWholeFile(QStringLiteral(REGVENDA_TESTDATA "/cds/") + name);
}

}  // namespace

TEST(PacketReader, EveryTruncationIsAClearError) {
  for (const char* name : {"industry.cds", "reservat.cds", "nextcust.cds"}) {
    const QByteArray bytes = sample(name);
    for (qsizetype cut = 0; cut < bytes.size(); ++cut) {
      QString message;
      ASSERT_EQ(outcome(bytes.left(cut), &message), 0) << name << " cut at " << cut;
      ASSERT_TRUE(message.contains("teste.cds") && message.contains("deslocamento"))
          << message.toStdString();
    }
  }
}

TEST(PacketReader, EverySingleByteChangeGivesATableOrAnError) {
  const QByteArray bytes = sample("industry.cds");
  int tables = 0, errors = 0;
  for (qsizetype at = 0; at < bytes.size(); ++at)
    for (int value : {0x00, 0x01, 0x7F, 0x80, 0xFF, bytes[at] ^ 0x40}) {
      QByteArray changed = bytes;
      changed[at] = static_cast<char>(value);
      QString message;
      (outcome(changed, &message) ? tables : errors)++;
    }
  EXPECT_GT(tables, 0);
  EXPECT_GT(errors, 0);
}

TEST(PacketReader, CorruptCountsAreCheckedAgainstTheBytesLeft) {
  QByteArray bytes = sample("industry.cds");
  bytes[14] = '\xFF';  // record count 0x7FFF00xx
  bytes[16] = '\x7F';
  QString message;
  EXPECT_EQ(outcome(bytes, &message), 0);
  EXPECT_TRUE(message.contains("registros")) << message.toStdString();

  QByteArray trailing = sample("industry.cds") + "x";
  EXPECT_EQ(outcome(trailing, &message), 0);
  EXPECT_TRUE(message.contains("a mais")) << message.toStdString();
}

TEST(PacketReader, ErrorNamesTheFieldThatRunsPastTheEnd) {
  const QByteArray bytes = sample("industry.cds");
  QString message;
  EXPECT_EQ(outcome(bytes.left(bytes.size() - 3), &message), 0);
  EXPECT_TRUE(message.contains("'LONG_NAME'")) << message.toStdString();
}

TEST(PacketReader, UnsupportedTypeIsRefusedNamingFieldAndType) {
  QByteArray bytes = sample("industry.cds");
  // IND_CODE's type word follows its name and size.
  const qsizetype at = bytes.indexOf("IND_CODE") + 8 + 2;
  bytes[at] = 0x0C;
  QString message;
  EXPECT_EQ(outcome(bytes, &message), 0);
  EXPECT_TRUE(message.contains("'IND_CODE'") && message.contains("0xc")) << message.toStdString();
  // Two fields of one name (fields are found without regard to case).
  QByteArray twice = sample("industry.cds");
  twice.replace(twice.indexOf("IND_NAME"), 8, "ind_code");
  EXPECT_EQ(outcome(twice, &message), 0);
  EXPECT_TRUE(message.contains("dois campos com o nome 'ind_code'")) << message.toStdString();
}

TEST(PacketReader, ChangeLogRecordsShowOnlyCurrentData) {
  // A packet with one ordinary record, one deleted and one inserted, all saved merged.
  LocalTable t;
  t.declareFields({FieldDef::text("A", 5)});
  t.createDataSet();
  for (const char* v : {"um", "dois", "tres"}) {
    t.append();
    t.setText("A", v);
    t.post();
  }
  QByteArray bytes = t.data().toPacket();
  const int header = static_cast<unsigned char>(bytes[22]) | static_cast<unsigned char>(bytes[23])
                                                                 << 8;
  // Records: status, 1 null byte, 1 length byte, text.
  bytes[header + 5] = 0x02;      // "dois" deleted
  bytes[header + 5 + 7] = 0x04;  // "tres" inserted
  LocalTable loaded;
  loaded.setData(Variant::packet(bytes));
  ASSERT_EQ(loaded.recordCount(), 2);
  loaded.last();
  EXPECT_EQ(loaded.asText("A"), "tres");
  const QByteArray rewritten = loaded.data().toPacket();
  EXPECT_EQ(rewritten[header + 5], '\0');

  bytes[header + 5 + 7] = 0x10;  // a status nobody defined
  EXPECT_THROW(loaded.setData(Variant::packet(bytes)), Error);
}

TEST(PacketReader, TextWiderThanItsFieldIsRefused) {
  LocalTable t;
  t.declareFields({FieldDef::text("A", 3)});
  t.createDataSet();
  t.append();
  t.setText("A", "abc");
  t.post();
  QByteArray bytes = t.data().toPacket();
  const qsizetype at = bytes.size() - 4;  // the length byte of "abc"
  ASSERT_EQ(bytes[at], 3);
  bytes[at] = 4;
  bytes.append('d');
  QString message;
  EXPECT_EQ(outcome(bytes, &message), 0);
  EXPECT_TRUE(message.contains("registro 1, campo 'A'") && message.contains("largura do campo (3)"))
      << message.toStdString();
}
