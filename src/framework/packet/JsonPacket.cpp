// JSON packets. Written by hand so that keys keep a readable order and each row sits on
// one line; read with QJsonDocument.
#include "framework/packet/JsonPacket.h"

#include "framework/core/Error.h"
#include "framework/packet/CodePage1252.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace fw {

namespace {

struct JsonType {
  const char* name;
  quint16 type;
  quint16 size;
};

constexpr JsonType kJsonTypes[] = {
    {"string", packettype::Varying | packettype::Text, 1},
    {"wstring", packettype::Varying | packettype::WideText, 1},
    {"i1", packettype::Integer, 1}, {"i2", packettype::Integer, 2},
    {"i4", packettype::Integer, 4}, {"i8", packettype::Integer, 8},
    {"u1", packettype::Unsigned, 1}, {"u2", packettype::Unsigned, 2},
    {"u4", packettype::Unsigned, 4}, {"u8", packettype::Unsigned, 8},
    {"boolean", packettype::Boolean, 2}, {"r8", packettype::Float, 8},
    {"bcd", packettype::Bcd, 34}, {"date", packettype::Date, 4},
    {"time", packettype::Time, 4}, {"dateTime", packettype::Timestamp, 8},
    {"blob", packettype::Varying | packettype::Bytes, 4},
};

void appendString(QByteArray& out, const QString& text) {
  out.append('"');
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    switch (u) {
      case u'"': out.append("\\\""); break;
      case u'\\': out.append("\\\\"); break;
      case u'\n': out.append("\\n"); break;
      case u'\r': out.append("\\r"); break;
      case u'\t': out.append("\\t"); break;
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

void appendNumber(QByteArray& out, double v) {
  if (!std::isfinite(v)) {
    out.append("null");
    return;
  }
  out.append(QByteArray::number(v, 'g', QLocale::FloatingPointShortest));
}

void appendValue(QByteArray& out, const PacketField& f, const Variant& v) {
  if (v.isNull()) {
    out.append("null");
    return;
  }
  switch (f.fieldType) {
    case FieldType::Text:
    case FieldType::WideText: appendString(out, v.toText()); return;
    case FieldType::Blob: out.append('"').append(v.toPacket().toBase64()).append('"'); return;
    case FieldType::Boolean: out.append(v.toFlag() ? "true" : "false"); return;
    case FieldType::Number:
    case FieldType::Bcd:
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime: appendNumber(out, v.toNumber()); return;
    default:
      if (v.kind() == Variant::Kind::Integer) {
        out.append(QByteArray::number(v.toInteger()));
      } else {
        appendNumber(out, v.toNumber());
      }
  }
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

class JsonReader {
 public:
  JsonReader(const QByteArray& json, const QString& source) : json_(json), source_(source) {}

  DataPacket read() {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json_, &error);
    if (error.error != QJsonParseError::NoError)
      fail(QStringLiteral("%1 (deslocamento %2)").arg(error.errorString()).arg(error.offset));
    if (!doc.isObject()) fail(QStringLiteral("esperado um objeto com \"fields\" e \"rows\""));
    const QJsonObject root = doc.object();
    if (!root.value(QLatin1String("fields")).isArray()) fail(QStringLiteral("falta a lista \"fields\""));
    for (const QJsonValue& v : root.value(QLatin1String("fields")).toArray()) readField(v);
    try {
      packet_.prepare();
    } catch (const Error& e) {
      fail(e.message().chopped(1));
    }
    if (root.contains(QLatin1String("params"))) {
      for (const QJsonValue& v : root.value(QLatin1String("params")).toArray()) readParam(v);
    } else {
      packet_.properties.push_back(PacketProperty::makeInteger("LCID", packettype::Integer, 4, 1046));
    }
    const QJsonArray rows = root.value(QLatin1String("rows")).toArray();
    RecordBuilder builder(packet_);
    for (qsizetype r = 0; r < rows.size(); ++r) {
      if (!rows[r].isArray()) fail(QStringLiteral("a linha %1 não é uma lista").arg(r + 1));
      const QJsonArray row = rows[r].toArray();
      if (row.size() != static_cast<qsizetype>(packet_.fields.size()))
        fail(QStringLiteral("a linha %1 tem %2 valores; são %3 campos").arg(r + 1).arg(row.size()).arg(packet_.fields.size()));
      builder.reset();
      for (int i = 0; i < static_cast<int>(row.size()); ++i) setValue(builder, static_cast<int>(r), i, row[i]);
      packet_.records.push_back(packet_.store(builder.finish()));
    }
    return std::move(packet_);
  }

 private:
  [[noreturn]] void fail(const QString& what) const {
    throw Error(QStringLiteral("O arquivo '%1' não é uma tabela JSON válida: %2.").arg(source_, what));
  }

  void readField(const QJsonValue& value) {
    const QJsonObject o = value.toObject();
    PacketField f;
    f.name = o.value(QLatin1String("name")).toString();
    if (f.name.isEmpty()) fail(QStringLiteral("campo %1 sem nome").arg(packet_.fields.size() + 1));
    f.rawName = toWindows1252(f.name);
    const QString type = o.value(QLatin1String("type")).toString();
    const int width = o.value(QLatin1String("width")).toInt();
    bool known = false;
    for (const JsonType& t : kJsonTypes)
      if (type == QLatin1String(t.name)) {
        f.type = t.type;
        f.size = t.size;
        known = true;
      }
    if (!known) fail(QStringLiteral("campo '%1' com tipo '%2' desconhecido").arg(f.name, type));
    if (type == QLatin1String("string") && width > 255) f.size = 2;
    if (type == QLatin1String("wstring") && width * 2 > 255) f.size = 2;
    f.attributes = static_cast<quint16>(o.value(QLatin1String("attributes")).toInt());
    const QString subtype = o.value(QLatin1String("subtype")).toString();
    if (!subtype.isEmpty()) f.properties.push_back(PacketProperty::makeText("SUBTYPE", subtype));
    if (width < 0 || width > 0xFFFF) fail(QStringLiteral("campo '%1' com largura %2 inválida").arg(f.name).arg(width));
    if (width > 0) f.properties.push_back(PacketProperty::makeInteger("WIDTH", packettype::Unsigned, 2, width));
    packet_.fields.push_back(std::move(f));
  }

  void readParam(const QJsonValue& value) {
    const QJsonObject o = value.toObject();
    const QByteArray name = toWindows1252(o.value(QLatin1String("name")).toString());
    if (name.isEmpty()) fail(QStringLiteral("parâmetro sem nome"));
    const QJsonValue v = o.value(QLatin1String("value"));
    if (v.isArray()) {
      std::vector<qint64> values;
      for (const QJsonValue& e : v.toArray()) values.push_back(e.toInteger());
      packet_.properties.push_back(PacketProperty::makeArray(name, packettype::Unsigned, 2, values));
    } else if (v.isString()) {
      packet_.properties.push_back(PacketProperty::makeText(name, v.toString()));
    } else {
      packet_.properties.push_back(PacketProperty::makeInteger(name, packettype::Integer, 4, v.toInteger()));
    }
  }

  void setValue(RecordBuilder& builder, int row, int field, const QJsonValue& v) {
    const PacketField& f = packet_.fields[static_cast<std::size_t>(field)];
    const auto bad = [&]() {
      fail(QStringLiteral("linha %1, campo '%2': valor inválido para o tipo %3").arg(row + 1).arg(f.name, jsonFieldType(f)));
    };
    if (v.isNull()) return;
    try {
      switch (f.fieldType) {
        case FieldType::Text:
        case FieldType::WideText:
          if (!v.isString()) bad();
          builder.setText(field, v.toString());
          return;
        case FieldType::Blob: {
          if (!v.isString()) bad();
          const auto decoded = QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
          if (!decoded) bad();
          builder.setRaw(field, decoded.decoded.constData(), decoded.decoded.size());
          return;
        }
        case FieldType::Boolean:
          if (!v.isBool()) bad();
          builder.setVariant(field, Variant(v.toBool()));
          return;
        case FieldType::Number:
        case FieldType::Bcd:
          if (!v.isDouble()) bad();
          builder.setVariant(field, Variant(v.toDouble()));
          return;
        case FieldType::Date:
        case FieldType::Time:
        case FieldType::DateTime:
          if (!v.isDouble()) bad();
          builder.setVariant(field, Variant::dateTime(v.toDouble()));
          return;
        default: {
          if (!v.isDouble()) bad();
          const double d = v.toDouble();
          if (d != std::floor(d)) bad();
          builder.setVariant(field, Variant(v.toInteger(static_cast<qint64>(d))));
          return;
        }
      }
    } catch (const Error& e) {
      if (e.message().startsWith(QStringLiteral("O arquivo"))) throw;
      fail(QStringLiteral("linha %1: %2").arg(row + 1).arg(e.message().chopped(1)));
    }
  }

  const QByteArray& json_;
  const QString& source_;
  DataPacket packet_;
};

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
    appendString(out, jsonFieldType(f));
    out.append(",\"width\":").append(QByteArray::number(f.width()));
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
  for (int r = 0; r < static_cast<int>(packet.records.size()); ++r) {
    out.append(r ? ",\n  [" : "\n  [");
    for (int i = 0; i < n; ++i) {
      if (i) out.append(',');
      appendValue(out, packet.fields[static_cast<std::size_t>(i)], packet.value(r, i));
    }
    out.append(']');
  }
  out.append("]}\n");
  return out;
}

DataPacket readJsonPacket(const QByteArray& json, const QString& source) { return JsonReader(json, source).read(); }

}  // namespace fw
