#include <gtest/gtest.h>

#include "framework/core/Error.h"
#include "framework/text/NumberText.h"
#include "framework/text/Variant.h"

using fw::Variant;

TEST(Variant, NullReadsAsEmptyZeroFalse) {
  const Variant v;
  EXPECT_TRUE(v.isNull());
  EXPECT_EQ(v.toText(), "");
  EXPECT_EQ(v.toNumber(), 0.0);
  EXPECT_EQ(v.toInteger(), 0);
  EXPECT_FALSE(v.toFlag());
  EXPECT_TRUE(v.toPacket().isEmpty());
}

TEST(Variant, ConversionsBetweenKinds) {
  EXPECT_EQ(Variant("10,5").toNumber(), 10.5);
  EXPECT_EQ(Variant("12").toInteger(), 12);
  EXPECT_EQ(Variant(2.5).toInteger(), 2);  // half to even, as the host rounds
  EXPECT_EQ(Variant(3.5).toInteger(), 4);
  EXPECT_EQ(Variant(true).toInteger(), -1);
  EXPECT_EQ(Variant(0.5).toText(), fw::formatGeneral(0.5));
  EXPECT_EQ(Variant(qint64(1) << 40).toText(), "1099511627776");
  EXPECT_THROW(Variant("abc").toNumber(), fw::Error);
  EXPECT_THROW(Variant(1e300).toInteger(), fw::Error);
  EXPECT_THROW(Variant::packet("x").toText(), fw::Error);
}

TEST(Variant, EqualityComparesNumbersAcrossIntegerAndNumber) {
  EXPECT_EQ(Variant(2), Variant(2.0));
  EXPECT_NE(Variant("2"), Variant(2));
  EXPECT_NE(Variant::dateTime(2), Variant(2.0));
  EXPECT_EQ(Variant(), Variant());
  EXPECT_EQ(Variant::array({Variant(1), Variant("a")}),
            Variant::array({Variant(1.0), Variant("a")}));
}

TEST(Variant, ArraysAreIndexedFromZeroAndCopiedOnWrite) {
  Variant a = Variant::emptyArray(2);
  a[1] = Variant("x");
  const Variant b = a;
  a[0] = Variant(5);
  EXPECT_TRUE(b.at(0).isNull());
  EXPECT_EQ(a.at(0), Variant(5));
  EXPECT_EQ(b.at(1), Variant("x"));
  EXPECT_THROW(a.at(2), fw::Error);
  EXPECT_THROW(a[-1], fw::Error);
  EXPECT_EQ(Variant("x").size(), 0);
}
