#include "framework/core/DateTime.h"

#include <cmath>

namespace fw {

namespace {
const QDate& epoch() {
  static const QDate day(1899, 12, 30);
  return day;
}
}  // namespace

QDateTime toQDateTime(double days) {
  double whole = std::trunc(days);
  qint64 ms = std::llround(std::fabs(days - whole) * kMsPerDay);
  if (ms >= 86400000) {
    ms -= 86400000;
    whole += days < 0 ? -1.0 : 1.0;
  }
  return QDateTime(epoch().addDays(static_cast<qint64>(whole)),
                   QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), Qt::UTC);
}

double fromQDateTime(const QDate& date, const QTime& time) {
  const double days = static_cast<double>(epoch().daysTo(date));
  const double fraction = time.msecsSinceStartOfDay() / kMsPerDay;
  return days < 0 ? days - fraction : days + fraction;
}

bool inDateRange(double days) {
  return std::isfinite(days) && days > -693594.0 && days < 2958466.0;
}

}  // namespace fw
