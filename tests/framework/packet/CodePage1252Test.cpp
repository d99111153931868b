#include <gtest/gtest.h>

#include "framework/packet/CodePage1252.h"

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
  // 0x80-0x9F, the part where the code page differs from Latin-1, from the code page's chart.
  const char16_t chart[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                              0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                              0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                              0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  for (int b = 0x80; b <= 0x9F; ++b) EXPECT_EQ(text[b], QChar(chart[b - 0x80])) << std::hex << b;
}

TEST(CodePage1252, MissingCharactersBecomeOneQuestionMark) {
  EXPECT_EQ(toWindows1252(QString::fromUtf8("a\u4E2D\U0001F600b\u0080")), QByteArray("a??b?"));
  // The five bytes without a character are read back, but no text may bring them in.
  EXPECT_EQ(findUnencodable(QString::fromUtf8("ab\u008D")), 2);
  EXPECT_EQ(replaceUnencodable(QString::fromUtf8("\u0081\U0001F600\u00E7")),
            QString::fromUtf8("??ç"));
}

TEST(CodePage1252, AppendStopsAtTheCharacterLimit) {
  QByteArray out("x");
  EXPECT_EQ(appendWindows1252(out, QString::fromUtf8("ação€"), 3), 3);
  EXPECT_EQ(out, QByteArray("xa\xE7\xE3"));
}
