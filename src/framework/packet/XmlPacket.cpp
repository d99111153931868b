// XML packets through QXmlStreamReader/Writer. Values go straight from attribute text to
// the encoded record, without an intermediate Variant, because catalogs are large.
#include "framework/packet/XmlPacket.h"

#include "framework/core/DateTime.h"
#include "framework/core/Error.h"
#include "framework/packet/CodePage1252.h"

#include <QBuffer>
#include <QDate>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>
#include <cstring>

namespace fw {

namespace {

constexpr qint64 kJulianOfDayOne = 1721426;  // QDate(1, 1, 1).toJulianDay()

struct XmlType {
  const char* name;
  int code;
  int size;
};

constexpr XmlType kXmlTypes[] = {
    {"i1", packettype::Integer, 1},  {"i2", packettype::Integer, 2},  {"i4", packettype::Integer, 4},
    {"i8", packettype::Integer, 8},  {"ui1", packettype::Unsigned, 1}, {"ui2", packettype::Unsigned, 2},
    {"ui4", packettype::Unsigned, 4}, {"ui8", packettype::Unsigned, 8}, {"boolean", packettype::Boolean, 2},
    {"r8", packettype::Float, 8},    {"fixed", packettype::Bcd, 34},   {"date", packettype::Date, 4},
    {"time", packettype::Time, 4},   {"dateTime", packettype::Timestamp, 8},
};

bool isTextBlob(const PacketField& f) {
  const QString sub = f.subtype();
  return f.fieldType == FieldType::Blob && (sub == QLatin1String("Text") || sub == QLatin1String("Memo"));
}

// Days counted with 1 January 0001 as day 1.
qint64 dayNumber(int y, int m, int d) {
  const QDate date(y, m, d);
  return date.isValid() ? date.toJulianDay() - kJulianOfDayOne + 1 : -1;
}

QString dateText(qint64 dayNo) {
  const QDate date = QDate::fromJulianDay(dayNo - 1 + kJulianOfDayOne);
  return QStringLiteral("%1%2%3")
      .arg(date.year(), 4, 10, QLatin1Char('0'))
      .arg(date.month(), 2, 10, QLatin1Char('0'))
      .arg(date.day(), 2, 10, QLatin1Char('0'));
}

QString timeText(qint64 ms) {
  return QStringLiteral("%1:%2:%3%4")
      .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
      .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
      .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
      .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

bool digits(QStringView s, qsizetype at, int count, int* out) {
  if (at + count > s.size()) return false;
  int v = 0;
  for (int i = 0; i < count; ++i) {
    const QChar c = s[at + i];
    if (!c.isDigit()) return false;
    v = v * 10 + c.digitValue();
  }
  *out = v;
  return true;
}

// "yyyymmdd" -> day number, or -1.
qint64 parseDate(QStringView s) {
  int y, m, d;
  if (!digits(s, 0, 4, &y) || !digits(s, 4, 2, &m) || !digits(s, 6, 2, &d)) return -1;
  return dayNumber(y, m, d);
}

// "hh:mm:ssmmm" (milliseconds optional) -> ms, or -1.
qint64 parseTime(QStringView s) {
  int h, mi, se, ms = 0;
  if (!digits(s, 0, 2, &h) || s.size() < 8 || s[2] != u':' || !digits(s, 3, 2, &mi) || s[5] != u':' ||
      !digits(s, 6, 2, &se))
    return -1;
  if (s.size() > 8 && !digits(s, 8, static_cast<int>(s.size() - 8), &ms)) return -1;
  if (s.size() > 11 || h > 23 || mi > 59 || se > 59) return -1;
  return ((h * 60 + mi) * 60 + se) * 1000LL + ms;
}

QString propertyText(const PacketProperty& p) {
  if (p.isArray()) {
    QStringList parts;
    for (qint64 v : p.integers()) parts << QString::number(v);
    return parts.join(QLatin1Char(' '));
  }
  if (p.isVarying()) return p.text();
  const int code = p.type & packettype::CodeMask;
  if (code == packettype::Integer || code == packettype::Unsigned) return QString::number(p.integer());
  if (code == packettype::Boolean) return p.integer() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
  return QString::fromLatin1(p.value.toBase64());
}

PacketProperty propertyFromXml(const QByteArray& name, const QString& text) {
  if (name == "WIDTH" || name == "DECIMALS") {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok && v >= 0 && v <= 0xFFFF) return PacketProperty::makeInteger(name, packettype::Unsigned, 2, v);
  } else if (name == "LCID") {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok) return PacketProperty::makeInteger(name, packettype::Integer, 4, v);
  } else if (name == "DEFAULT_ORDER" || name == "PRIMARY_KEY" || name == "UNIQUE_KEY") {
    std::vector<qint64> values;
    bool ok = true;
    for (const QString& part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      const int v = part.toInt(&ok);
      if (!ok || v < 0 || v > 0xFFFF) break;
      values.push_back(v);
    }
    if (ok) return PacketProperty::makeArray(name, packettype::Unsigned, 2, values);
  }
  return PacketProperty::makeText(name, text);
}

class XmlReader {
 public:
  XmlReader(const QByteArray& xml, const QString& source) : xml_(xml), source_(source) {}

  DataPacket read() {
    if (!nextElement() || xml_.name() != QLatin1String("DATAPACKET")) fail(QStringLiteral("falta o elemento DATAPACKET"));
    bool sawMetadata = false;
    while (nextChild()) {
      if (xml_.name() == QLatin1String("METADATA")) {
        readMetadata();
        sawMetadata = true;
      } else if (xml_.name() == QLatin1String("ROWDATA")) {
        if (!sawMetadata) fail(QStringLiteral("ROWDATA antes de METADATA"));
        readRows();
      } else {
        xml_.skipCurrentElement();
      }
    }
    if (xml_.hasError()) fail(xml_.errorString());
    if (!sawMetadata) fail(QStringLiteral("falta o elemento METADATA"));
    return std::move(packet_);
  }

 private:
  [[noreturn]] void fail(const QString& what) const {
    throw Error(QStringLiteral("O arquivo '%1' não é um pacote XML válido: %2 (linha %3, coluna %4).")
                    .arg(source_, what)
                    .arg(xml_.lineNumber())
                    .arg(xml_.columnNumber()));
  }

  bool nextElement() {
    while (!xml_.atEnd()) {
      xml_.readNext();
      if (xml_.isStartElement()) return true;
    }
    if (xml_.hasError()) fail(xml_.errorString());
    return false;
  }

  // Next child element of the current one; false at its end.
  bool nextChild() {
    const bool ok = xml_.readNextStartElement();
    if (!ok && xml_.hasError()) fail(xml_.errorString());
    return ok;
  }

  void readMetadata() {
    while (nextChild()) {
      if (xml_.name() == QLatin1String("FIELDS")) {
        while (nextChild()) {
          if (xml_.name() != QLatin1String("FIELD")) fail(QStringLiteral("elemento inesperado em FIELDS"));
          readField();
        }
      } else if (xml_.name() == QLatin1String("PARAMS")) {
        for (const QXmlStreamAttribute& a : xml_.attributes())
          packet_.properties.push_back(propertyFromXml(a.name().toLatin1(), a.value().toString()));
        xml_.skipCurrentElement();
      } else {
        xml_.skipCurrentElement();
      }
    }
    try {
      packet_.prepare();
    } catch (const Error& e) {
      fail(e.message().chopped(1));
    }
    for (const PacketField& f : packet_.fields) {
      xmlNames_.push_back(f.name);
      textBlob_.push_back(isTextBlob(f));
    }
    for (const auto& [name, real] : realNames_) xmlNames_[static_cast<std::size_t>(name)] = real;
  }

  void readField() {
    PacketField f;
    QString attrName, realName, type;
    for (const QXmlStreamAttribute& a : xml_.attributes()) {
      const QStringView n = a.name();
      const bool yes = a.value().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
      if (n == QLatin1String("attrname")) attrName = a.value().toString();
      else if (n == QLatin1String("fieldname")) realName = a.value().toString();
      else if (n == QLatin1String("fieldtype")) type = a.value().toString();
      else if (n == QLatin1String("hidden")) f.attributes |= yes ? 1 : 0;
      else if (n == QLatin1String("readonly")) f.attributes |= yes ? 2 : 0;
      else if (n == QLatin1String("required")) f.attributes |= yes ? 4 : 0;
      else if (n == QLatin1String("linkfield")) f.attributes |= yes ? 8 : 0;
      else f.properties.push_back(propertyFromXml(n.toLatin1(), a.value().toString()));
    }
    f.name = realName.isEmpty() ? attrName : realName;
    if (f.name.isEmpty()) fail(QStringLiteral("campo sem nome"));
    f.rawName = toWindows1252(f.name);
    int width = 0;
    for (const PacketProperty& p : f.properties)
      if (p.name == "WIDTH" && !p.isVarying()) width = static_cast<int>(p.integer());
    if (type == QLatin1String("string") || type == QLatin1String("string.uni") || type == QLatin1String("wstring")) {
      const bool wide = type != QLatin1String("string");
      f.type = packettype::Varying | (wide ? packettype::WideText : packettype::Text);
      f.size = (wide ? width * 2 : width) > 255 ? 2 : 1;
    } else if (type == QLatin1String("bin.hex")) {
      f.type = packettype::Varying | packettype::Bytes;
      f.size = 4;
    } else {
      bool known = false;
      for (const XmlType& t : kXmlTypes)
        if (type == QLatin1String(t.name)) {
          f.type = static_cast<quint16>(t.code);
          f.size = static_cast<quint16>(t.size);
          known = true;
        }
      if (!known) fail(QStringLiteral("campo '%1' com tipo '%2' não suportado").arg(f.name, type));
    }
    if (!realName.isEmpty() && realName != attrName)
      realNames_.emplace_back(static_cast<int>(packet_.fields.size()), attrName);
    packet_.fields.push_back(std::move(f));
    if (nextChild()) fail(QStringLiteral("campo '%1' com subcampos não é suportado").arg(packet_.fields.back().name));
  }

  int fieldOf(QStringView name, int guess) const {
    const int n = static_cast<int>(xmlNames_.size());
    if (guess < n && xmlNames_[static_cast<std::size_t>(guess)] == name) return guess;
    for (int i = 0; i < n; ++i)
      if (xmlNames_[static_cast<std::size_t>(i)] == name) return i;
    return -1;
  }

  void readRows() {
    RecordBuilder builder(packet_);
    QByteArray record;
    while (nextChild()) {
      if (xml_.name() != QLatin1String("ROW")) fail(QStringLiteral("elemento inesperado em ROWDATA"));
      builder.reset();
      int status = 0;
      int guess = 0;
      const QXmlStreamAttributes attributes = xml_.attributes();
      for (const QXmlStreamAttribute& a : attributes) {
        if (a.name() == QLatin1String("RowState")) {
          status = a.value().toInt();
          continue;
        }
        const int field = fieldOf(a.name(), guess);
        if (field < 0) fail(QStringLiteral("valor de um campo desconhecido '%1'").arg(a.name().toString()));
        guess = field + 1;
        setValue(builder, field, a.value());
      }
      xml_.skipCurrentElement();
      if (status & 0x23) continue;  // originals, deleted and unused rows of a change log
      record.clear();
      builder.appendTo(record);
      packet_.records.push_back(packet_.store(record));
    }
  }

  void setValue(RecordBuilder& builder, int field, QStringView text) {
    const PacketField& f = packet_.fields[static_cast<std::size_t>(field)];
    const auto bad = [&]() {
      fail(QStringLiteral("campo '%1': valor '%2' inválido para o tipo %3")
               .arg(f.name, text.left(40).toString(), xmlFieldType(f)));
    };
    try {
      switch (f.fieldType) {
        case FieldType::Text:
        case FieldType::WideText:
          builder.setText(field, text);
          return;
        case FieldType::Blob:
          if (textBlob_[static_cast<std::size_t>(field)]) {
            builder.setText(field, text);
          } else {
            const auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded) bad();
            builder.setRaw(field, decoded.decoded.constData(), decoded.decoded.size());
          }
          return;
        case FieldType::Boolean: {
          const bool t = text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1");
          if (!t && text.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) != 0 && text != QLatin1String("0")) bad();
          builder.setVariant(field, Variant(t));
          return;
        }
        case FieldType::Number:
        case FieldType::Bcd: {
          bool ok = false;
          const double v = text.toDouble(&ok);
          if (!ok) bad();
          builder.setVariant(field, Variant(v));
          return;
        }
        case FieldType::Date: {
          const qint64 day = parseDate(text);
          if (day < 0 || text.size() != 8) bad();
          builder.setVariant(field, Variant::dateTime(static_cast<double>(day - kDayOfEpoch)));
          return;
        }
        case FieldType::Time: {
          const qint64 ms = parseTime(text);
          if (ms < 0) bad();
          builder.setVariant(field, Variant::dateTime(static_cast<double>(ms) / kMsPerDay));
          return;
        }
        case FieldType::DateTime: {
          const qint64 day = parseDate(text);
          qint64 ms = 0;
          if (day < 0) bad();
          if (text.size() > 8) {
            if (text[8] != u'T') bad();
            ms = parseTime(text.mid(9));
            if (ms < 0) bad();
          } else if (text.size() != 8) {
            bad();
          }
          const double stored = static_cast<double>(day) * kMsPerDay + static_cast<double>(ms);
          QByteArray raw(8, '\0');
          std::memcpy(raw.data(), &stored, 8);
          builder.setRaw(field, raw.constData(), raw.size());
          return;
        }
        default: {
          bool ok = false;
          const qint64 v = text.toLongLong(&ok);
          if (!ok) bad();
          builder.setVariant(field, Variant(v));
          return;
        }
      }
    } catch (const Error& e) {
      if (e.message().startsWith(QStringLiteral("O arquivo"))) throw;
      fail(e.message().chopped(1));
    }
  }

  QXmlStreamReader xml_;
  const QString& source_;
  DataPacket packet_;
  std::vector<QString> xmlNames_;
  std::vector<bool> textBlob_;
  std::vector<std::pair<int, QString>> realNames_;
};

bool isXmlName(const QString& name) {
  if (name.isEmpty()) return false;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const QChar c = name[i];
    const bool ok = c.isLetter() || c == u'_' || (i > 0 && (c.isDigit() || c == u'.' || c == u'-'));
    if (!ok) return false;
  }
  return !name.startsWith(QLatin1String("xml"), Qt::CaseInsensitive);
}

QString xmlSafeName(const QString& name) {
  QString out;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const QChar c = name[i];
    out += (c.isLetter() || c == u'_' || (i > 0 && (c.isDigit() || c == u'.' || c == u'-'))) ? c : QChar(u'_');
  }
  if (out.isEmpty() || out.startsWith(QLatin1String("xml"), Qt::CaseInsensitive)) out.prepend(u'_');
  return out;
}

QString valueText(const PacketField& f, const ValueSpan& s, bool textBlob) {
  const Variant v = DataPacket::decode(f, s);
  switch (f.fieldType) {
    case FieldType::Text:
    case FieldType::WideText: return v.toText();
    case FieldType::Blob:
      return textBlob ? fromWindows1252(s.data, s.size) : QString::fromLatin1(QByteArray(s.data, s.size).toBase64());
    case FieldType::Boolean: return v.toFlag() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case FieldType::Number:
    case FieldType::Bcd: return QString::number(v.toNumber(), 'g', QLocale::FloatingPointShortest);
    case FieldType::Date: {
      qint32 day;
      std::memcpy(&day, s.data, 4);
      return dateText(day);
    }
    case FieldType::Time: {
      qint32 ms;
      std::memcpy(&ms, s.data, 4);
      return timeText(ms);
    }
    case FieldType::DateTime: {
      double stored;
      std::memcpy(&stored, s.data, 8);
      const double day = std::floor(stored / kMsPerDay);
      const qint64 ms = static_cast<qint64>(std::llround(stored - day * kMsPerDay));
      const QString date = dateText(static_cast<qint64>(day));
      return ms == 0 ? date : date + QLatin1Char('T') + timeText(ms);
    }
    default: return QString::number(v.toInteger());
  }
}

// XML 1.0 has no way to write most control characters, even as references; refuse
// rather than drop them.
void checkXmlText(const QString& text, const PacketField& f, int record) {
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if ((u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) || u == 0xFFFE || u == 0xFFFF)
      throw Error(QStringLiteral("Registro %1, campo '%2': o caractere de controle 0x%3 não pode ser escrito em XML.")
                      .arg(record + 1)
                      .arg(f.name)
                      .arg(int(u), 2, 16, QLatin1Char('0')));
  }
}

}  // namespace

QString xmlFieldType(const PacketField& f) {
  switch (f.fieldType) {
    case FieldType::Text: return QStringLiteral("string");
    case FieldType::WideText: return QStringLiteral("string.uni");
    case FieldType::Blob: return QStringLiteral("bin.hex");
    default: break;
  }
  for (const XmlType& t : kXmlTypes)
    if (t.code == f.code() && t.size == f.size) return QLatin1String(t.name);
  if (f.fieldType == FieldType::Bcd) return QStringLiteral("fixed");
  return QStringLiteral("bin.hex");
}

DataPacket readXmlPacket(const QByteArray& xml, const QString& source) {
  return XmlReader(xml, source).read();
}

QByteArray writeXmlPacket(const DataPacket& packet) {
  QByteArray out("<?xml version=\"1.0\" standalone=\"yes\"?>  ");
  out.reserve(static_cast<qsizetype>(packet.arena.size() * 2));
  QBuffer buffer(&out);
  buffer.open(QIODevice::WriteOnly | QIODevice::Append);
  QXmlStreamWriter xml(&buffer);
  xml.writeStartElement(QStringLiteral("DATAPACKET"));
  xml.writeAttribute(QStringLiteral("Version"), QStringLiteral("2.0"));
  xml.writeStartElement(QStringLiteral("METADATA"));
  xml.writeStartElement(QStringLiteral("FIELDS"));
  std::vector<QString> names;
  std::vector<bool> textBlob;
  for (const PacketField& f : packet.fields) {
    const bool safe = isXmlName(f.name);
    names.push_back(safe ? f.name : xmlSafeName(f.name));
    textBlob.push_back(isTextBlob(f));
    xml.writeEmptyElement(QStringLiteral("FIELD"));
    xml.writeAttribute(QStringLiteral("attrname"), names.back());
    if (!safe) xml.writeAttribute(QStringLiteral("fieldname"), f.name);
    xml.writeAttribute(QStringLiteral("fieldtype"), xmlFieldType(f));
    if (f.attributes & 1) xml.writeAttribute(QStringLiteral("hidden"), QStringLiteral("true"));
    if (f.attributes & 2) xml.writeAttribute(QStringLiteral("readonly"), QStringLiteral("true"));
    if (f.attributes & 4) xml.writeAttribute(QStringLiteral("required"), QStringLiteral("true"));
    if (f.attributes & 8) xml.writeAttribute(QStringLiteral("linkfield"), QStringLiteral("true"));
    for (const PacketProperty& p : f.properties)
      xml.writeAttribute(fromWindows1252(p.name), propertyText(p));
  }
  xml.writeEndElement();  // FIELDS
  xml.writeEmptyElement(QStringLiteral("PARAMS"));
  for (const PacketProperty& p : packet.properties)
    if (p.name != "CHANGE_LOG") xml.writeAttribute(fromWindows1252(p.name), propertyText(p));
  xml.writeEndElement();  // METADATA
  xml.writeStartElement(QStringLiteral("ROWDATA"));
  const int n = static_cast<int>(packet.fields.size());
  for (int r = 0; r < static_cast<int>(packet.records.size()); ++r) {
    xml.writeEmptyElement(QStringLiteral("ROW"));
    for (int i = 0; i < n; ++i) {
      const ValueSpan s = packet.span(r, i);
      if (s.null) continue;
      const PacketField& f = packet.fields[static_cast<std::size_t>(i)];
      const QString text = valueText(f, s, textBlob[static_cast<std::size_t>(i)]);
      checkXmlText(text, f, r);
      xml.writeAttribute(names[static_cast<std::size_t>(i)], text);
    }
  }
  xml.writeEndElement();  // ROWDATA
  xml.writeEndElement();  // DATAPACKET
  return out;
}

}  // namespace fw
