// NumberText: the text forms of numbers and date-times, all through FormatSettings.
#pragma once

#include "framework/text/FormatSettings.h"

#include <QString>

namespace fw {

// "#,##0.00": grouping, two decimals; rounded on the number's decimal value to 15
// significant digits, halves away from zero (10,555 -> "10,56"; -2,345 -> "-2,35").
QString formatAmount(double value, const FormatSettings& fs = FormatSettings::current());

// The currency symbol directly followed by formatAmount ("R$1.234,50").
QString formatCurrency(double value, const FormatSettings& fs = FormatSettings::current());

// The general text form: at most 15 significant digits, trailing zeros dropped, the
// decimal separator, no grouping; fixed notation from 0.00001 up to 15 integer digits,
// scientific otherwise. One half is "0,5".
QString formatGeneral(double value, const FormatSettings& fs = FormatSettings::current());

// Reads a number typed or stored in the locale's form ("10,5", "-3", "1,5E3").
// Grouping separators are not accepted here. Throws fw::Error with a Portuguese text
// naming the input when it is not a number (or is out of the double's range).
double parseNumber(const QString& text, const FormatSettings& fs = FormatSettings::current());
bool tryParseNumber(const QString& text, double* out, const FormatSettings& fs = FormatSettings::current());

// Reads back an amount shown by formatAmount, grouping included ("1.001,00" -> 1001).
// Throws fw::Error when the text is not such an amount.
double parseAmount(const QString& text, const FormatSettings& fs = FormatSettings::current());

// Date-times: days since 30 December 1899, time of day as the fraction.
QString formatDate(double dateTime, const FormatSettings& fs = FormatSettings::current());
QString formatDateTime(double dateTime, const FormatSettings& fs = FormatSettings::current());
double parseDateTime(const QString& text, const FormatSettings& fs = FormatSettings::current());
double nowDateTime();    // the machine's current date and time
double todayDateTime();  // today, time of day zero

// How a stored text converts to a flag and to an integer (files the host wrote hold
// "S"/"N", "T"/"F", "True"/"False", "1"/"0" for flags; decimal digits for integers).
bool textToFlag(const QString& text);   // throws fw::Error for any other text
qint64 textToInteger(const QString& text);  // throws fw::Error for a non-integer text

}  // namespace fw
