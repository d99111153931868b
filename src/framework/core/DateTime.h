// The framework's day numbers: a date and time is a double counting days since 30 December
// 1899, with the time of day as the fraction. A negative count is a day before that date
// whose fraction still counts forward from the day's midnight (-1.25 is 29/12/1899 06:00).
// The binary packet counts days from 1 January 0001 instead (kDayOfEpoch apart).
// Used by the text layer (date texts), the packet codecs and the table tool.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace fw {

inline constexpr int kDayOfEpoch = 693594;  // 30/12/1899 counted with 1/1/0001 as day 1
inline constexpr double kMsPerDay = 86400000.0;

// The calendar date and time of day of a day number, held as UTC: the local time zone never
// moves it, and an hour a change to summer time skipped is no invalid time (nor is the
// zone's file read again for every value).
QDateTime toQDateTime(double days);
// The day number of a date and a time of day.
double fromQDateTime(const QDate& date, const QTime& time);
// Years 1 to 9999: the range the date texts and the packet formats can hold.
bool inDateRange(double days);
}  // namespace fw
