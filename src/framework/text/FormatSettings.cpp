// FormatSettings: the pt-BR defaults, the settings taken from the machine's locale, and the
// one process-wide instance that formatting uses when a caller passes none.
#include "framework/text/FormatSettings.h"

#include <QLocale>

namespace fw {

namespace {

FormatSettings& currentSettings() {
  static FormatSettings settings;
  return settings;
}

// Time formats of some locales carry an AM/PM mark or a time zone; our texts are stored
// and read back, so we keep hours, minutes and seconds only.
QString plainTimeFormat(const QString& localeFormat) {
  QString f = localeFormat;
  f.remove(QLatin1Char('t'));
  f.remove(QLatin1Char('a'), Qt::CaseInsensitive);
  f = f.trimmed();
  if (!f.contains(QLatin1String("ss"))) {
    f += QLatin1String(":ss");
  }
  return f;
}

}  // namespace

FormatSettings FormatSettings::brazilian() { return FormatSettings{}; }

FormatSettings FormatSettings::fromSystemLocale() {
  const QLocale locale = QLocale::system();
  FormatSettings fs;
  const QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
  if (!symbol.isEmpty()) {
    fs.currencySymbol = symbol;
  }
  const QString decimal = locale.decimalPoint();
  const QString group = locale.groupSeparator();
  // A separator made of several characters cannot be typed on the keypad; keep pt-BR's.
  if (decimal.size() == 1) {
    fs.decimalSeparator = decimal.at(0);
  }
  if (group.size() == 1 && group.at(0) != fs.decimalSeparator) {
    fs.thousandSeparator = group.at(0);
  }
  QString date = locale.dateFormat(QLocale::ShortFormat);
  // Two-digit years would read back a century off; dates here are written and read again.
  if (!date.contains(QLatin1String("yyyy"))) {
    date.replace(QLatin1String("yy"), QLatin1String("yyyy"));
  }
  if (!date.isEmpty()) {
    fs.shortDateFormat = date;
  }
  const QString time = locale.timeFormat(QLocale::LongFormat);
  if (!time.isEmpty()) {
    fs.longTimeFormat = plainTimeFormat(time);
  }
  return fs;
}

const FormatSettings& FormatSettings::current() { return currentSettings(); }

void FormatSettings::setCurrent(const FormatSettings& settings) { currentSettings() = settings; }

}  // namespace fw
