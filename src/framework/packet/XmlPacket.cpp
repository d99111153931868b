// XML packets written through QXmlStreamWriter. The writer refuses what the reader would
// refuse, so whatever is written reads back to the same values.
#include "framework/packet/XmlPacket.h"

#include <QBuffer>
#include <QDate>
#include <QXmlStreamWriter>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "framework/core/DateTime.h"
#include "framework/core/Error.h"
#include "framework/packet/CodePage1252.h"
#include "framework/packet/PacketBytes.h"
#include "framework/packet/XmlPacketPrivate.h"

namespace fw {

using namespace xmlpacket;

namespace {

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
    out += (c.isLetter() || c == u'_' || (i > 0 && (c.isDigit() || c == u'.' || c == u'-')))
               ? c
               : QChar(u'_');
  }
  if (out.isEmpty() || out.startsWith(QLatin1String("xml"), Qt::CaseInsensitive)) out.prepend(u'_');
  return out;
}

[[noreturn]] void refuse(int record, const PacketField& f, const QString& why) {
  throw Error(QStringLiteral("Registro %1, campo '%2': %3.").arg(record + 1).arg(f.name, why));
}

// The reader refuses the controls that stand for the code page's undefined bytes.
void refuseUndefinedBytes(int record, const PacketField& f, const ValueSpan& s) {
  const qsizetype at = findUndefinedByte(s.data, s.size);
  if (at >= 0)
    refuse(record, f,
           QStringLiteral("o byte 0x%1 (posição %2 do texto) não é um caractere da página de "
                          "código da tabela (Windows-1252)")
               .arg(static_cast<unsigned char>(s.data[at]), 2, 16)
               .arg(at + 1));
}

QString valueText(const PacketField& f, const ValueSpan& s, bool textBlob, int record) {
  switch (f.fieldType) {
    case FieldType::Text:
    case FieldType::WideText: {
      if (f.fieldType == FieldType::Text) refuseUndefinedBytes(record, f, s);
      const QString text = f.fieldType == FieldType::Text ? fromWindows1252(s.data, s.size)
                                                          : DataPacket::decode(f, s).toText();
      const qsizetype limit = textLimit(f);
      if (text.size() > limit)
        refuse(record, f,
               QStringLiteral("texto de %1 caracteres, mais que os %2 do campo")
                   .arg(text.size())
                   .arg(limit));
      return text;
    }
    case FieldType::Blob: {
      if (textBlob) refuseUndefinedBytes(record, f, s);
      const QString text = textBlob ? fromWindows1252(s.data, s.size)
                                    : QString::fromLatin1(QByteArray(s.data, s.size).toBase64());
      if (utf8Size(text) > kMaxValueBytes)
        refuse(record, f, QStringLiteral("valor grande demais para XML (%1 bytes)").arg(s.size));
      return text;
    }
    case FieldType::Boolean:
      return DataPacket::decode(f, s).toFlag() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case FieldType::Number: {
      double v;
      std::memcpy(&v, s.data, 8);
      if (!std::isfinite(v))
        refuse(record, f, QStringLiteral("o número %1 não tem forma em XML").arg(v));
      return QString::number(v, 'g', QLocale::FloatingPointShortest);
    }
    case FieldType::Bcd:
      return QString::fromLatin1(packetbytes::bcdText(f, s.data, s.size));
    case FieldType::Date: {
      qint32 day;
      std::memcpy(&day, s.data, 4);
      if (day < 1 || day > kLastDay)
        refuse(record, f, QStringLiteral("data fora do intervalo de 01/01/0001 a 31/12/9999"));
      return dateText(day);
    }
    case FieldType::Time: {
      qint32 ms;
      std::memcpy(&ms, s.data, 4);
      if (ms < 0 || ms >= static_cast<qint32>(kMsPerDay))
        refuse(record, f, QStringLiteral("hora fora do intervalo"));
      return timeText(ms);
    }
    case FieldType::DateTime: {
      double stored;
      std::memcpy(&stored, s.data, 8);
      stored = std::round(stored);  // to the millisecond, as every reader takes it
      const double day = std::isfinite(stored) ? std::floor(stored / kMsPerDay) : 0.0;
      if (day < 1 || day > static_cast<double>(kLastDay))
        refuse(record, f,
               QStringLiteral("data e hora fora do intervalo de 01/01/0001 a 31/12/9999"));
      const double ms = stored - day * kMsPerDay;
      const QString date = dateText(static_cast<qint64>(day));
      return ms == 0 ? date : date + QLatin1Char('T') + timeText(static_cast<qint64>(ms));
    }
    default: {
      // Read as stored: an unsigned 64-bit value may not fit a signed one.
      quint64 raw = 0;
      const auto* b = reinterpret_cast<const unsigned char*>(s.data);
      for (qsizetype i = 0; i < s.size && i < 8; ++i) raw |= quint64(b[i]) << (8 * i);
      if (f.code() == packettype::Unsigned) return QString::number(raw);
      const int bits = static_cast<int>(s.size) * 8;
      if (bits < 64 && (raw >> (bits - 1)) & 1) raw |= ~quint64(0) << bits;  // sign-extend
      return QString::number(static_cast<qint64>(raw));
    }
  }
}

// XML 1.0 has no way to write most control characters, even as references; refuse
// rather than drop them.
void checkXmlText(const QString& text, const PacketField& f, int record) {
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (xmlForbidden(u))
      throw Error(
          QStringLiteral(
              "Registro %1, campo '%2': o caractere de controle 0x%3 não pode ser escrito em XML.")
              .arg(record + 1)
              .arg(f.name)
              .arg(int(u), 2, 16, QLatin1Char('0')));
  }
}

// A property as an XML attribute, or an error when the reader would not give it back.
QString writableProperty(const PacketProperty& p, const QString& owner) {
  const QString name = fromWindows1252(p.name);
  QString why =
      isXmlName(name) ? unwritableProperty(p) : QStringLiteral("tem um nome que XML não aceita");
  if (why.isEmpty() && p.isVarying()) {
    for (const QChar c : p.text())
      if (xmlForbidden(c.unicode())) why = QStringLiteral("tem um caractere de controle");
  }
  if (!why.isEmpty())
    throw Error(QStringLiteral("%1: a propriedade '%2' %3.").arg(owner, name, why));
  return propertyText(p);
}

}  // namespace

QString xmlFieldType(const PacketField& f) {
  switch (f.fieldType) {
    case FieldType::Text:
      return QStringLiteral("string");
    case FieldType::WideText:
      return QStringLiteral("string.uni");
    case FieldType::Blob:
      return QStringLiteral("bin.hex");
    default:
      break;
  }
  for (const XmlType& t : kXmlTypes)
    if (t.code == f.code() && t.size == f.size) return QLatin1String(t.name);
  if (f.fieldType == FieldType::Bcd) return QStringLiteral("fixed");
  return QStringLiteral("bin.hex");
}

QByteArray writeXmlPacket(const DataPacket& packet) {
  QByteArray out("<?xml version=\"1.0\" standalone=\"yes\"?>  ");
  out.reserve(static_cast<qsizetype>(packet.arenaSize() * 2));
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
    const QString owner = QStringLiteral("Campo '%1'").arg(f.name);
    for (const QChar c : f.name)
      if (xmlForbidden(c.unicode()))
        throw Error(QStringLiteral("%1: o nome tem um caractere de controle.").arg(owner));
    // Two fields must not end up under one XML name: the real name goes in "fieldname".
    QString name = isXmlName(f.name) ? f.name : xmlSafeName(f.name);
    for (int n = 2; std::find(names.begin(), names.end(), name) != names.end(); ++n)
      name = xmlSafeName(f.name) + QLatin1Char('_') + QString::number(n);
    const bool renamed = name != f.name;
    names.push_back(name);
    textBlob.push_back(isTextBlob(f));
    xml.writeEmptyElement(QStringLiteral("FIELD"));
    xml.writeAttribute(QStringLiteral("attrname"), names.back());
    if (renamed) xml.writeAttribute(QStringLiteral("fieldname"), f.name);
    xml.writeAttribute(QStringLiteral("fieldtype"), xmlFieldType(f));
    if (f.attributes & fieldattr::kHidden)
      xml.writeAttribute(QStringLiteral("hidden"), QStringLiteral("true"));
    if (f.attributes & fieldattr::kReadOnly)
      xml.writeAttribute(QStringLiteral("readonly"), QStringLiteral("true"));
    if (f.attributes & fieldattr::kRequired)
      xml.writeAttribute(QStringLiteral("required"), QStringLiteral("true"));
    if (f.attributes & fieldattr::kLink)
      xml.writeAttribute(QStringLiteral("linkfield"), QStringLiteral("true"));
    if (f.attributes & ~fieldattr::kNamed)
      xml.writeAttribute(QLatin1String(kOtherAttributes),
                         QString::number(f.attributes & ~fieldattr::kNamed));
    for (const PacketProperty& p : f.properties) {
      for (const char* own : kFieldAttributes)
        if (p.name == own)
          throw Error(QStringLiteral("%1: a propriedade '%2' tem o nome de um atributo do campo.")
                          .arg(owner, QLatin1String(own)));
      xml.writeAttribute(fromWindows1252(p.name), writableProperty(p, owner));
    }
  }
  xml.writeEndElement();  // FIELDS
  xml.writeEmptyElement(QStringLiteral("PARAMS"));
  for (const PacketProperty& p : packet.properties)
    if (p.name != "CHANGE_LOG")
      xml.writeAttribute(fromWindows1252(p.name), writableProperty(p, QStringLiteral("Pacote")));
  xml.writeEndElement();  // METADATA
  xml.writeStartElement(QStringLiteral("ROWDATA"));
  const int n = static_cast<int>(packet.fields.size());
  for (int r = 0; r < packet.recordCount(); ++r) {
    xml.writeEmptyElement(QStringLiteral("ROW"));
    for (int i = 0; i < n; ++i) {
      const ValueSpan s = packet.span(r, i);
      if (s.null) continue;
      const PacketField& f = packet.fields[static_cast<std::size_t>(i)];
      const QString text = valueText(f, s, textBlob[static_cast<std::size_t>(i)], r);
      checkXmlText(text, f, r);
      xml.writeAttribute(names[static_cast<std::size_t>(i)], text);
    }
  }
  xml.writeEndElement();  // ROWDATA
  xml.writeEndElement();  // DATAPACKET
  return out;
}

}  // namespace fw
