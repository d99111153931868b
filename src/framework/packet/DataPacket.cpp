// The in-memory data packet: field descriptors, their decoding details, and records kept
// encoded. Every record placed in the packet has been measured against its bytes, so the
// value walkers below never read past a record's end.
//
// No host file we have holds decimal (BCD) values, UTF-16 texts, unsigned or 8-byte
// integers; their handling below follows the published layout and is checked by round
// trip only. A UTF-16 text's length prefix is taken to count bytes.
#include "framework/packet/DataPacket.h"

#include <QSet>
#include <cmath>
#include <cstring>
#include <limits>

#include "framework/core/DateTime.h"
#include "framework/core/Error.h"
#include "framework/packet/CodePage1252.h"
#include "framework/packet/PacketBytes.h"

namespace fw {

using namespace packetbytes;

namespace {

QString fieldLabel(const PacketField& f) { return f.name; }

[[noreturn]] void unsupported(const PacketField& f, const QString& why) {
  throw Error(QStringLiteral("Campo '%1': tipo 0x%2 (tamanho %3) %4.")
                  .arg(fieldLabel(f), QString::number(f.type, 16), QString::number(f.size), why));
}

}  // namespace

// --- properties --------------------------------------------------------------------------

qint64 PacketProperty::integer() const {
  const int n = static_cast<int>(std::min<qsizetype>(value.size(), 8));
  return n > 0 ? readLE(value.constData(), n, (type & packettype::CodeMask) == packettype::Integer)
               : 0;
}

std::vector<qint64> PacketProperty::integers() const {
  std::vector<qint64> out;
  if (size == 0 || size > 8) return out;
  const bool isSigned = (type & packettype::CodeMask) == packettype::Integer;
  for (qsizetype at = 0; at + size <= value.size(); at += size)
    out.push_back(readLE(value.constData() + at, size, isSigned));
  return out;
}

QString PacketProperty::text() const {
  QByteArray v = value;
  if (v.endsWith('\0')) v.chop(1);
  return fromWindows1252(v);
}

PacketProperty PacketProperty::makeInteger(const QByteArray& name, int code, int size,
                                           qint64 value) {
  PacketProperty p;
  p.name = name;
  p.size = static_cast<quint16>(size);
  p.type = static_cast<quint16>(code);
  appendLE(p.value, static_cast<quint64>(value), size);
  return p;
}

PacketProperty PacketProperty::makeText(const QByteArray& name, const QString& text) {
  PacketProperty p;
  p.name = name;
  p.size = 2;
  p.type = packettype::Varying | packettype::Text;
  p.value = toWindows1252(
      requireEncodable(text, QStringLiteral("Propriedade '%1'").arg(fromWindows1252(name))));
  p.value.append('\0');
  return p;
}

PacketProperty PacketProperty::makeArray(const QByteArray& name, int code, int size,
                                         const std::vector<qint64>& values) {
  PacketProperty p;
  p.name = name;
  p.size = static_cast<quint16>(size);
  p.type = static_cast<quint16>(packettype::Array | code);
  p.count = static_cast<quint32>(values.size());
  for (qint64 v : values) appendLE(p.value, static_cast<quint64>(v), size);
  return p;
}

// --- fields ------------------------------------------------------------------------------

const PacketProperty* PacketField::property(const char* propName) const {
  for (const PacketProperty& p : properties)
    if (p.name == propName) return &p;
  return nullptr;
}

int PacketField::width() const {
  const PacketProperty* p = property("WIDTH");
  if (!p || p->isArray() || p->isVarying()) return 0;
  // A width no text could reach is no limit at all.
  const qint64 w = p->integer();
  return w > 0 && w <= (1 << 30) ? static_cast<int>(w) : 0;
}

QString PacketField::subtype() const {
  const PacketProperty* p = property("SUBTYPE");
  return p && p->isVarying() ? p->text() : QString();
}

PacketField PacketField::fromDef(const FieldDef& def) {
  PacketField f;
  f.name = def.name;
  f.rawName = toWindows1252(def.name);
  f.attributes = static_cast<quint16>(def.attributes);
  QString subtype = def.subtype;
  int width = 0;
  const int textWidth = def.width > 0 ? def.width : 20;
  switch (def.type) {
    case FieldType::Text:
      f.type = packettype::Varying | packettype::Text;
      f.size = textWidth > 255 ? 2 : 1;
      width = textWidth;
      break;
    case FieldType::WideText:
      f.type = packettype::Varying | packettype::WideText;
      f.size = textWidth * 2 > 255 ? 2 : 1;
      width = textWidth;
      break;
    case FieldType::Int8:
      f.type = packettype::Integer;
      f.size = 1;
      break;
    case FieldType::Int16:
      f.type = packettype::Integer;
      f.size = 2;
      break;
    case FieldType::Int32:
      f.type = packettype::Integer;
      f.size = 4;
      break;
    case FieldType::Int64:
      f.type = packettype::Integer;
      f.size = 8;
      break;
    case FieldType::UInt8:
      f.type = packettype::Unsigned;
      f.size = 1;
      break;
    case FieldType::UInt16:
      f.type = packettype::Unsigned;
      f.size = 2;
      break;
    case FieldType::UInt32:
      f.type = packettype::Unsigned;
      f.size = 4;
      break;
    case FieldType::UInt64:
      f.type = packettype::Unsigned;
      f.size = 8;
      break;
    case FieldType::Boolean:
      f.type = packettype::Boolean;
      f.size = 2;
      break;
    case FieldType::Number:
      f.type = packettype::Float;
      f.size = 8;
      if (def.currency && subtype.isEmpty()) subtype = QStringLiteral("Money");
      break;
    case FieldType::Bcd:
      f.type = packettype::Bcd;
      f.size = 34;
      width = def.width > 0 ? def.width : 0;
      break;
    case FieldType::Date:
      f.type = packettype::Date;
      f.size = 4;
      break;
    case FieldType::Time:
      f.type = packettype::Time;
      f.size = 4;
      break;
    case FieldType::DateTime:
      f.type = packettype::Timestamp;
      f.size = 8;
      break;
    case FieldType::Blob:
      f.type = packettype::Varying | packettype::Bytes;
      f.size = 4;
      width = def.width > 0 ? def.width : 0;
      break;
  }
  if (!subtype.isEmpty()) f.properties.push_back(PacketProperty::makeText("SUBTYPE", subtype));
  if (width > 0)
    f.properties.push_back(PacketProperty::makeInteger("WIDTH", packettype::Unsigned, 2, width));
  return f;
}

FieldDef PacketField::toDef() const {
  FieldDef def;
  def.name = name;
  def.type = fieldType;
  def.width = width();
  def.subtype = subtype();
  def.attributes = attributes;
  def.currency = def.subtype == QLatin1String("Money");
  return def;
}

// --- packet ------------------------------------------------------------------------------

DataPacket DataPacket::create(const std::vector<FieldDef>& defs) {
  DataPacket p;
  for (const FieldDef& def : defs) p.fields.push_back(PacketField::fromDef(def));
  // Locale of the writer: Portuguese (Brazil).
  p.properties.push_back(PacketProperty::makeInteger("LCID", packettype::Integer, 4, 1046));
  p.prepare();
  return p;
}

void DataPacket::prepare() {
  // Fields are found by name without regard to case, here and in the host: one name must
  // not stand for two fields.
  QSet<QString> names;
  names.reserve(static_cast<qsizetype>(fields.size()));
  for (const PacketField& f : fields) {
    const QString key = f.name.toCaseFolded();
    if (names.contains(key))
      throw Error(QStringLiteral("Campo '%1': dois campos com este nome (maiúsculas e minúsculas "
                                 "não distinguem campos).")
                      .arg(f.name));
    names.insert(key);
  }
  for (PacketField& f : fields) {
    if (f.type & packettype::Array)
      unsupported(f, QStringLiteral("(lista de valores) não é suportado"));
    f.fixedSize = 0;
    f.prefixSize = 0;
    f.maxBytes = 0;
    const int code = f.code();
    if (f.varying()) {
      if (f.size != 1 && f.size != 2 && f.size != 4)
        unsupported(f, QStringLiteral("com prefixo de comprimento inválido"));
      f.prefixSize = f.size;
      switch (code) {
        case packettype::Text:
          f.fieldType = FieldType::Text;
          f.maxBytes = f.width();
          break;
        case packettype::WideText:
          f.fieldType = FieldType::WideText;
          f.maxBytes = 2 * f.width();
          break;
        case packettype::Bytes:
          f.fieldType = FieldType::Blob;
          break;
        default:
          unsupported(f, QStringLiteral("de comprimento variável não é suportado"));
      }
      continue;
    }
    const bool intSize = f.size == 1 || f.size == 2 || f.size == 4 || f.size == 8;
    switch (code) {
      case packettype::Integer:
      case packettype::Unsigned: {
        if (!intSize) unsupported(f, QStringLiteral("com tamanho inválido para inteiro"));
        static const FieldType s[] = {FieldType::Int8, FieldType::Int16, FieldType::Int32,
                                      FieldType::Int64};
        static const FieldType u[] = {FieldType::UInt8, FieldType::UInt16, FieldType::UInt32,
                                      FieldType::UInt64};
        const int i = f.size == 1 ? 0 : f.size == 2 ? 1 : f.size == 4 ? 2 : 3;
        f.fieldType = code == packettype::Integer ? s[i] : u[i];
        break;
      }
      case packettype::Boolean:
        if (!intSize) unsupported(f, QStringLiteral("com tamanho inválido para lógico"));
        f.fieldType = FieldType::Boolean;
        break;
      case packettype::Float:
        if (f.size != 8) unsupported(f, QStringLiteral("com tamanho inválido para número"));
        f.fieldType = FieldType::Number;
        break;
      case packettype::Bcd:
        if (f.size < 3 || f.size > 34)
          unsupported(f, QStringLiteral("com tamanho inválido para decimal"));
        f.fieldType = FieldType::Bcd;
        break;
      case packettype::Date:
      case packettype::Time:
        if (f.size != 4) unsupported(f, QStringLiteral("com tamanho inválido para data ou hora"));
        f.fieldType = code == packettype::Date ? FieldType::Date : FieldType::Time;
        break;
      case packettype::Timestamp:
        if (f.size != 8) unsupported(f, QStringLiteral("com tamanho inválido para data e hora"));
        f.fieldType = FieldType::DateTime;
        break;
      case packettype::Bytes:
        if (f.size == 0) unsupported(f, QStringLiteral("com tamanho zero"));
        f.fieldType = FieldType::Blob;
        break;
      default:
        unsupported(f, QStringLiteral("não é suportado"));
    }
    f.fixedSize = f.size;
  }
}

int DataPacket::fieldIndex(const QString& name) const {
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].name == name) return static_cast<int>(i);
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
  return -1;
}

const PacketProperty* DataPacket::property(const char* propName) const {
  for (const PacketProperty& p : properties)
    if (p.name == propName) return &p;
  return nullptr;
}

qsizetype DataPacket::measure(const char* data, qsizetype available, int* badField) const {
  const int nb = nullBytes();
  if (badField) *badField = -1;
  if (available < 1 + nb) return -1;
  const auto* bits = reinterpret_cast<const unsigned char*>(data + 1);
  qsizetype at = 1 + nb;
  const int n = static_cast<int>(fields.size());
  for (int i = 0; i < n; ++i) {
    if ((bits[i >> 2] >> ((i & 3) * 2)) & 3) continue;
    const PacketField& f = fields[static_cast<std::size_t>(i)];
    qsizetype need = f.fixedSize;
    if (!need) {
      if (available - at < f.prefixSize) {
        if (badField) *badField = i;
        return -1;
      }
      need = static_cast<qsizetype>(readLE(data + at, f.prefixSize, false));
      at += f.prefixSize;
    }
    if (need < 0 || available - at < need) {
      if (badField) *badField = i;
      return -1;
    }
    if (f.maxBytes && need > f.maxBytes) {
      if (badField) *badField = i;
      return -2;
    }
    at += need;
  }
  return at;
}

ValueSpan DataPacket::span(int record, int field) const {
  const Record& r = records_[static_cast<std::size_t>(record)];
  const char* data = arena_.constData() + r.offset;
  const auto* bits = reinterpret_cast<const unsigned char*>(data + 1);
  if ((bits[field >> 2] >> ((field & 3) * 2)) & 3) return {};
  qsizetype at = 1 + nullBytes();
  for (int i = 0;; ++i) {
    if ((bits[i >> 2] >> ((i & 3) * 2)) & 3) continue;
    const PacketField& f = fields[static_cast<std::size_t>(i)];
    qsizetype len = f.fixedSize;
    if (!len) {
      len = static_cast<qsizetype>(readLE(data + at, f.prefixSize, false));
      at += f.prefixSize;
    }
    if (i == field) return {data + at, len, false};
    at += len;
  }
}

Variant DataPacket::decode(const PacketField& f, const ValueSpan& s) {
  if (s.null) return {};
  const char* p = s.data;
  switch (f.fieldType) {
    case FieldType::Text:
      return Variant(fromWindows1252(p, s.size));
    case FieldType::WideText: {
      if (s.size % 2)
        throw Error(
            QStringLiteral("Campo '%1': texto UTF-16 com número ímpar de bytes.").arg(f.name));
      QString text(s.size / 2, Qt::Uninitialized);
      for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(static_cast<char16_t>(readLE(p + 2 * i, 2, false)));
      return Variant(text);
    }
    case FieldType::Int8:
    case FieldType::Int16:
    case FieldType::Int32:
    case FieldType::Int64:
      return Variant(readLE(p, f.size, true));
    case FieldType::UInt8:
    case FieldType::UInt16:
    case FieldType::UInt32:
      return Variant(readLE(p, f.size, false));
    case FieldType::UInt64: {
      const quint64 v = static_cast<quint64>(readLE(p, 8, false));
      if (v > static_cast<quint64>(std::numeric_limits<qint64>::max()))
        return Variant(static_cast<double>(v));
      return Variant(static_cast<qint64>(v));
    }
    case FieldType::Boolean:
      return Variant(readLE(p, f.size, false) != 0);
    case FieldType::Number: {
      double d;
      std::memcpy(&d, p, 8);
      return Variant(d);
    }
    case FieldType::Bcd:
      return Variant(decodeBcd(f, p, s.size));
    // Refused outside the calendar every form can write, so no reader guesses at them.
    case FieldType::Date: {
      const qint64 day = readLE(p, 4, true);
      if (day < kFirstDay || day > kLastDay)
        outOfRange(f, QStringLiteral("data (dia %1)").arg(day));
      return Variant::dateTime(static_cast<double>(day - kDayOfEpoch));
    }
    case FieldType::Time: {
      const qint64 ms = readLE(p, 4, true);
      if (ms < 0 || ms >= static_cast<qint64>(kMsPerDay))
        throw Error(QStringLiteral("Campo '%1': hora fora do dia (%2 ms).").arg(f.name).arg(ms));
      return Variant::dateTime(static_cast<double>(ms) / kMsPerDay);
    }
    case FieldType::DateTime: {
      double stored;
      std::memcpy(&stored, p, 8);
      // Read to the millisecond, as the host does: a fraction of one is float noise.
      const double ms = std::round(stored);
      if (!(ms >= kFirstDay * kMsPerDay && ms < (kLastDay + 1) * kMsPerDay))
        outOfRange(f, QStringLiteral("data e hora (%1 ms)").arg(QString::number(stored, 'g', 17)));
      return Variant::dateTime(ms / kMsPerDay - kDayOfEpoch);
    }
    case FieldType::Blob:
      return Variant::packet(QByteArray(p, s.size));
  }
  return {};
}

QByteArray DataPacket::decimalText(const PacketField& f, const ValueSpan& s) {
  return bcdText(f, s.data, s.size);
}

Variant DataPacket::value(int record, int field) const {
  return decode(fields[static_cast<std::size_t>(field)], span(record, field));
}

QString DataPacket::text(int record, int field) const {
  const PacketField& f = fields[static_cast<std::size_t>(field)];
  const ValueSpan s = span(record, field);
  if (s.null) return {};
  if (f.fieldType == FieldType::Text || f.fieldType == FieldType::Blob)
    return fromWindows1252(s.data, s.size);
  return decode(f, s).toText();
}

DataPacket::Record DataPacket::store(const QByteArray& encoded) {
  if (arena_.size() + encoded.size() > std::numeric_limits<qint32>::max())
    throw Error(QStringLiteral("A tabela excedeu o tamanho máximo em memória."));
  Record r{static_cast<quint32>(arena_.size()), static_cast<quint32>(encoded.size())};
  arena_.append(encoded);
  return r;
}

qsizetype DataPacket::liveBytes() const {
  qsizetype live = 0;
  for (const Record& r : records_) live += r.length;
  return live;
}

void DataPacket::appendRecord(const QByteArray& encoded) {
  if (records_.size() >= static_cast<std::size_t>(std::numeric_limits<qint32>::max()))
    throw Error(QStringLiteral("A tabela excedeu o número máximo de registros."));
  records_.push_back(store(encoded));
}

void DataPacket::insertRecord(int at, const QByteArray& encoded) {
  const Record r = store(encoded);
  records_.insert(records_.begin() + at, r);
}

void DataPacket::replace(int record, const QByteArray& encoded) {
  const Record fresh = store(encoded);
  Record& r = records_[static_cast<std::size_t>(record)];
  deadBytes_ += r.length;
  r = fresh;
}

void DataPacket::remove(int record) {
  deadBytes_ += records_[static_cast<std::size_t>(record)].length;
  records_.erase(records_.begin() + record);
}

void DataPacket::clearRecords() {
  records_.clear();
  arena_.clear();
  deadBytes_ = 0;
}

void DataPacket::adoptRecords(QByteArray arena, std::vector<Record> records) {
  arena_ = std::move(arena);
  records_ = std::move(records);
  deadBytes_ = arena_.size() - liveBytes();
}

void DataPacket::compactIfWasteful() {
  if (deadBytes_ < std::max<qsizetype>(arena_.size() - deadBytes_, 64 * 1024)) return;
  QByteArray fresh;
  fresh.reserve(liveBytes());
  for (Record& r : records_) {
    const quint32 at = static_cast<quint32>(fresh.size());
    fresh.append(arena_.constData() + r.offset, r.length);
    r.offset = at;
  }
  arena_ = std::move(fresh);
  deadBytes_ = 0;
}

}  // namespace fw
