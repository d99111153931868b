// What the XML packet reader and writer share: the type names, the date and time texts, the
// number forms and the limits the writer keeps to so that the reader takes back what it wrote.
// Private to XmlPacket*.cpp.
#pragma once

#include <QDate>
#include <QStringList>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "framework/core/DateTime.h"
#include "framework/packet/CodePage1252.h"
#include "framework/packet/DataPacket.h"

namespace fw::xmlpacket {

constexpr qint64 kJulianOfDayOne = 1721426;  // QDate(1, 1, 1).toJulianDay()
// A value's text may not exceed this (a blob's base64 included): a hostile file is refused
// before anything is built from it.
constexpr std::size_t kMaxValueBytes = 16 * 1024 * 1024;
// Extra field attribute bits beyond hidden/readonly/required/linkfield.
constexpr const char* kOtherAttributes = "attributes";

struct XmlType {
  const char* name;
  int code;
  int size;
};

constexpr XmlType kXmlTypes[] = {
    {"i1", packettype::Integer, 1},      {"i2", packettype::Integer, 2},
    {"i4", packettype::Integer, 4},      {"i8", packettype::Integer, 8},
    {"ui1", packettype::Unsigned, 1},    {"ui2", packettype::Unsigned, 2},
    {"ui4", packettype::Unsigned, 4},    {"ui8", packettype::Unsigned, 8},
    {"boolean", packettype::Boolean, 2}, {"r8", packettype::Float, 8},
    {"fixed", packettype::Bcd, 34},      {"date", packettype::Date, 4},
    {"time", packettype::Time, 4},       {"dateTime", packettype::Timestamp, 8},
};

// FIELD attributes the reader takes as the field's own, never as a property.
constexpr const char* kFieldAttributes[] = {"attrname", "fieldname", "fieldtype", "hidden",
                                            "readonly", "required",  "linkfield", kOtherAttributes};

inline bool isTextBlob(const PacketField& f) {
  const QString sub = f.subtype();
  return f.fieldType == FieldType::Blob &&
         (sub == QLatin1String("Text") || sub == QLatin1String("Memo"));
}

// Days counted with 1 January 0001 as day 1.
inline qint64 dayNumber(int y, int m, int d) {
  const QDate date(y, m, d);
  return date.isValid() && y > 0 ? date.toJulianDay() - kJulianOfDayOne + 1 : -1;
}

inline QString dateText(qint64 dayNo) {
  const QDate date = QDate::fromJulianDay(dayNo - 1 + kJulianOfDayOne);
  return QStringLiteral("%1%2%3")
      .arg(date.year(), 4, 10, QLatin1Char('0'))
      .arg(date.month(), 2, 10, QLatin1Char('0'))
      .arg(date.day(), 2, 10, QLatin1Char('0'));
}

inline QString timeText(qint64 ms) {
  return QStringLiteral("%1:%2:%3%4")
      .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
      .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
      .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
      .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

inline bool digits(std::string_view s, std::size_t at, int count, int* out) {
  if (at + static_cast<std::size_t>(count) > s.size()) return false;
  int v = 0;
  for (int i = 0; i < count; ++i) {
    const char c = s[at + static_cast<std::size_t>(i)];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *out = v;
  return true;
}

// "yyyymmdd" -> day number, or -1.
inline qint64 parseDate(std::string_view s) {
  int y, m, d;
  if (!digits(s, 0, 4, &y) || !digits(s, 4, 2, &m) || !digits(s, 6, 2, &d)) return -1;
  return dayNumber(y, m, d);
}

// "hh:mm:ss" or "hh:mm:ssmmm" -> ms, or -1. Fewer millisecond digits would be ambiguous.
inline qint64 parseTime(std::string_view s) {
  int h, mi, se, ms = 0;
  if (s.size() != 8 && s.size() != 11) return -1;
  if (!digits(s, 0, 2, &h) || s[2] != ':' || !digits(s, 3, 2, &mi) || s[5] != ':' ||
      !digits(s, 6, 2, &se))
    return -1;
  if (s.size() == 11 && !digits(s, 8, 3, &ms)) return -1;
  if (h > 23 || mi > 59 || se > 59) return -1;
  return ((h * 60 + mi) * 60 + se) * 1000LL + ms;
}

// A whole decimal integer, an optional sign before it; nothing else.
template <typename T>
inline bool parseInteger(std::string_view s, T* out) {
  if (s.size() > 1 && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return false;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), *out);
  return error == std::errc() && end == s.data() + s.size();
}

// A finite number: "NaN" and "INF" have no form in the other files.
inline bool parseDouble(std::string_view s, double* out) {
  if (s.size() > 1 && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return false;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), *out);
  return error == std::errc() && end == s.data() + s.size() && std::isfinite(*out);
}

// Characters XML 1.0 cannot carry at all, not even as references.
inline bool xmlForbidden(char16_t u) {
  return (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) || u == 0xFFFE || u == 0xFFFF;
}

inline QString propertyText(const PacketProperty& p) {
  if (p.isArray()) {
    QStringList parts;
    for (qint64 v : p.integers()) parts << QString::number(v);
    return parts.join(QLatin1Char(' '));
  }
  if (p.isVarying()) return p.text();
  return QString::number(p.integer());
}

inline bool isWidthLike(const QByteArray& name) { return name == "WIDTH" || name == "DECIMALS"; }
inline bool isKeyList(const QByteArray& name) {
  return name == "DEFAULT_ORDER" || name == "PRIMARY_KEY" || name == "UNIQUE_KEY";
}

// Why a property cannot be written so that the reader gives it back the same; empty if it can.
inline QString unwritableProperty(const PacketProperty& p) {
  const int code = p.type & packettype::CodeMask;
  if (isWidthLike(p.name)) {
    if (p.isArray() || p.isVarying() || code != packettype::Unsigned || p.size != 2)
      return QStringLiteral("só pode ser um inteiro de 16 bits sem sinal");
  } else if (p.name == "LCID") {
    if (p.isArray() || p.isVarying() || code != packettype::Integer || p.size != 4)
      return QStringLiteral("só pode ser um inteiro de 32 bits");
  } else if (isKeyList(p.name)) {
    if (!p.isArray() || code != packettype::Unsigned || p.size != 2)
      return QStringLiteral("só pode ser uma lista de inteiros de 16 bits sem sinal");
  } else if (!p.isVarying() || code != packettype::Text) {
    return QStringLiteral("do tipo 0x%1 não tem forma em XML").arg(p.type, 0, 16);
  } else if (const qsizetype nul = p.value.indexOf('\0'); nul >= 0 && nul != p.value.size() - 1) {
    return QStringLiteral("com um caractere nulo no texto não tem forma em XML");
  }
  return {};
}

// Characters a text field holds when read from XML: its WIDTH, else what the length
// prefix the reader gives it (one byte) can count.
inline qsizetype textLimit(const PacketField& f) {
  const int width = f.width();
  if (width > 0) return width;
  return f.fieldType == FieldType::WideText ? 127 : 255;
}

inline std::size_t utf8Size(QStringView text) {
  std::size_t n = 0;
  for (const QChar c : text) n += c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : 3;
  return n;
}

}  // namespace fw::xmlpacket
