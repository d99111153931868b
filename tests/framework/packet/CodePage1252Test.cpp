#include "framework/packet/CodePage1252.h"

#include <gtest/gtest.h>

using namespace fw;

TEST(CodePage1252, EveryByteRoundTrips) {
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  const QString text = fromWindows1252(all);
  ASSERT_EQ(text.size(), 256);
  EXPECT_EQ(toWindows1252(text), all);
  EXPECT_EQ(text[0x80], QChar(0x20AC));
  EXPECT_EQ(text[0x81], QChar(0x81));
  EXPECT_EQ(text[0x9D], QChar(0x9D));
  EXPECT_EQ(text[0xE7], QChar(u'ç'));
}

TEST(CodePage1252, MissingCharactersBecomeOneQuestionMark) {
  EXPECT_EQ(toWindows1252(QString::fromUtf8("a\u4E2D\U0001F600b\u0080")), QByteArray("a??b?"));
}

TEST(CodePage1252, AppendStopsAtTheCharacterLimit) {
  QByteArray out("x");
  EXPECT_EQ(appendWindows1252(out, QString::fromUtf8("ação€"), 3), 3);
  EXPECT_EQ(out, QByteArray("xa\xE7\xE3"));
}
