// FormatSettings: the one set of locale settings every text form of a number or date goes
// through (never the C locale). pt-BR by default: "R$", decimal ",", grouping ".",
// dates dd/MM/yyyy, times hh:mm:ss.
#pragma once

#include <QChar>
#include <QString>

namespace fw {

struct FormatSettings {
  QString currencySymbol = QStringLiteral("R$");
  QChar decimalSeparator = QLatin1Char(',');
  QChar thousandSeparator = QLatin1Char('.');
  QString shortDateFormat = QStringLiteral("dd/MM/yyyy");
  QString longTimeFormat = QStringLiteral("hh:mm:ss");

  static FormatSettings brazilian();
  static FormatSettings fromSystemLocale();

  // The settings in force for the whole process (pt-BR unless changed).
  static const FormatSettings& current();
  static void setCurrent(const FormatSettings& settings);
};

}  // namespace fw
