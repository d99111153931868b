// NumberText: number and date-time texts. Numbers are taken apart into their 15 significant
// decimal digits with std::to_chars and read with std::from_chars, both independent of the
// C locale (which a Qt application sets from the environment), so the separators come only
// from FormatSettings.
#include "framework/text/NumberText.h"

#include <QDateTime>
#include <QStringList>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "framework/core/DateTime.h"
#include "framework/core/Error.h"

namespace fw {

namespace {

constexpr int kSignificant = 15;

// |value| = d0.d1d2...d14 x 10^exponent, the digits rounded to 15 significant ones.
struct DecimalDigits {
  bool negative = false;
  bool zero = true;
  std::string digits;  // exactly 15 characters unless zero
  int exponent = 0;
};

DecimalDigits decompose(double value) {
  DecimalDigits d;
  d.negative = std::signbit(value);
  if (value == 0.0) {
    return d;
  }
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                 std::chars_format::scientific, kSignificant - 1);
  const std::string text(buf, res.ptr);  // "d.dddddddddddddde+XX"
  const auto e = text.find('e');
  d.digits.reserve(kSignificant);
  for (std::size_t i = 0; i < e; ++i) {
    if (text[i] != '.') {
      d.digits.push_back(text[i]);
    }
  }
  d.exponent = std::stoi(text.substr(e + 1));
  d.zero = false;
  return d;
}

QString nonFinite(double value) {
  if (std::isnan(value)) {
    return QStringLiteral("NAN");
  }
  return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

// Adds one to a string of decimal digits; "999" becomes "1000".
void incrementDigits(std::string& s) {
  for (auto it = s.rbegin(); it != s.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  s.insert(s.begin(), '1');
}

QString groupedInteger(const std::string& intDigits, QChar separator) {
  QString out;
  out.reserve(static_cast<int>(intDigits.size() + intDigits.size() / 3));
  const std::size_t n = intDigits.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) {
      out += separator;
    }
    out += QLatin1Char(intDigits[i]);
  }
  return out;
}

[[noreturn]] void notANumber(const QString& text) {
  throw Error(QStringLiteral("'%1' não é um número válido.").arg(text));
}

bool isAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Reads "[sign]digits[sep digits][E[sign]digits]" (spaces around already trimmed) into the
// C form that from_chars takes. Out-of-range values are refused; values too small for a
// double become zero, as they are below anything a shop can type.
bool readNumber(const QString& trimmed, const FormatSettings& fs, double* out) {
  const int n = trimmed.size();
  int i = 0;
  bool negative = false;
  if (i < n && (trimmed[i] == QLatin1Char('-') || trimmed[i] == QLatin1Char('+'))) {
    negative = trimmed[i] == QLatin1Char('-');
    ++i;
  }
  std::string mantissa;
  int intDigits = 0;
  int fracDigits = 0;
  bool seenSeparator = false;
  for (; i < n; ++i) {
    const QChar c = trimmed[i];
    if (isAsciiDigit(c)) {
      mantissa.push_back(static_cast<char>(c.unicode()));
      (seenSeparator ? fracDigits : intDigits)++;
    } else if (c == fs.decimalSeparator && !seenSeparator) {
      seenSeparator = true;
    } else {
      break;
    }
  }
  if (intDigits + fracDigits == 0) {
    return false;
  }
  long long exponent = 0;
  if (i < n && (trimmed[i] == QLatin1Char('e') || trimmed[i] == QLatin1Char('E'))) {
    ++i;
    bool expNegative = false;
    if (i < n && (trimmed[i] == QLatin1Char('-') || trimmed[i] == QLatin1Char('+'))) {
      expNegative = trimmed[i] == QLatin1Char('-');
      ++i;
    }
    int expDigits = 0;
    for (; i < n && isAsciiDigit(trimmed[i]); ++i, ++expDigits) {
      if (exponent < 100000) {  // beyond this every value is out of range or zero anyway
        exponent = exponent * 10 + (trimmed[i].unicode() - '0');
      }
    }
    if (expDigits == 0) {
      return false;
    }
    if (expNegative) {
      exponent = -exponent;
    }
  }
  if (i != n) {
    return false;
  }

  const auto firstNonZero = mantissa.find_first_not_of('0');
  if (firstNonZero == std::string::npos) {
    *out = negative ? -0.0 : 0.0;
    return true;
  }
  // Decimal exponent of the leading significant digit decides overflow against underflow.
  const long long leadExponent =
      static_cast<long long>(intDigits) - static_cast<long long>(firstNonZero) - 1 + exponent;
  if (leadExponent > 400) {
    return false;
  }
  if (leadExponent < -400) {
    *out = negative ? -0.0 : 0.0;
    return true;
  }
  std::string c = mantissa.substr(firstNonZero);
  const long long scale = exponent - fracDigits;
  c += 'e';
  c += std::to_string(scale);
  double value = 0.0;
  const auto res = std::from_chars(c.data(), c.data() + c.size(), value);
  if (res.ec == std::errc::result_out_of_range) {
    if (leadExponent > 0) {
      return false;
    }
    value = 0.0;
  } else if (res.ec != std::errc{} || res.ptr != c.data() + c.size() || !std::isfinite(value)) {
    return false;
  }
  *out = negative ? -value : value;
  return true;
}

// "[-]d{1,3}(.ddd)*" or "[-]d+", then optionally the decimal separator and digits.
bool readAmount(const QString& trimmed, const FormatSettings& fs, double* out) {
  const int n = trimmed.size();
  int i = 0;
  bool negative = false;
  if (i < n && trimmed[i] == QLatin1Char('-')) {
    negative = true;
    ++i;
  }
  QString plain;
  if (negative) {
    plain += QLatin1Char('-');
  }
  int groupLength = 0;  // digits since the start or the last grouping separator
  bool grouped = false;
  bool anyDigit = false;
  for (; i < n; ++i) {
    const QChar c = trimmed[i];
    if (isAsciiDigit(c)) {
      plain += c;
      ++groupLength;
      anyDigit = true;
      if (grouped && groupLength > 3) {
        return false;
      }
    } else if (c == fs.thousandSeparator && c != fs.decimalSeparator) {
      // The first group holds one to three digits, every later group exactly three.
      if (groupLength == 0 || groupLength > 3 || (grouped && groupLength != 3)) {
        return false;
      }
      grouped = true;
      groupLength = 0;
    } else {
      break;
    }
  }
  if (!anyDigit || (grouped && groupLength != 3)) {
    return false;
  }
  if (i < n) {
    if (trimmed[i] != fs.decimalSeparator) {
      return false;
    }
    plain += fs.decimalSeparator;
    ++i;
    int fracDigits = 0;
    for (; i < n && isAsciiDigit(trimmed[i]); ++i, ++fracDigits) {
      plain += trimmed[i];
    }
    if (fracDigits == 0 || i != n) {
      return false;
    }
  }
  return readNumber(plain, fs, out);
}

// |value| down to the hundredths as formatAmount shows it: its 15 significant digits, then
// half away from zero on the first dropped one. At least three digits ("005" is 0,05);
// `negative` only when something other than zero shows.
struct ShownCents {
  bool negative = false;
  std::string digits;
};

ShownCents shownCents(double value) {
  const DecimalDigits d = decompose(value);
  ShownCents c;
  if (d.zero) {
    c.digits = "000";
    return c;
  }
  const int kept = d.exponent + 3;
  bool roundUp = false;
  if (kept >= 0) {
    c.digits.reserve(static_cast<std::size_t>(kept) + 1);
    for (int k = 0; k < kept; ++k) {
      c.digits.push_back(k < kSignificant ? d.digits[static_cast<std::size_t>(k)] : '0');
    }
    roundUp = kept < kSignificant && d.digits[static_cast<std::size_t>(kept)] >= '5';
  }
  if (roundUp) {
    incrementDigits(c.digits);
  }
  if (c.digits.size() < 3) {
    c.digits.insert(0, 3 - c.digits.size(), '0');
  }
  c.negative = d.negative && c.digits.find_first_not_of('0') != std::string::npos;
  return c;
}

}  // namespace

QString formatAmount(double value, const FormatSettings& fs) {
  if (!std::isfinite(value)) {
    return nonFinite(value);
  }
  const ShownCents c = shownCents(value);
  const std::string& cents = c.digits;
  std::string intDigits = cents.substr(0, cents.size() - 2);
  const auto firstNonZero = intDigits.find_first_not_of('0');
  intDigits = firstNonZero == std::string::npos ? std::string("0") : intDigits.substr(firstNonZero);

  QString out;
  if (c.negative) {
    out += QLatin1Char('-');
  }
  out += groupedInteger(intDigits, fs.thousandSeparator);
  out += fs.decimalSeparator;
  out += QLatin1Char(cents[cents.size() - 2]);
  out += QLatin1Char(cents[cents.size() - 1]);
  return out;
}

double roundAmount(double value) {
  if (!std::isfinite(value)) {
    return value;
  }
  const ShownCents c = shownCents(value);
  if (c.digits.find_first_not_of('0') == std::string::npos) {
    return 0.0;
  }
  const std::string text = c.digits + "e-2";
  double result = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), result);
  return c.negative ? -result : result;
}

QString formatCurrency(double value, const FormatSettings& fs) {
  return fs.currencySymbol + formatAmount(value, fs);
}

QString formatGeneral(double value, const FormatSettings& fs) {
  if (!std::isfinite(value)) {
    return nonFinite(value);
  }
  const DecimalDigits d = decompose(value);
  if (d.zero) {
    return QStringLiteral("0");
  }
  std::string digits = d.digits;
  digits.erase(digits.find_last_not_of('0') + 1);

  QString out;
  if (d.negative) {
    out += QLatin1Char('-');
  }
  const int count = static_cast<int>(digits.size());
  if (d.exponent >= kSignificant || d.exponent < -5) {
    out += QLatin1Char(digits[0]);
    if (count > 1) {
      out += fs.decimalSeparator;
      out += QLatin1String(digits.data() + 1, count - 1);
    }
    out += QLatin1Char('E');
    out += QString::number(d.exponent);
    return out;
  }
  if (d.exponent < 0) {
    out += QLatin1Char('0');
    out += fs.decimalSeparator;
    out += QString(-d.exponent - 1, QLatin1Char('0'));
    out += QLatin1String(digits.data(), count);
    return out;
  }
  const int intCount = d.exponent + 1;
  for (int k = 0; k < intCount; ++k) {
    out += QLatin1Char(k < count ? digits[static_cast<std::size_t>(k)] : '0');
  }
  if (count > intCount) {
    out += fs.decimalSeparator;
    out += QLatin1String(digits.data() + intCount, count - intCount);
  }
  return out;
}

bool tryParseNumber(const QString& text, double* out, const FormatSettings& fs) {
  double value = 0.0;
  if (!readNumber(text.trimmed(), fs, &value)) {
    return false;
  }
  if (out != nullptr) {
    *out = value;
  }
  return true;
}

double parseNumber(const QString& text, const FormatSettings& fs) {
  double value = 0.0;
  if (!tryParseNumber(text, &value, fs)) {
    notANumber(text);
  }
  return value;
}

double parseAmount(const QString& text, const FormatSettings& fs) {
  double value = 0.0;
  if (!readAmount(text.trimmed(), fs, &value)) {
    notANumber(text);
  }
  return value;
}

QString formatDate(double dateTime, const FormatSettings& fs) {
  if (!inDateRange(dateTime)) {
    return {};
  }
  return toQDateTime(dateTime).date().toString(fs.shortDateFormat);
}

QString formatDateTime(double dateTime, const FormatSettings& fs) {
  if (!inDateRange(dateTime)) {
    return {};
  }
  const QDateTime dt = toQDateTime(dateTime);
  QString out = dt.date().toString(fs.shortDateFormat);
  if (dt.time() != QTime(0, 0)) {
    out += QLatin1Char(' ') + dt.time().toString(fs.longTimeFormat);
  }
  return out;
}

double parseDateTime(const QString& text, const FormatSettings& fs) {
  const QString trimmed = text.simplified();
  // Typed dates often drop the leading zeros ("1/2/2024"), and times the seconds.
  QString looseDate = fs.shortDateFormat;
  looseDate.replace(QLatin1String("dd"), QLatin1String("d"))
      .replace(QLatin1String("MM"), QLatin1String("M"));
  const QString dateFormats[] = {fs.shortDateFormat, looseDate};
  const QString timeFormats[] = {fs.longTimeFormat, QStringLiteral("h:mm:ss"),
                                 QStringLiteral("h:mm")};
  for (const QString& df : dateFormats) {
    const QDate date = QDate::fromString(trimmed, df);
    if (date.isValid()) {
      return fromQDateTime(date, QTime(0, 0));
    }
    // The date format itself may hold blanks ("d MMM yyyy"), so try each blank as the
    // border; date and time are read apart to stay clear of time-zone gaps.
    for (int blank = trimmed.indexOf(QLatin1Char(' ')); blank > 0;
         blank = trimmed.indexOf(QLatin1Char(' '), blank + 1)) {
      const QDate day = QDate::fromString(trimmed.left(blank), df);
      if (!day.isValid()) {
        continue;
      }
      for (const QString& tf : timeFormats) {
        const QTime time = QTime::fromString(trimmed.mid(blank + 1), tf);
        if (time.isValid()) {
          return fromQDateTime(day, time);
        }
      }
    }
  }
  throw Error(QStringLiteral("'%1' não é uma data válida.").arg(text));
}

double nowDateTime() {
  const QDateTime now = QDateTime::currentDateTime();
  return fromQDateTime(now.date(), now.time());
}

double todayDateTime() { return fromQDateTime(QDate::currentDate(), QTime(0, 0)); }

bool textToFlag(const QString& text) {
  const QString t = text.trimmed();
  static const QStringList yes{QStringLiteral("S"), QStringLiteral("T"), QStringLiteral("TRUE"),
                               QStringLiteral("1"), QStringLiteral("Y")};
  static const QStringList no{QStringLiteral("N"), QStringLiteral("F"), QStringLiteral("FALSE"),
                              QStringLiteral("0"), QString()};
  if (yes.contains(t, Qt::CaseInsensitive)) {
    return true;
  }
  if (no.contains(t, Qt::CaseInsensitive)) {
    return false;
  }
  throw Error(QStringLiteral("'%1' não é um valor lógico válido.").arg(text));
}

qint64 textToInteger(const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty()) {
    return 0;
  }
  int i = 0;
  bool negative = false;
  if (t[0] == QLatin1Char('-') || t[0] == QLatin1Char('+')) {
    negative = t[0] == QLatin1Char('-');
    ++i;
  }
  if (i == t.size()) {
    throw Error(QStringLiteral("'%1' não é um número inteiro válido.").arg(text));
  }
  // Accumulated as a negative number so that the smallest 64-bit value still fits.
  qint64 value = 0;
  constexpr qint64 kMin = std::numeric_limits<qint64>::min();
  for (; i < t.size(); ++i) {
    if (!isAsciiDigit(t[i])) {
      throw Error(QStringLiteral("'%1' não é um número inteiro válido.").arg(text));
    }
    const int digit = t[i].unicode() - '0';
    if (value < (kMin + digit) / 10) {
      throw Error(QStringLiteral("'%1' não é um número inteiro válido.").arg(text));
    }
    value = value * 10 - digit;
  }
  if (!negative) {
    if (value == kMin) {
      throw Error(QStringLiteral("'%1' não é um número inteiro válido.").arg(text));
    }
    value = -value;
  }
  return value;
}

}  // namespace fw
