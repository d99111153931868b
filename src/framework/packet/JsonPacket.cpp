// JSON packets written by hand, so that keys keep a readable order and each row sits on one
// line. The reader is in JsonPacketReader.cpp.
#include "framework/packet/JsonPacket.h"

#include <QLocale>
#include <cmath>
#include <limits>
#include <optional>
#include <set>

#include "framework/core/Error.h"
#include "framework/packet/CodePage1252.h"
#include "framework/packet/JsonPacketPrivate.h"
#include "framework/packet/PacketBytes.h"

namespace fw {

using namespace jsonpacket;

namespace {

void appendString(QByteArray& out, const QString& text) {
  out.append('"');
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    switch (u) {
      case u'"':
        out.append("\\\"");
        break;
      case u'\\':
        out.append("\\\\");
        break;
      case u'\n':
        out.append("\\n");
        break;
      case u'\r':
        out.append("\\r");
        break;
      case u'\t':
        out.append("\\t");
        break;
      default:
        if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
          out.append(QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0')).toLatin1());
        } else {
          out.append(QString(c).toUtf8());
        }
    }
  }
  out.append('"');
}

// JSON has no infinity or NaN; writing null for them would lose the value.
void appendNumber(QByteArray& out, double v) {
  if (!std::isfinite(v))
    throw Error(QStringLiteral("o número %1 não pode ser escrito em JSON").arg(v));
  out.append(QByteArray::number(v, 'g', QLocale::FloatingPointShortest));
}

void appendValue(QByteArray& out, const PacketField& f, const ValueSpan& s) {
  if (s.null) {
    out.append("null");
    return;
  }
  // Unsigned 64-bit values above the signed range have no exact Variant; write the bytes.
  if (f.fieldType == FieldType::UInt64) {
    quint64 u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(s.data[i]);
    out.append(QByteArray::number(u));
    return;
  }
  if (f.fieldType == FieldType::Text) {
    // The reader refuses the controls that stand for the code page's undefined bytes.
    if (const qsizetype at = findUndefinedByte(s.data, s.size); at >= 0)
      throw Error(QStringLiteral("o byte 0x%1 (posição %2 do texto) não é um caractere da página "
                                 "de código da tabela (Windows-1252)")
                      .arg(static_cast<unsigned char>(s.data[at]), 2, 16)
                      .arg(at + 1));
  }
  const Variant v = DataPacket::decode(f, s);
  switch (f.fieldType) {
    case FieldType::Text:
    case FieldType::WideText:
      appendString(out, v.toText());
      return;
    case FieldType::Blob:
      out.append('"').append(v.toPacket().toBase64()).append('"');
      return;
    case FieldType::Boolean:
      out.append(v.toFlag() ? "true" : "false");
      return;
    case FieldType::Bcd:
      out.append(packetbytes::bcdText(f, s.data, s.size));
      return;
    case FieldType::Number:
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime:
      appendNumber(out, v.toNumber());
      return;
    default:
      out.append(QByteArray::number(v.toInteger()));
  }
}

// The descriptor size the reader takes for a field of this JSON type and width.
int defaultSize(const PacketField& f, const QString& type) {
  for (const JsonType& t : kJsonTypes)
    if (type == QLatin1String(t.name)) {
      if (type == QLatin1String("string") && f.width() > 255) return 2;
      if (type == QLatin1String("wstring") && f.width() * 2 > 255) return 2;
      return t.size;
    }
  return -1;
}

void appendProperty(QByteArray& out, const PacketProperty& p) {
  out.append("{\"name\":");
  appendString(out, fromWindows1252(p.name));
  out.append(",\"value\":");
  if (p.isArray()) {
    out.append('[');
    bool first = true;
    for (qint64 v : p.integers()) {
      if (!first) out.append(',');
      first = false;
      out.append(QByteArray::number(v));
    }
    out.append(']');
  } else if (p.isVarying()) {
    appendString(out, p.text());
  } else {
    out.append(QByteArray::number(p.integer()));
  }
  out.append('}');
}

}  // namespace

QString jsonFieldType(const PacketField& f) {
  for (const JsonType& t : kJsonTypes) {
    const bool varying = t.type & packettype::Varying;
    if ((t.type & packettype::CodeMask) != f.code() || varying != f.varying()) continue;
    if (varying || t.size == f.size || f.fieldType == FieldType::Bcd) return QLatin1String(t.name);
  }
  return QStringLiteral("blob");
}

QByteArray writeJsonPacket(const DataPacket& packet) {
  QByteArray out("{\"fields\":[");
  for (std::size_t i = 0; i < packet.fields.size(); ++i) {
    const PacketField& f = packet.fields[i];
    out.append(i ? ",\n  " : "\n  ");
    out.append("{\"name\":");
    appendString(out, f.name);
    out.append(",\"type\":");
    const QString type = jsonFieldType(f);
    appendString(out, type);
    out.append(",\"width\":").append(QByteArray::number(f.width()));
    if (defaultSize(f, type) != f.size) out.append(",\"size\":").append(QByteArray::number(f.size));
    out.append(",\"subtype\":");
    if (f.subtype().isEmpty()) {
      out.append("null");
    } else {
      appendString(out, f.subtype());
    }
    out.append(",\"attributes\":").append(QByteArray::number(f.attributes)).append('}');
  }
  out.append("],\n\"params\":[");
  bool first = true;
  for (const PacketProperty& p : packet.properties) {
    if (p.name == "CHANGE_LOG") continue;
    out.append(first ? "" : ",");
    first = false;
    appendProperty(out, p);
  }
  out.append("],\n\"rows\":[");
  const int n = static_cast<int>(packet.fields.size());
  for (int r = 0; r < packet.recordCount(); ++r) {
    out.append(r ? ",\n  [" : "\n  [");
    for (int i = 0; i < n; ++i) {
      if (i) out.append(',');
      const PacketField& f = packet.fields[static_cast<std::size_t>(i)];
      try {
        appendValue(out, f, packet.span(r, i));
      } catch (const Error& e) {
        QString why = e.message();
        if (why.endsWith(u'.')) why.chop(1);
        if (why.startsWith(QLatin1String("Campo '"))) why = why.mid(why.indexOf(u':') + 2);
        throw Error(QStringLiteral("Registro %1, campo '%2': %3.").arg(r + 1).arg(f.name, why));
      }
    }
    out.append(']');
  }
  out.append("]}\n");
  return out;
}

}  // namespace fw
