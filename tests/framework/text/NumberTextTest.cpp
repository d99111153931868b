#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/core/Error.h"
#include "framework/text/NumberText.h"
#include "support/ScopedCLocale.h"

namespace {

using fw::FormatSettings;

const FormatSettings kBr = FormatSettings::brazilian();

FormatSettings english() {
  FormatSettings fs;
  fs.currencySymbol = QStringLiteral("$");
  fs.decimalSeparator = QLatin1Char('.');
  fs.thousandSeparator = QLatin1Char(',');
  fs.shortDateFormat = QStringLiteral("MM/dd/yyyy");
  return fs;
}

struct FormatCase {
  double value;
  const char* expected;
};

TEST(FormatAmount, RoundsDecimalValueHalfAwayFromZeroWithGrouping) {
  const FormatCase cases[] = {
      {10.555, "10,56"},
      {10.557, "10,56"},
      {-2.345, "-2,35"},
      {1234.5, "1.234,50"},
      {0.0, "0,00"},
      {-0.0, "0,00"},
      {-0.001, "0,00"},
      {-0.004999, "0,00"},
      {-0.005, "-0,01"},
      {0.005, "0,01"},
      {1.005, "1,01"},
      {2.675, "2,68"},
      {999.995, "1.000,00"},
      {1001.0, "1.001,00"},
      {123456789.126, "123.456.789,13"},
      {0.1 + 0.2, "0,30"},
      {1e15, "1.000.000.000.000.000,00"},
      {1e20, "100.000.000.000.000.000.000,00"},
      {-1234567.891, "-1.234.567,89"},
      {0.0049999999, "0,00"},
      {1e-300, "0,00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fw::formatAmount(c.value, kBr), QString::fromUtf8(c.expected)) << c.value;
  }
}

// The money rule's cent: what "#,##0.00" shows, as a number, whatever the C locale.
TEST(RoundAmount, IsTheAmountFormatAmountShows) {
  for (const char* name : ScopedCLocale::kTillLocales) {
    ScopedCLocale locale(name);
    ASSERT_TRUE(locale.ok()) << name << " is not installed (scripts/setup.sh generates it)";
    EXPECT_EQ(fw::roundAmount(0.5 * 0.99), 0.5) << name;
    EXPECT_EQ(fw::roundAmount(0.1 + 0.2), 0.3) << name;
    EXPECT_EQ(fw::roundAmount(0.1 + 1.1), 1.2) << name;
    EXPECT_EQ(fw::roundAmount(10.0 - 7.7), 2.3) << name;
    EXPECT_EQ(fw::roundAmount(2.675), 2.68) << name;
    EXPECT_EQ(fw::roundAmount(-2.345), -2.35) << name;
    EXPECT_EQ(fw::roundAmount(999.995), 1000) << name;
    EXPECT_EQ(fw::roundAmount(123456789.126), 123456789.13) << name;
    EXPECT_EQ(fw::roundAmount(1e20), 1e20) << name;
    EXPECT_FALSE(std::signbit(fw::roundAmount(-0.004))) << name;
    EXPECT_TRUE(std::isnan(fw::roundAmount(std::numeric_limits<double>::quiet_NaN())));
    for (double v : {0.495, 10.557, 1234.5, -0.005, 7.7 * 3}) {
      EXPECT_EQ(fw::formatAmount(fw::roundAmount(v), kBr), fw::formatAmount(v, kBr)) << v;
    }
  }
}

TEST(FormatAmount, UsesTheSettingsSeparatorsAndCurrencySymbol) {
  EXPECT_EQ(fw::formatAmount(1234567.5, english()), "1,234,567.50");
  EXPECT_EQ(fw::formatCurrency(1234.5, kBr), "R$1.234,50");
  EXPECT_EQ(fw::formatCurrency(-0.001, kBr), "R$0,00");
  EXPECT_EQ(fw::formatCurrency(3, english()), "$3.00");
}

TEST(FormatAmount, NonFiniteValuesGiveMarkers) {
  EXPECT_EQ(fw::formatAmount(std::numeric_limits<double>::quiet_NaN(), kBr), "NAN");
  EXPECT_EQ(fw::formatAmount(std::numeric_limits<double>::infinity(), kBr), "INF");
  EXPECT_EQ(fw::formatAmount(-std::numeric_limits<double>::infinity(), kBr), "-INF");
  const QString biggest = fw::formatAmount(std::numeric_limits<double>::max(), kBr);
  EXPECT_TRUE(biggest.startsWith("179.769.313.486.232.000.")) << biggest.left(40).toStdString();
  EXPECT_TRUE(biggest.endsWith(",00"));
}

TEST(FormatGeneral, FifteenDigitsFixedOrScientific) {
  const FormatCase cases[] = {
      {0.5, "0,5"},
      {1.0 / 3.0, "0,333333333333333"},
      {25, "25"},
      {0, "0"},
      {-0.0, "0"},
      {-12.5, "-12,5"},
      {0.1 + 0.2, "0,3"},
      {0.00001, "0,00001"},
      {0.0000015, "1,5E-6"},
      {123456789012345.0, "123456789012345"},
      {999999999999999.0, "999999999999999"},
      {1e15, "1E15"},
      {1e20, "1E20"},
      {-1.23e15, "-1,23E15"},
      {2.0 / 3.0 * 1e-7, "6,66666666666667E-8"},
      {10.555, "10,555"},
      {1234.5, "1234,5"},
      {100, "100"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fw::formatGeneral(c.value, kBr), QString::fromUtf8(c.expected)) << c.value;
  }
  EXPECT_EQ(fw::formatGeneral(0.5, english()), "0.5");
}

TEST(ParseNumber, ReadsTheLocaleForm) {
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"10,5", 10.5},     {"-3", -3},    {"+7", 7},       {"1,5E3", 1500}, {"1,5e-6", 1.5e-6},
      {"  42  ", 42},     {",5", 0.5},   {"5,", 5},       {"0", 0},        {"1E20", 1e20},
      {"0,000001", 1e-6}, {"1e-400", 0}, {"000123", 123}, {"1E+2", 100},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(fw::parseNumber(QString::fromUtf8(c.text), kBr), c.expected) << c.text;
  }
  EXPECT_DOUBLE_EQ(fw::parseNumber("2.5", english()), 2.5);
}

TEST(ParseNumber, RefusesWhatIsNotANumber) {
  const char* bad[] = {"",  "  ", "abc", "1,2,3", "1.000", "1e400", "-1E309",  "1e",   "e5",
                       ",", "-",  "1 2", "R$1",   "NaN",   "inf",   "1,5E3,2", "0x10", "١٢"};
  for (const char* text : bad) {
    const QString t = QString::fromUtf8(text);
    double out = -1;
    EXPECT_FALSE(fw::tryParseNumber(t, &out, kBr)) << text;
    EXPECT_EQ(out, -1) << "output touched for " << text;
    EXPECT_THROW(fw::parseNumber(t, kBr), fw::Error) << text;
  }
  try {
    fw::parseNumber("abc", kBr);
    FAIL() << "no error";
  } catch (const fw::Error& e) {
    EXPECT_EQ(e.message(), QString::fromUtf8("'abc' não é um número válido."));
  }
}

TEST(ParseNumber, ReadsBackTheGeneralFormExactly) {
  const double values[] = {0.5, 1.0 / 3.0, 25, 1e20, 1.5e-6, -123456.789, 0.1 + 0.2, 6.02214076e23};
  for (double v : values) {
    const double back = fw::parseNumber(fw::formatGeneral(v, kBr), kBr);
    EXPECT_EQ(fw::formatGeneral(back, kBr), fw::formatGeneral(v, kBr));
    EXPECT_NEAR(back, v, std::fabs(v) * 1e-14);
  }
}

TEST(ParseAmount, ReadsWhatFormatAmountShows) {
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"1.001,00", 1001},
      {"0,00", 0},
      {"-2,35", -2.35},
      {"0", 0},
      {"25", 25},
      {"1234,5", 1234.5},
      {"123.456.789,13", 123456789.13},
      {" 12,50 ", 12.5},
      {"999", 999},
      {"1.000", 1000},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(fw::parseAmount(QString::fromUtf8(c.text), kBr), c.expected) << c.text;
  }
  for (double v : {0.0, 1001.0, -2.35, 1234.5, 987654321.99, -0.01}) {
    EXPECT_DOUBLE_EQ(fw::parseAmount(fw::formatAmount(v, kBr), kBr), v);
  }
  EXPECT_DOUBLE_EQ(fw::parseAmount("1,234.50", english()), 1234.5);
}

TEST(ParseAmount, RefusesMisplacedGroupingAndOtherText) {
  const char* bad[] = {"",        "abc",   "1.00,00", "10.00.000", "1000.000,00",
                       ".100,00", "1.,00", "1.000.",  "1,2,3",     "1,",
                       "R$1,00",  "1,5E3", "--1",     "1.0000"};
  for (const char* text : bad) {
    EXPECT_THROW(fw::parseAmount(QString::fromUtf8(text), kBr), fw::Error) << text;
  }
}

TEST(DateTimeText, DayCountsFromTheEpoch) {
  EXPECT_EQ(fw::formatDate(0, kBr), "30/12/1899");
  EXPECT_EQ(fw::formatDateTime(0, kBr), "30/12/1899");
  EXPECT_EQ(fw::formatDateTime(45292.75, kBr), "01/01/2024 18:00:00");
  EXPECT_EQ(fw::formatDate(45292.75, kBr), "01/01/2024");
  // Before the epoch the fraction is still the time of day, counted forward.
  EXPECT_EQ(fw::formatDateTime(-1.25, kBr), "29/12/1899 06:00:00");
  EXPECT_EQ(fw::formatDateTime(45292.99999999999, kBr), "02/01/2024");
  EXPECT_EQ(fw::formatDate(45292, english()), "01/01/2024");
  EXPECT_EQ(fw::formatDate(std::numeric_limits<double>::quiet_NaN(), kBr), "");
  EXPECT_EQ(fw::formatDate(1e300, kBr), "");
  EXPECT_EQ(fw::formatDate(2958465, kBr), "31/12/9999");
}

TEST(DateTimeText, ParsesDatesAndTimes) {
  EXPECT_DOUBLE_EQ(fw::parseDateTime("01/01/2024", kBr), 45292);
  EXPECT_DOUBLE_EQ(fw::parseDateTime("1/1/2024", kBr), 45292);
  EXPECT_DOUBLE_EQ(fw::parseDateTime("01/01/2024 18:00:00", kBr), 45292.75);
  EXPECT_DOUBLE_EQ(fw::parseDateTime("01/01/2024 06:00", kBr), 45292.25);
  EXPECT_DOUBLE_EQ(fw::parseDateTime("29/12/1899 06:00:00", kBr), -1.25);
  for (const char* bad : {"", "31/02/2024", "2024-01-01", "01/01/2024 25:00", "amanhã"}) {
    EXPECT_THROW(fw::parseDateTime(QString::fromUtf8(bad), kBr), fw::Error) << bad;
  }
  const double t = 45292.5 + 1.0 / 86400.0 * 3723;  // 13:02:03
  EXPECT_DOUBLE_EQ(fw::parseDateTime(fw::formatDateTime(t, kBr), kBr), t);
}

TEST(DateTimeText, TodayHasNoTimeAndNowIsToday) {
  const double today = fw::todayDateTime();
  const double now = fw::nowDateTime();
  EXPECT_EQ(today, std::floor(today));
  EXPECT_GE(now, today);
  EXPECT_LT(now, today + 1.0 + 1e-9);  // a test run across midnight still passes
}

TEST(StoredText, FlagsAndIntegers) {
  for (const char* t : {"S", "s", "T", "True", "TRUE", "1", "Y", " S "}) {
    EXPECT_TRUE(fw::textToFlag(QString::fromUtf8(t))) << t;
  }
  for (const char* t : {"N", "n", "F", "False", "false", "0", "", "  "}) {
    EXPECT_FALSE(fw::textToFlag(QString::fromUtf8(t))) << t;
  }
  for (const char* t : {"X", "Sim", "2", "yes", "SN"}) {
    EXPECT_THROW(fw::textToFlag(QString::fromUtf8(t)), fw::Error) << t;
  }

  EXPECT_EQ(fw::textToInteger(""), 0);
  EXPECT_EQ(fw::textToInteger(" 42 "), 42);
  EXPECT_EQ(fw::textToInteger("-7"), -7);
  EXPECT_EQ(fw::textToInteger("+3"), 3);
  EXPECT_EQ(fw::textToInteger("9223372036854775807"), std::numeric_limits<qint64>::max());
  EXPECT_EQ(fw::textToInteger("-9223372036854775808"), std::numeric_limits<qint64>::min());
  for (const char* t : {"abc", "1,5", "1.000", "-", "9223372036854775808", "-9223372036854775809",
                        "12a", "99999999999999999999"}) {
    EXPECT_THROW(fw::textToInteger(QString::fromUtf8(t)), fw::Error) << t;
  }
}

TEST(FormatSettingsTest, CurrentIsBrazilianUntilChanged) {
  const FormatSettings saved = FormatSettings::current();
  EXPECT_EQ(saved.currencySymbol, "R$");
  EXPECT_EQ(fw::formatAmount(1234.5), "1.234,50");
  FormatSettings::setCurrent(english());
  EXPECT_EQ(fw::formatAmount(1234.5), "1,234.50");
  EXPECT_DOUBLE_EQ(fw::parseNumber("2.5"), 2.5);
  FormatSettings::setCurrent(saved);
  EXPECT_EQ(fw::formatAmount(1234.5), "1.234,50");
}

TEST(FormatSettingsTest, SystemLocaleGivesUsableSeparators) {
  const FormatSettings fs = FormatSettings::fromSystemLocale();
  EXPECT_NE(fs.decimalSeparator, fs.thousandSeparator);
  EXPECT_FALSE(fs.currencySymbol.isEmpty());
  EXPECT_DOUBLE_EQ(fw::parseNumber(fw::formatGeneral(1234.25, fs), fs), 1234.25);
  EXPECT_DOUBLE_EQ(fw::parseAmount(fw::formatAmount(1234.25, fs), fs), 1234.25);
  EXPECT_DOUBLE_EQ(fw::parseDateTime(fw::formatDateTime(45292.5, fs), fs), 45292.5);
}

}  // namespace
