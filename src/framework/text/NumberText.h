// NumberText: the text forms of numbers and date-times, all through FormatSettings.
#pragma once

#include <QString>

#include "framework/text/FormatSettings.h"

namespace fw {

// "#,##0.00": grouping, two decimals; rounded on the number's decimal value to 15
// significant digits, halves away from zero (10,555 -> "10,56"; -2,345 -> "-2,35").
// Zero and amounts that round to zero show without a sign ("0,00", never "-0,00"). Every
// finite value shows all its integer digits, zeros past the 15th significant one
// (1E20 -> "100.000.000.000.000.000.000,00"); NaN shows "NAN", infinities "INF"/"-INF".
QString formatAmount(double value, const FormatSettings& fs = FormatSettings::current());

// The amount formatAmount shows, as a number: rounded to the cent the same way, so
// 0,495 gives 0,5 and 0,1 + 0,2 gives 0,3 (the double nearest the shown decimal). Amounts
// computed from amounts shown this way can be compared exactly. Non-finite values stay.
double roundAmount(double value);

// The currency symbol directly followed by formatAmount ("R$1.234,50").
QString formatCurrency(double value, const FormatSettings& fs = FormatSettings::current());

// The general text form: at most 15 significant digits, trailing zeros dropped, the
// decimal separator, no grouping; fixed notation from 0.00001 up to 15 integer digits,
// scientific otherwise. One half is "0,5".
// Scientific form: the digits with the decimal separator after the first, "E", and the
// exponent with "-" when negative and no leading zeros: "1E20", "1,5E-6", "-1,23E15".
// NaN and infinities as in formatAmount.
QString formatGeneral(double value, const FormatSettings& fs = FormatSettings::current());

// Reads a number typed or stored in the locale's form ("10,5", "-3", "1,5E3").
// Grouping separators are not accepted here. Throws fw::Error with a Portuguese text
// naming the input when it is not a number (or is out of the double's range).
double parseNumber(const QString& text, const FormatSettings& fs = FormatSettings::current());
// Blanks around the number are ignored; "+" is accepted; "5," and ",5" read as 5 and 0,5.
// Values too small for a double read as 0 ("1E-400"); too large ones are errors.
bool tryParseNumber(const QString& text, double* out,
                    const FormatSettings& fs = FormatSettings::current());

// Reads back an amount shown by formatAmount, grouping included ("1.001,00" -> 1001).
// Throws fw::Error when the text is not such an amount.
// Grouping is optional but, when present, must be in the right places ("1.00,00" fails);
// texts without grouping ("0", "25", "1234,5") read too. No exponent, no currency symbol.
double parseAmount(const QString& text, const FormatSettings& fs = FormatSettings::current());

// Date-times: days since 30 December 1899, time of day as the fraction.
QString formatDate(double dateTime, const FormatSettings& fs = FormatSettings::current());
QString formatDateTime(double dateTime, const FormatSettings& fs = FormatSettings::current());
// A negative day count is a day before 30/12/1899 whose fraction still counts forward
// from that day's midnight (-1,25 is 29/12/1899 06:00). formatDateTime leaves the time out
// at midnight exactly; values outside the years 1 to 9999 give an empty text.
// parseDateTime reads the date, optionally followed by a blank and the time (with or
// without seconds); leading zeros of day and month may be missing.
double parseDateTime(const QString& text, const FormatSettings& fs = FormatSettings::current());
double nowDateTime();    // the machine's current date and time
double todayDateTime();  // today, time of day zero

// How a stored text converts to a flag and to an integer (files the host wrote hold
// "S"/"N", "T"/"F", "True"/"False", "1"/"0" for flags; decimal digits for integers).
// Flags: "S", "T", "True", "1", "Y" are true; "N", "F", "False", "0" and the empty text are
// false; letter case and surrounding blanks do not matter; any other text throws fw::Error.
// Integers: an optional sign and decimal digits, blanks around ignored; the empty text is
// 0 (a field the host left empty); anything else, or a value beyond 64 bits, throws.
bool textToFlag(const QString& text);       // throws fw::Error for any other text
qint64 textToInteger(const QString& text);  // throws fw::Error for a non-integer text

}  // namespace fw
