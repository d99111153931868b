// Record store of a LocalTable: the fields (declared or taken from a file), adopting a
// loaded packet after checking it against the declared fields, reading a stored value as
// the field's type shows it and converting a written value to the stored field's kind.
// Talks to DataPacket and RecordBuilder (framework/packet) and the number/date texts
// (framework/text); called by the public API, the view and the edit buffer.
//
// Conversions of a stored text. Reading a text field as a flag goes through textToFlag
// ("S"/"N", "T"/"F", "True"/"False", "1"/"0", as the host writes them) and as an integer
// through textToInteger (decimal digits); any other text fails with the fw::Error of those
// functions, which names the text. An empty or null text reads as false / 0.
//
// Widths. A table that declares a text field and loads a file whose field has another
// width keeps the file's structure (so the file is written back as it was) and reads the
// stored text whole; writes are cut to the narrower of the two widths, so a saved file
// never holds a text wider than its own field says. An empty text is stored as null,
// as the host's tables do.
#include <QTime>
#include <algorithm>
#include <cmath>

#include "framework/core/DateTime.h"
#include "framework/core/Error.h"
#include "framework/data/LocalTablePrivate.h"
#include "framework/packet/CodePage1252.h"
#include "framework/text/NumberText.h"

namespace fw {

namespace {

QString typeName(FieldType t) {
  if (isTextType(t)) return QStringLiteral("texto");
  if (isIntegerType(t)) return QStringLiteral("inteiro");
  switch (t) {
    case FieldType::Boolean:
      return QStringLiteral("lógico");
    case FieldType::Number:
      return QStringLiteral("número");
    case FieldType::Bcd:
      return QStringLiteral("decimal");
    case FieldType::Date:
      return QStringLiteral("data");
    case FieldType::Time:
      return QStringLiteral("hora");
    case FieldType::DateTime:
      return QStringLiteral("data e hora");
    case FieldType::Blob:
      return QStringLiteral("binário");
    default:
      return QStringLiteral("desconhecido");
  }
}

// Whether a file's field can stand for a declared one.
bool compatible(FieldType declared, FieldType stored) {
  if (isTextType(declared)) return isTextType(stored);
  if (isIntegerType(declared)) return isIntegerType(stored);
  if (declared == FieldType::DateTime)
    return stored == FieldType::DateTime || stored == FieldType::Date;
  return declared == stored;
}

QString timeText(double dt, const FormatSettings& fs) {
  return toQDateTime(dt).time().toString(fs.longTimeFormat);
}

// A value read as text, as the field's type shows it.
QString variantText(FieldType type, const Variant& v) {
  if (v.isNull()) return {};
  switch (type) {
    case FieldType::Blob:
      if (v.kind() == Variant::Kind::Packet) return fromWindows1252(v.toPacket());
      return v.toText();
    case FieldType::Date:
      return formatDate(v.toDateTime());
    case FieldType::Time:
      return timeText(v.toDateTime(), FormatSettings::current());
    default:
      return v.toText();
  }
}

}  // namespace

void LocalTablePrivate::setFields(std::vector<FieldDef> defs) {
  fields = std::move(defs);
  byName.clear();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const QString key = fields[i].name.toUpper();
    if (!byName.contains(key)) byName.insert(key, static_cast<int>(i));
  }
}

int LocalTablePrivate::lookup(const QString& fieldName) const {
  const auto it = byName.constFind(fieldName.toUpper());
  return it == byName.constEnd() ? -1 : it.value();
}

int LocalTablePrivate::require(const QString& fieldName) const {
  const int i = lookup(fieldName);
  if (i < 0) throw Error(QStringLiteral("Campo '%1' não encontrado.").arg(fieldName));
  return i;
}

QString LocalTablePrivate::tableLabel() const {
  return name.isEmpty() ? QStringLiteral("a tabela") : QStringLiteral("a tabela '%1'").arg(name);
}

void LocalTablePrivate::requireActive() const {
  if (!active)
    throw Error(QStringLiteral("Operação não permitida: %1 está fechada.").arg(tableLabel()));
}

void LocalTablePrivate::requireEditing() const {
  requireActive();
  if (state != LocalTable::State::Insert && state != LocalTable::State::Edit)
    throw Error(QStringLiteral("Operação não permitida: %1 não está em edição nem em inclusão.")
                    .arg(tableLabel()));
}

void LocalTablePrivate::computeCuts() {
  cut.assign(packet.fields.size(), -1);
  for (std::size_t i = 0; i < packet.fields.size(); ++i) {
    const PacketField& f = packet.fields[i];
    if (!isTextType(f.fieldType)) continue;
    qsizetype w = f.width() > 0 ? f.width() : -1;
    const qsizetype capacity = f.prefixSize >= 4 ? -1 : ((qsizetype(1) << (8 * f.prefixSize)) - 1);
    const qsizetype limit =
        f.fieldType == FieldType::WideText && capacity > 0 ? capacity / 2 : capacity;
    if (limit > 0) w = w < 0 ? limit : std::min(w, limit);
    cut[i] = w;
  }
  for (std::size_t i = 0; i < fields.size() && declared; ++i) {
    const int pf = map[i];
    if (isTextType(fields[i].type) && fields[i].width > 0 &&
        isTextType(packet.fields[static_cast<std::size_t>(pf)].fieldType))
      cut[static_cast<std::size_t>(pf)] =
          cut[static_cast<std::size_t>(pf)] < 0
              ? fields[i].width
              : std::min<qsizetype>(cut[static_cast<std::size_t>(pf)], fields[i].width);
  }
}

// Makes `p` the table's content, checking it against the declared fields.
void LocalTablePrivate::adopt(DataPacket&& p, const QString& source) {
  std::vector<int> newMap;
  if (declared) {
    for (const FieldDef& def : fields) {
      int pf = -1;
      for (std::size_t j = 0; j < p.fields.size(); ++j)
        if (p.fields[j].name.compare(def.name, Qt::CaseInsensitive) == 0) {
          pf = static_cast<int>(j);
          break;
        }
      if (pf < 0)
        throw Error(
            QStringLiteral("Campo '%1' não encontrado no arquivo '%2'.").arg(def.name, source));
      const FieldType stored = p.fields[static_cast<std::size_t>(pf)].fieldType;
      if (!compatible(def.type, stored))
        throw Error(QStringLiteral("Campo '%1' do arquivo '%2' é do tipo %3; a tabela espera %4.")
                        .arg(def.name, source, typeName(stored), typeName(def.type)));
      newMap.push_back(pf);
    }
  }
  discardEdit();
  packet = std::move(p);
  if (!declared) {
    std::vector<FieldDef> defs;
    for (std::size_t j = 0; j < packet.fields.size(); ++j) {
      defs.push_back(packet.fields[j].toDef());
      newMap.push_back(static_cast<int>(j));
    }
    setFields(std::move(defs));
  }
  map = std::move(newMap);
  computeCuts();
  const bool wasActive = active;
  active = true;
  state = LocalTable::State::Browse;
  afterRecordsReplaced();
  if (!wasActive) emit q->stateChanged();
}

void LocalTablePrivate::afterRecordsReplaced() {
  lookups.clear();
  try {
    rebuildView();
  } catch (const Error&) {
    moveFirst();
    emit q->recordsChanged();
    emit q->cursorMoved(cur);
    throw;
  }
  moveFirst();
  emit q->recordsChanged();
  emit q->cursorMoved(cur);
}

// The current value of a table field (null when inactive or without a current record).
Variant LocalTablePrivate::fieldValue(int field) const {
  if (!active) return {};
  return storedValue(currentRecord(), map[static_cast<std::size_t>(field)]);
}

FieldType LocalTablePrivate::storedType(int field) const {
  if (!active) return fields[static_cast<std::size_t>(field)].type;
  return packet.fields[static_cast<std::size_t>(map[static_cast<std::size_t>(field)])].fieldType;
}

QString LocalTablePrivate::textOf(int field, const Variant& v) const {
  return variantText(storedType(field), v);
}

Variant LocalTablePrivate::asOwnType(int field, const Variant& v) const {
  if (v.kind() == Variant::Kind::Packet && storedType(field) == FieldType::Blob &&
      packet.fields[static_cast<std::size_t>(map[static_cast<std::size_t>(field)])].subtype() ==
          QLatin1String("Text"))
    return Variant(fromWindows1252(v.toPacket()));
  return v;
}

QString LocalTablePrivate::displayOf(int field, const Variant& v) const {
  const FieldDef& def = fields[static_cast<std::size_t>(field)];
  const QString text = textOf(field, v);
  if (def.displayText) return def.displayText(text);
  if (v.isNull()) return {};
  const FieldType t = storedType(field);
  if (def.currency && (t == FieldType::Number || t == FieldType::Bcd || isIntegerType(t)))
    return formatCurrency(v.toNumber());
  return text;
}

// Converts a written value to the stored field's own kind (errors at the write).
Variant LocalTablePrivate::normalize(int pf, const Variant& v) const {
  if (v.isNull()) return {};
  const PacketField& f = packet.fields[static_cast<std::size_t>(pf)];
  switch (f.fieldType) {
    case FieldType::Text:
    case FieldType::WideText: {
      QString text = v.toText();
      const qsizetype w = cut[static_cast<std::size_t>(pf)];
      if (w >= 0 && text.size() > w) text.truncate(w);
      if (text.isEmpty()) return {};
      return Variant(text);
    }
    case FieldType::Blob:
      if (v.kind() == Variant::Kind::Packet) return v;
      if (v.toText().isEmpty()) return {};
      return Variant::packet(toWindows1252(v.toText()));
    case FieldType::Boolean:
      return Variant(v.toFlag());
    case FieldType::Number:
    case FieldType::Bcd:
      return Variant(v.toNumber());
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime:
      return Variant::dateTime(v.toDateTime());
    default: {
      const Variant n(v.toInteger());
      (void)RecordBuilder::encodeFixed(f, n);  // range check now, not at post
      return n;
    }
  }
}

Variant LocalTablePrivate::fromText(int pf, const QString& text) const {
  if (text.isEmpty()) return {};
  const FieldType t = packet.fields[static_cast<std::size_t>(pf)].fieldType;
  if (isTextType(t) || t == FieldType::Blob) return Variant(text);
  if (t == FieldType::Boolean) return Variant(textToFlag(text));
  if (isIntegerType(t)) return Variant(textToInteger(text));
  if (isDateType(t)) return Variant::dateTime(parseDateTime(text));
  return Variant(parseNumber(text));
}

void LocalTablePrivate::write(int field, const Variant& raw) {
  requireEditing();
  const int pf = map[static_cast<std::size_t>(field)];
  buffer[static_cast<std::size_t>(pf)] = normalize(pf, raw);
  emit q->valueChanged(cur);
}

// The packet as it would be saved now, pending edits included.
DataPacket LocalTablePrivate::snapshot() const {
  if (editRecord < 0) return packet;
  DataPacket copy = packet;
  RecordBuilder builder(copy, Unencodable::Replace);
  for (std::size_t i = 0; i < copy.fields.size(); ++i) {
    const int pf = static_cast<int>(i);
    if (buffer[i]) {
      builder.setVariant(pf, *buffer[i]);
    } else {
      const ValueSpan s = copy.span(editRecord, pf);
      if (!s.null) builder.setRaw(pf, s.data, s.size);
    }
  }
  copy.replace(editRecord, builder.finish());
  return copy;
}

}  // namespace fw
