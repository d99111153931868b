#include <gtest/gtest.h>

#include "fiscal/ItemDescription.h"
#include "fiscal/TapeText.h"

namespace fiscal {
namespace {

TEST(TapeLayout, AmountsStandFlushRightOrOnALineOfTheirOwn) {
  TapeText t;
  t.leftRight("TROCO R$", "3,25");
  t.leftRight(QString(45, 'x'), "1.000,00");
  ASSERT_EQ(t.lines().size(), 3);
  EXPECT_EQ(t.lines()[0], "TROCO R$" + QString(36, ' ') + "3,25");
  EXPECT_EQ(t.lines()[1], QString(45, 'x'));
  EXPECT_EQ(t.lines()[2], QString(40, ' ') + "1.000,00");
  for (const QString& line : t.lines()) EXPECT_LE(line.size(), TapeText::kWidth);
}

TEST(TapeLayout, LongTextsWrapAtBlanksAndLongWordsAreCut) {
  EXPECT_EQ(TapeText::wrap("abc def ghi", 7), QStringList({"abc def", "ghi"}));
  EXPECT_EQ(TapeText::wrap("abcdefghij", 4), QStringList({"abcd", "efgh", "ij"}));
  EXPECT_EQ(TapeText::wrap("", 4), QStringList({""}));
}

TEST(ItemDescriptionText, CodesAreTakenOnlyFromLeadingNumericParts) {
  const ItemDescription both = ItemDescription::parse("1700100#10063021#Arroz");
  EXPECT_EQ(both.cest, "1700100");
  EXPECT_EQ(both.ncm, "10063021");
  EXPECT_EQ(both.name, "Arroz");
  EXPECT_EQ(ItemDescription::parse("1700100#Arroz").cest, "1700100");
  EXPECT_EQ(ItemDescription::parse("1006.30.21#Arroz").ncm, "1006.30.21");
  const ItemDescription hashInName = ItemDescription::parse("Parafuso #8");
  EXPECT_EQ(hashInName.name, "Parafuso #8");
  EXPECT_TRUE(hashInName.cest.isEmpty() && hashInName.ncm.isEmpty());
  EXPECT_EQ(ItemDescription::parse("10063021#8#x").ncm, "8");
}

}  // namespace
}  // namespace fiscal
