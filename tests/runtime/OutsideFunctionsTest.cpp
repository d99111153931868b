// The shared small functions and the printer bridge's parameter bags.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "QtPrinters.h"
#include "framework/core/Error.h"
#include "outside/Outside.h"
#include "support/ScopedCLocale.h"

using fw::Variant;
using outside::Trunc2;

TEST(Trunc2, KeepsAmountsWhoseBinaryFormFallsJustBelow) {
  EXPECT_DOUBLE_EQ(Trunc2(0.29), 0.29);         // stored as 0.28999…
  EXPECT_DOUBLE_EQ(Trunc2(0.1 + 0.2), 0.3);     // 0.30000000000000004
  EXPECT_DOUBLE_EQ(Trunc2(4.35 * 100), 435.0);  // 434.99999999999994
  EXPECT_DOUBLE_EQ(Trunc2(19.99 * 3), 59.97);
  EXPECT_DOUBLE_EQ(Trunc2(72.5), 72.5);
}

TEST(Trunc2, CutsTowardZeroWithoutRounding) {
  EXPECT_DOUBLE_EQ(Trunc2(1.005), 1.0);
  EXPECT_DOUBLE_EQ(Trunc2(2.675), 2.67);
  EXPECT_DOUBLE_EQ(Trunc2(99.999), 99.99);
  EXPECT_DOUBLE_EQ(Trunc2(1.0 / 3), 0.33);
  EXPECT_DOUBLE_EQ(Trunc2(-1.239), -1.23);
  EXPECT_DOUBLE_EQ(Trunc2(-0.29), -0.29);
}

TEST(Trunc2, TinyHugeAndNonFiniteValues) {
  EXPECT_EQ(Trunc2(0.009), 0.0);
  EXPECT_FALSE(std::signbit(Trunc2(-0.009)));  // no "-0,00" on the screen
  EXPECT_EQ(Trunc2(1e-300), 0.0);
  EXPECT_DOUBLE_EQ(Trunc2(1e20), 1e20);
  EXPECT_DOUBLE_EQ(Trunc2(123456789012.349), 123456789012.34);
  EXPECT_TRUE(std::isnan(Trunc2(std::numeric_limits<double>::quiet_NaN())));
  EXPECT_EQ(Trunc2(std::numeric_limits<double>::infinity()),
            std::numeric_limits<double>::infinity());
}

// A till's LANG gives the C library a decimal comma; the cut must not read it back wrong
// (10 once became 0,01 and 9,99 became 0,099 there).
TEST(Trunc2, SameUnderTheCAndTheBrazilianLocale) {
  for (const char* name : ScopedCLocale::kTillLocales) {
    ScopedCLocale locale(name);
    ASSERT_TRUE(locale.ok()) << name << " is not installed (scripts/setup.sh generates it)";
    EXPECT_EQ(ScopedCLocale::decimalPoint(), name[0] == 'C' ? "." : ",");
    EXPECT_DOUBLE_EQ(Trunc2(10), 10) << name;
    EXPECT_DOUBLE_EQ(Trunc2(9.99), 9.99) << name;
    EXPECT_DOUBLE_EQ(Trunc2(3), 3) << name;
    EXPECT_DOUBLE_EQ(Trunc2(42.95), 42.95) << name;
    EXPECT_DOUBLE_EQ(Trunc2(0.29), 0.29) << name;
    EXPECT_DOUBLE_EQ(Trunc2(-1.239), -1.23) << name;
    EXPECT_DOUBLE_EQ(Trunc2(1234567.891), 1234567.89) << name;
    EXPECT_DOUBLE_EQ(Trunc2(1e20), 1e20) << name;
  }
}

TEST(Ajusta, FillsWithLeadingZerosAndLeavesLongerTextsAlone) {
  EXPECT_EQ(outside::Ajusta("1", 3), "001");
  EXPECT_EQ(outside::Ajusta("42", 3), "042");
  EXPECT_EQ(outside::Ajusta("123", 3), "123");
  EXPECT_EQ(outside::Ajusta("1000", 3), "1000");
  EXPECT_EQ(outside::Ajusta("", 3), "000");
  EXPECT_EQ(outside::Ajusta("7", 0), "7");
}

TEST(ParameterBag, OpeningBagHoldsEveryArgumentInOrderWithItsKind) {
  int opening = 5;
  QString c0 = "Maria", c1 = "Rua A, 1", c2 = "12345678909", cupom = "000123", cont = "7";
  const Variant bag = outside::Params_AbreCupom_Kerrit(
      "001", opening, c0, c1, c2, cupom, cont, "e8", "e9", "e10", "e11", "e12", "e13", "e14", true);
  EXPECT_EQ(outside::bagOperation(bag), "AbreCupom");
  const auto& args = outside::bagArguments(bag);
  ASSERT_EQ(args.size(), 15u);
  EXPECT_EQ(args[0], Variant("001"));
  EXPECT_EQ(args[1], Variant(5));
  EXPECT_EQ(args[1].kind(), Variant::Kind::Integer);
  EXPECT_EQ(args[2], Variant("Maria"));
  EXPECT_EQ(args[5], Variant("000123"));
  EXPECT_EQ(args[6], Variant("7"));
  EXPECT_EQ(args[13], Variant("e14"));
  EXPECT_EQ(args[14], Variant(true));
  EXPECT_EQ(args[14].kind(), Variant::Kind::Flag);
}

TEST(ParameterBag, ItemBagKeepsNumbersAsNumbers) {
  const Variant bag =
      outside::Params_VendaItem_Kerrit("001", "a2", "a3", "7891000100103", "Café", "01", "T", "UN",
                                       "a9", "18,00", "a11", 1, 2.5, 10.99, 0.0, 0.0, false);
  EXPECT_EQ(outside::bagOperation(bag), "VendaItem");
  const auto& args = outside::bagArguments(bag);
  ASSERT_EQ(args.size(), 17u);
  EXPECT_EQ(args[3], Variant("7891000100103"));
  EXPECT_EQ(args[4], Variant("Café"));
  EXPECT_EQ(args[11].kind(), Variant::Kind::Integer);
  EXPECT_EQ(args[12].kind(), Variant::Kind::Number);
  EXPECT_DOUBLE_EQ(args[12].toNumber(), 2.5);
  EXPECT_DOUBLE_EQ(args[13].toNumber(), 10.99);
  EXPECT_EQ(args[16], Variant(false));
}

TEST(ParameterBag, ResultsRoundTripByNameWithoutTouchingCopies) {
  int opening = 0;
  QString s0, s1, s2, s3, s4;
  Variant bag = outside::Params_AbreCupom_Kerrit("001", opening, s0, s1, s2, s3, s4, "", "", "", "",
                                                 "", "", "", false);
  const Variant before = bag;
  EXPECT_TRUE(outside::RecebeParams(bag, "CUPNR").isNull());

  outside::GravaParams(bag, "CUPNR", Variant("000124"));
  outside::GravaParams(bag, "CONTCUPOM", Variant(42));
  outside::GravaParams(bag, "cupnr", Variant("000125"));  // same name, other case: replaced

  EXPECT_EQ(outside::RecebeParams(bag, "CUPNR"), Variant("000125"));
  EXPECT_EQ(outside::RecebeParams(bag, "ContCupom"), Variant(42));
  EXPECT_TRUE(outside::RecebeParams(before, "CUPNR").isNull());
  EXPECT_EQ(outside::bagArguments(bag).size(), 15u);
}

TEST(ParameterBag, SomethingThatIsNoBagIsRefusedOrGivesNothing) {
  Variant notABag("CUPNR");
  EXPECT_TRUE(outside::RecebeParams(notABag, "CUPNR").isNull());
  EXPECT_TRUE(outside::RecebeParams(Variant(), "CUPNR").isNull());
  EXPECT_THROW(outside::GravaParams(notABag, "CUPNR", Variant(1)), fw::Error);
  EXPECT_THROW(outside::bagArguments(Variant::emptyArray(3)), fw::Error);
}

TEST(ProcedureVariable, CalledWhileNotInstalledNamesTheOperation) {
  const auto saved = outside::AbreCupom;
  outside::AbreCupom = nullptr;
  Variant bag;
  try {
    outside::AbreCupom(bag);
    ADD_FAILURE() << "no error";
  } catch (const fw::Error& e) {
    EXPECT_TRUE(e.message().contains("'AbreCupom' não foi instalada")) << e.message().toStdString();
  }
  outside::AbreCupom = [](Variant&) { return true; };
  EXPECT_TRUE(outside::AbreCupom(bag));
  outside::AbreCupom = saved;
  EXPECT_EQ(static_cast<bool>(outside::AbreCupom), static_cast<bool>(saved));
}
