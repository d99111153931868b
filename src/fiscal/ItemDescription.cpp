#include "fiscal/ItemDescription.h"

#include <QStringList>

namespace fiscal {

namespace {

bool isCode(const QString& part) {
  if (part.isEmpty()) return false;
  bool digit = false;
  for (QChar c : part) {
    if (c.isDigit()) {
      digit = true;
    } else if (c != QLatin1Char('.')) {
      return false;
    }
  }
  return digit;
}

int digitCount(const QString& code) {
  int n = 0;
  for (QChar c : code) n += c.isDigit() ? 1 : 0;
  return n;
}

}  // namespace

ItemDescription ItemDescription::parse(const QString& description) {
  ItemDescription d;
  QStringList codes;
  QString rest = description;
  while (codes.size() < 2) {
    const int hash = rest.indexOf(QLatin1Char('#'));
    if (hash < 0 || !isCode(rest.left(hash))) break;
    codes << rest.left(hash);
    rest = rest.mid(hash + 1);
  }
  if (codes.size() == 2) {
    d.cest = codes[0];
    d.ncm = codes[1];
  } else if (codes.size() == 1) {
    (digitCount(codes[0]) == 7 ? d.cest : d.ncm) = codes[0];
  }
  d.name = rest;
  return d;
}

}  // namespace fiscal
