// LocalTable over a DataPacket. Records stay encoded in the packet; the table adds the
// cursor, states, the edit buffer, the filter, the index in force and lookup indexes.
//
// Views. `rows_` lists, for each visible row, the record's position in the packet; it is
// materialized only while a filter or an index is in force (otherwise row == record).
// Lookup indexes (a sorted list of key hashes per field list and case mode) are built on
// the first locate or filter that can use them and dropped on any change of the records,
// so locate keeps answering "the first match in table order" after edits.
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
#include "framework/data/LocalTable.h"

#include "framework/data/Error.h"
#include "framework/data/TableFilter.h"
#include "framework/packet/BinaryPacket.h"
#include "framework/packet/CodePage1252.h"
#include "framework/packet/DataPacket.h"
#include "framework/packet/FileIo.h"
#include "framework/packet/XmlPacket.h"
#include "framework/text/NumberText.h"

#include <QHash>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace fw {

namespace {

bool isTextType(FieldType t) { return t == FieldType::Text || t == FieldType::WideText; }

bool isIntegerType(FieldType t) {
  switch (t) {
    case FieldType::Int8: case FieldType::Int16: case FieldType::Int32: case FieldType::Int64:
    case FieldType::UInt8: case FieldType::UInt16: case FieldType::UInt32: case FieldType::UInt64:
      return true;
    default:
      return false;
  }
}

bool isDateType(FieldType t) { return t == FieldType::Date || t == FieldType::Time || t == FieldType::DateTime; }

QString typeName(FieldType t) {
  if (isTextType(t)) return QStringLiteral("texto");
  if (isIntegerType(t)) return QStringLiteral("inteiro");
  switch (t) {
    case FieldType::Boolean: return QStringLiteral("lógico");
    case FieldType::Number: return QStringLiteral("número");
    case FieldType::Bcd: return QStringLiteral("decimal");
    case FieldType::Date: return QStringLiteral("data");
    case FieldType::Time: return QStringLiteral("hora");
    case FieldType::DateTime: return QStringLiteral("data e hora");
    case FieldType::Blob: return QStringLiteral("binário");
    default: return QStringLiteral("desconhecido");
  }
}

// Whether a file's field can stand for a declared one.
bool compatible(FieldType declared, FieldType stored) {
  if (isTextType(declared)) return isTextType(stored);
  if (isIntegerType(declared)) return isIntegerType(stored);
  if (declared == FieldType::DateTime) return stored == FieldType::DateTime || stored == FieldType::Date;
  return declared == stored;
}

quint64 hashKey(const QByteArray& key) { return qHashBits(key.constData(), static_cast<size_t>(key.size()), 0); }

void appendKeyPart(QByteArray& key, const char* data, qsizetype size) {
  const quint32 n = static_cast<quint32>(size);
  key.append(reinterpret_cast<const char*>(&n), sizeof n);
  key.append(data, size);
}

void appendKeyText(QByteArray& key, const QString& text) {
  appendKeyPart(key, reinterpret_cast<const char*>(text.constData()), text.size() * 2);
}

QString timeText(double dt, const FormatSettings& fs) {
  const qint64 ms = std::llround((dt - std::floor(dt)) * kMsPerDay) % 86400000;
  return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)).toString(fs.longTimeFormat);
}

// A value read as text, as the field's type shows it.
QString variantText(FieldType type, const Variant& v) {
  if (v.isNull()) return {};
  switch (type) {
    case FieldType::Blob:
      if (v.kind() == Variant::Kind::Packet) return fromWindows1252(v.toPacket());
      return v.toText();
    case FieldType::Date: return formatDate(v.toDateTime());
    case FieldType::Time: return timeText(v.toDateTime(), FormatSettings::current());
    default: return v.toText();
  }
}

struct LookupIndex {
  std::vector<std::pair<quint64, quint32>> entries;  // (hash, record), sorted
};

}  // namespace

class LocalTablePrivate {
 public:
  explicit LocalTablePrivate(LocalTable* table) : q(table) {}

  LocalTable* q;
  QString name;
  bool declared = false;  // `fields` are the declared ones, kept across close and load
  std::vector<FieldDef> fields;
  QHash<QString, int> byName;  // upper-case name -> index in `fields`
  std::vector<int> map;        // fields[i] -> packet field
  std::vector<qsizetype> cut;  // per packet field: text width cut, -1 none
  bool active = false;
  LocalTable::State state = LocalTable::State::Inactive;
  DataPacket packet;

  // View and cursor.
  bool materialized = false;
  std::vector<quint32> rows;  // record positions per visible row when materialized
  int cur = -1;
  bool bof = true;
  bool eof = true;

  // Edit buffer: per packet field, a new value or nothing (keep the stored one).
  int editRecord = -1;
  std::vector<std::optional<Variant>> buffer;

  QString filterText;
  bool filtered = false;
  std::unique_ptr<FilterNode> filterTree;

  struct IndexDef {
    QString name;
    QStringList fields;
  };
  std::vector<IndexDef> indexes;
  QString indexName;

  std::map<QString, LookupIndex> lookups;

  // --- structure ------------------------------------------------------------------------

  void setFields(std::vector<FieldDef> defs) {
    fields = std::move(defs);
    byName.clear();
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const QString key = fields[i].name.toUpper();
      if (!byName.contains(key)) byName.insert(key, static_cast<int>(i));
    }
  }

  int lookup(const QString& fieldName) const {
    const auto it = byName.constFind(fieldName.toUpper());
    return it == byName.constEnd() ? -1 : it.value();
  }

  int require(const QString& fieldName) const {
    const int i = lookup(fieldName);
    if (i < 0) throw Error(QStringLiteral("Campo '%1' não encontrado.").arg(fieldName));
    return i;
  }

  QString tableLabel() const {
    return name.isEmpty() ? QStringLiteral("a tabela") : QStringLiteral("a tabela '%1'").arg(name);
  }

  void requireActive() const {
    if (!active) throw Error(QStringLiteral("Operação não permitida: %1 está fechada.").arg(tableLabel()));
  }

  void requireEditing() const {
    requireActive();
    if (state != LocalTable::State::Insert && state != LocalTable::State::Edit)
      throw Error(QStringLiteral("Operação não permitida: %1 não está em edição nem em inclusão.").arg(tableLabel()));
  }

  void computeCuts() {
    cut.assign(packet.fields.size(), -1);
    for (std::size_t i = 0; i < packet.fields.size(); ++i) {
      const PacketField& f = packet.fields[i];
      if (!isTextType(f.fieldType)) continue;
      qsizetype w = f.width() > 0 ? f.width() : -1;
      const qsizetype capacity = f.prefixSize >= 4 ? -1 : ((qsizetype(1) << (8 * f.prefixSize)) - 1);
      const qsizetype limit = f.fieldType == FieldType::WideText && capacity > 0 ? capacity / 2 : capacity;
      if (limit > 0) w = w < 0 ? limit : std::min(w, limit);
      cut[i] = w;
    }
    for (std::size_t i = 0; i < fields.size() && declared; ++i) {
      const int pf = map[i];
      if (isTextType(fields[i].type) && fields[i].width > 0 && isTextType(packet.fields[static_cast<std::size_t>(pf)].fieldType))
        cut[static_cast<std::size_t>(pf)] = cut[static_cast<std::size_t>(pf)] < 0
                                                ? fields[i].width
                                                : std::min<qsizetype>(cut[static_cast<std::size_t>(pf)], fields[i].width);
    }
  }

  // Makes `p` the table's content, checking it against the declared fields.
  void adopt(DataPacket&& p, const QString& source) {
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
          throw Error(QStringLiteral("Campo '%1' não encontrado no arquivo '%2'.").arg(def.name, source));
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

  void afterRecordsReplaced() {
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

  // --- view -----------------------------------------------------------------------------

  int recordCount() const { return materialized ? static_cast<int>(rows.size()) : static_cast<int>(packet.records.size()); }
  int recordAt(int row) const { return materialized ? static_cast<int>(rows[static_cast<std::size_t>(row)]) : row; }
  int rowOf(int record) const {
    if (record < 0) return -1;
    if (!materialized) return record < static_cast<int>(packet.records.size()) ? record : -1;
    if (!indexInForce()) {  // filtered rows keep table order
      const auto it = std::lower_bound(rows.begin(), rows.end(), static_cast<quint32>(record));
      return it != rows.end() && *it == static_cast<quint32>(record) ? static_cast<int>(it - rows.begin()) : -1;
    }
    const auto it = std::find(rows.begin(), rows.end(), static_cast<quint32>(record));
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
  }
  int currentRecord() const { return cur >= 0 && cur < recordCount() ? recordAt(cur) : -1; }

  const IndexDef* indexInForce() const {
    if (indexName.isEmpty()) return nullptr;
    for (const IndexDef& def : indexes)
      if (def.name.compare(indexName, Qt::CaseInsensitive) == 0) return &def;
    return nullptr;
  }

  void ensureFilterTree() {
    if (!filterTree && filtered && !filterText.trimmed().isEmpty()) filterTree = parseFilter(filterText);
  }

  // On an error (a filter naming an unknown field) the view falls back to all records.
  void rebuildView() {
    try {
      buildView();
    } catch (const Error&) {
      materialized = false;
      rows.clear();
      throw;
    }
  }

  void buildView() {
    ensureFilterTree();
    const IndexDef* index = indexInForce();
    const bool filtering = filtered && filterTree;
    materialized = index || filtering;
    rows.clear();
    if (!materialized) return;
    const int n = static_cast<int>(packet.records.size());
    if (filtering && !index) {
      if (const auto fast = indexedFilter()) {
        rows = *fast;
        return;
      }
    }
    rows.reserve(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r)
      if (!filtering || r == editRecord || matches(*filterTree, r)) rows.push_back(static_cast<quint32>(r));
    if (index) sortRows(*index);
  }

  void sortRows(const IndexDef& index) {
    std::vector<int> pfs;
    for (const QString& fieldName : index.fields) pfs.push_back(map[static_cast<std::size_t>(require(fieldName))]);
    std::vector<std::vector<Variant>> keys(packet.records.size());
    for (quint32 r : rows) {
      auto& key = keys[r];
      for (int pf : pfs) key.push_back(storedValue(static_cast<int>(r), pf));
    }
    const auto less = [&](quint32 a, quint32 b) {
      for (std::size_t k = 0; k < pfs.size(); ++k) {
        const int c = compareValues(keys[a][k], keys[b][k]);
        if (c) return c < 0;
      }
      return false;
    };
    std::stable_sort(rows.begin(), rows.end(), less);
  }

  static int compareValues(const Variant& a, const Variant& b) {
    if (a.isNull() || b.isNull()) return int(!a.isNull()) - int(!b.isNull());
    if (a.kind() == Variant::Kind::Text || b.kind() == Variant::Kind::Text) {
      const int c = QString::compare(a.toText(), b.toText());
      return (c > 0) - (c < 0);
    }
    if (a.kind() == Variant::Kind::Packet) {
      const QByteArray x = a.toPacket(), y = b.toPacket();
      return (x > y) - (x < y);
    }
    const double x = a.toNumber(), y = b.toNumber();
    return (x > y) - (x < y);
  }

  // --- values ---------------------------------------------------------------------------

  Variant storedValue(int record, int pf) const {
    if (record < 0) return {};
    if (record == editRecord && buffer[static_cast<std::size_t>(pf)]) return *buffer[static_cast<std::size_t>(pf)];
    return packet.value(record, pf);
  }

  // The current value of a table field (null when inactive or without a current record).
  Variant fieldValue(int field) const {
    if (!active) return {};
    return storedValue(currentRecord(), map[static_cast<std::size_t>(field)]);
  }

  FieldType storedType(int field) const {
    if (!active) return fields[static_cast<std::size_t>(field)].type;
    return packet.fields[static_cast<std::size_t>(map[static_cast<std::size_t>(field)])].fieldType;
  }

  QString textOf(int field, const Variant& v) const { return variantText(storedType(field), v); }

  Variant asOwnType(int field, const Variant& v) const {
    if (v.kind() == Variant::Kind::Packet && storedType(field) == FieldType::Blob &&
        packet.fields[static_cast<std::size_t>(map[static_cast<std::size_t>(field)])].subtype() == QLatin1String("Text"))
      return Variant(fromWindows1252(v.toPacket()));
    return v;
  }

  QString displayOf(int field, const Variant& v) const {
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
  Variant normalize(int pf, const Variant& v) const {
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
      case FieldType::Boolean: return Variant(v.toFlag());
      case FieldType::Number:
      case FieldType::Bcd: return Variant(v.toNumber());
      case FieldType::Date:
      case FieldType::Time:
      case FieldType::DateTime: return Variant::dateTime(v.toDateTime());
      default: {
        const Variant n(v.toInteger());
        (void)RecordBuilder::encodeFixed(f, n);  // range check now, not at post
        return n;
      }
    }
  }

  Variant fromText(int pf, const QString& text) const {
    if (text.isEmpty()) return {};
    const FieldType t = packet.fields[static_cast<std::size_t>(pf)].fieldType;
    if (isTextType(t) || t == FieldType::Blob) return Variant(text);
    if (t == FieldType::Boolean) return Variant(textToFlag(text));
    if (isIntegerType(t)) return Variant(textToInteger(text));
    if (isDateType(t)) return Variant::dateTime(parseDateTime(text));
    return Variant(parseNumber(text));
  }

  void write(int field, const Variant& raw) {
    requireEditing();
    const int pf = map[static_cast<std::size_t>(field)];
    buffer[static_cast<std::size_t>(pf)] = normalize(pf, raw);
    emit q->valueChanged(cur);
  }

  // --- keys for locate and filter --------------------------------------------------------

  // Key bytes of a stored value.
  void recordKey(int record, int pf, bool caseInsensitive, QByteArray& key) const {
    const PacketField& f = packet.fields[static_cast<std::size_t>(pf)];
    if (record >= 0 && record == editRecord && buffer[static_cast<std::size_t>(pf)]) {
      valueKey(pf, *buffer[static_cast<std::size_t>(pf)], caseInsensitive, key);
      return;
    }
    const ValueSpan s = packet.span(record, pf);
    switch (f.fieldType) {
      case FieldType::Text:
        if (!caseInsensitive) {
          appendKeyPart(key, s.data, s.null ? 0 : s.size);
          return;
        }
        appendKeyText(key, s.null ? QString() : fromWindows1252(s.data, s.size).toCaseFolded());
        return;
      case FieldType::WideText: {
        QString text = s.null ? QString() : DataPacket::decode(f, s).toText();
        appendKeyText(key, caseInsensitive ? text.toCaseFolded() : text);
        return;
      }
      case FieldType::Blob:
        appendKeyPart(key, s.data, s.null ? 0 : s.size);
        return;
      case FieldType::Boolean: {
        const char b = s.null ? 0 : (DataPacket::decode(f, s).toFlag() ? 2 : 1);
        appendKeyPart(key, &b, 1);
        return;
      }
      default:
        if (s.null) {
          appendKeyPart(key, nullptr, 0);
        } else {
          QByteArray tagged(1, '\1');
          tagged.append(s.data, s.size);
          appendKeyPart(key, tagged.constData(), tagged.size());
        }
    }
  }

  // Key bytes of a searched value; false when no stored value can equal it.
  bool valueKey(int pf, const Variant& v, bool caseInsensitive, QByteArray& key) const {
    const PacketField& f = packet.fields[static_cast<std::size_t>(pf)];
    try {
      switch (f.fieldType) {
        case FieldType::Text: {
          const QString text = v.toText();
          if (!caseInsensitive) {
            const QByteArray bytes = toWindows1252(text);
            if (fromWindows1252(bytes) != text) return false;
            appendKeyPart(key, bytes.constData(), bytes.size());
          } else {
            appendKeyText(key, text.toCaseFolded());
          }
          return true;
        }
        case FieldType::WideText: {
          const QString text = v.toText();
          appendKeyText(key, caseInsensitive ? text.toCaseFolded() : text);
          return true;
        }
        case FieldType::Blob: {
          const QByteArray bytes = v.kind() == Variant::Kind::Packet ? v.toPacket() : toWindows1252(v.toText());
          appendKeyPart(key, bytes.constData(), bytes.size());
          return true;
        }
        case FieldType::Boolean: {
          const char b = v.isNull() ? 0 : (v.toFlag() ? 2 : 1);
          appendKeyPart(key, &b, 1);
          return true;
        }
        default:
          if (v.isNull()) {
            appendKeyPart(key, nullptr, 0);
          } else {
            QByteArray tagged(1, '\1');
            tagged.append(RecordBuilder::encodeFixed(f, v));
            appendKeyPart(key, tagged.constData(), tagged.size());
          }
          return true;
      }
    } catch (const Error&) {
      return false;  // a value of another kind (e.g. a text that is no number) matches nothing
    }
  }

  const LookupIndex& lookupIndex(const std::vector<int>& pfs, bool caseInsensitive) {
    QString id = caseInsensitive ? QStringLiteral("i") : QStringLiteral("s");
    for (int pf : pfs) id += QLatin1Char(':') + QString::number(pf);
    auto it = lookups.find(id);
    if (it != lookups.end()) return it->second;
    LookupIndex index;
    const std::size_t n = packet.records.size();
    index.entries.reserve(n);
    QByteArray key;
    for (std::size_t r = 0; r < n; ++r) {
      key.clear();
      for (int pf : pfs) recordKey(static_cast<int>(r), pf, caseInsensitive, key);
      index.entries.emplace_back(hashKey(key), static_cast<quint32>(r));
    }
    std::sort(index.entries.begin(), index.entries.end());
    return lookups.emplace(id, std::move(index)).first->second;
  }

  // Records (ascending) whose fields equal the key.
  std::vector<quint32> candidates(const std::vector<int>& pfs, const QByteArray& wanted, bool caseInsensitive) {
    std::vector<quint32> out;
    const LookupIndex& index = lookupIndex(pfs, caseInsensitive);
    const quint64 h = hashKey(wanted);
    auto it = std::lower_bound(index.entries.begin(), index.entries.end(), std::make_pair(h, quint32(0)));
    QByteArray key;
    for (; it != index.entries.end() && it->first == h; ++it) {
      key.clear();
      for (int pf : pfs) recordKey(static_cast<int>(it->second), pf, caseInsensitive, key);
      if (key == wanted) out.push_back(it->second);
    }
    return out;
  }

  // A lone "FIELD = 'x'" filter answered from a lookup index.
  std::optional<std::vector<quint32>> indexedFilter() {
    const FilterNode& node = *filterTree;
    if (node.kind != FilterNode::Kind::Compare || node.notEqual || editRecord >= 0) return std::nullopt;
    if (packet.records.size() < 64) return std::nullopt;
    const int pf = map[static_cast<std::size_t>(require(node.field))];
    QByteArray wanted;
    if (!literalKey(pf, node.literal, wanted)) return std::vector<quint32>{};
    return candidates({pf}, wanted, false);
  }

  Variant literalValue(int pf, const QString& literal) const {
    const FieldType t = packet.fields[static_cast<std::size_t>(pf)].fieldType;
    if (isTextType(t) || t == FieldType::Blob) return Variant(literal);
    if (literal.isEmpty()) return {};
    bool ok = false;
    const double number = literal.toDouble(&ok);  // filter numbers are written with '.'
    if (ok && !isDateType(t)) return t == FieldType::Boolean ? Variant(number != 0.0) : Variant(number);
    if (t == FieldType::Boolean) return Variant(textToFlag(literal));
    if (isDateType(t)) return Variant::dateTime(parseDateTime(literal));
    return Variant(parseNumber(literal));
  }

  void checkFilterFields(const FilterNode& node) const {
    if (node.kind == FilterNode::Kind::Compare) {
      require(node.field);
      return;
    }
    if (node.left) checkFilterFields(*node.left);
    if (node.right) checkFilterFields(*node.right);
  }

  // A literal that cannot stand for a value of the field matches nothing.
  bool literalKey(int pf, const QString& literal, QByteArray& key) const {
    try {
      return valueKey(pf, literalValue(pf, literal), false, key);
    } catch (const Error&) {
      return false;
    }
  }

  bool matches(const FilterNode& node, int record) {
    switch (node.kind) {
      case FilterNode::Kind::And: return matches(*node.left, record) && matches(*node.right, record);
      case FilterNode::Kind::Or: return matches(*node.left, record) || matches(*node.right, record);
      case FilterNode::Kind::Not: return !matches(*node.left, record);
      case FilterNode::Kind::Compare: break;
    }
    const int pf = map[static_cast<std::size_t>(require(node.field))];
    QByteArray wanted, stored;
    bool equal = false;
    if (literalKey(pf, node.literal, wanted)) {
      recordKey(record, pf, false, stored);
      equal = stored == wanted;
    }
    return equal != node.notEqual;
  }

  // --- cursor ---------------------------------------------------------------------------

  void moveFirst() {
    cur = recordCount() > 0 ? 0 : -1;
    bof = true;
    eof = recordCount() == 0;
  }

  void setCursor(int row) {
    cur = row;
    bof = eof = false;
    emit q->cursorMoved(cur);
  }

  // Keeps the cursor on `record` after the view changed, or the nearest row.
  void follow(int record, int fallbackRow) {
    const int row = rowOf(record);
    const int count = recordCount();
    cur = row >= 0 ? row : (count == 0 ? -1 : std::clamp(fallbackRow, 0, count - 1));
    bof = eof = count == 0;
  }

  // --- editing --------------------------------------------------------------------------

  void discardEdit() {
    editRecord = -1;
    buffer.clear();
  }

  void beginEdit(int record) {
    editRecord = record;
    buffer.assign(packet.fields.size(), std::nullopt);
  }

  void shiftRows(int from, int delta) {
    for (quint32& r : rows)
      if (static_cast<int>(r) >= from) r = static_cast<quint32>(static_cast<int>(r) + delta);
  }

  void insertAt(int row, int record) {
    packet.records.insert(packet.records.begin() + record, DataPacket::Record{});
    RecordBuilder empty(packet);
    packet.records[static_cast<std::size_t>(record)] = packet.store(empty.finish());
    if (materialized) {
      shiftRows(record, 1);
      rows.insert(rows.begin() + row, static_cast<quint32>(record));
    }
    lookups.clear();
    beginEdit(record);
    state = LocalTable::State::Insert;
    cur = row;
    bof = eof = false;
    emit q->recordsChanged();
    emit q->stateChanged();
    emit q->cursorMoved(cur);
  }

  void removeRecord(int record) {
    packet.remove(record);
    if (materialized) {
      rows.erase(std::remove(rows.begin(), rows.end(), static_cast<quint32>(record)), rows.end());
      shiftRows(record + 1, -1);
    }
    lookups.clear();
    packet.compactIfWasteful();
  }

  void post() {
    if (state != LocalTable::State::Insert && state != LocalTable::State::Edit) return;
    for (std::size_t i = 0; i < packet.fields.size(); ++i) {
      const PacketField& f = packet.fields[i];
      if (!(f.attributes & 4)) continue;
      const bool null = buffer[i] ? buffer[i]->isNull() : packet.isNull(editRecord, static_cast<int>(i));
      if (null) throw Error(QStringLiteral("O campo '%1' precisa de um valor.").arg(f.name));
    }
    RecordBuilder builder(packet);
    for (std::size_t i = 0; i < packet.fields.size(); ++i) {
      const int pf = static_cast<int>(i);
      if (buffer[i]) {
        builder.setVariant(pf, *buffer[i]);
      } else {
        const ValueSpan s = packet.span(editRecord, pf);
        if (!s.null) builder.setRaw(pf, s.data, s.size);
      }
    }
    const int record = editRecord;
    packet.replace(record, builder.finish());
    discardEdit();
    state = LocalTable::State::Browse;
    lookups.clear();
    packet.compactIfWasteful();
    if (materialized) {
      const int before = cur;
      rebuildView();
      follow(record, before);
      emit q->recordsChanged();
    } else {
      emit q->valueChanged(cur);
    }
    emit q->stateChanged();
    emit q->cursorMoved(cur);
  }

  void cancel() {
    if (state == LocalTable::State::Insert) {
      const int record = editRecord;
      const int row = cur;
      discardEdit();
      removeRecord(record);
      state = LocalTable::State::Browse;
      const int count = recordCount();
      cur = count == 0 ? -1 : std::min(row, count - 1);
      bof = eof = count == 0;
      emit q->recordsChanged();
    } else if (state == LocalTable::State::Edit) {
      discardEdit();
      state = LocalTable::State::Browse;
      emit q->valueChanged(cur);
    } else {
      return;
    }
    emit q->stateChanged();
    emit q->cursorMoved(cur);
  }

  // The packet as it would be saved now, pending edits included.
  DataPacket snapshot() const {
    if (editRecord < 0) return packet;
    DataPacket copy = packet;
    RecordBuilder builder(copy);
    for (std::size_t i = 0; i < copy.fields.size(); ++i) {
      const int pf = static_cast<int>(i);
      if (buffer[i]) {
        builder.setVariant(pf, *buffer[i]);
      } else {
        const ValueSpan s = copy.span(editRecord, pf);
        if (!s.null) builder.setRaw(pf, s.data, s.size);
      }
    }
    copy.records[static_cast<std::size_t>(editRecord)] = copy.store(builder.finish());
    return copy;
  }
};

// --- LocalTable ------------------------------------------------------------------------------

LocalTable::LocalTable(const QString& name, QObject* parent)
    : QObject(parent), d(std::make_unique<LocalTablePrivate>(this)) {
  d->name = name;
  setObjectName(name);
}

LocalTable::~LocalTable() = default;

const QString& LocalTable::name() const { return d->name; }

void LocalTable::declareFields(const std::vector<FieldDef>& fields) {
  if (d->active) close();
  std::vector<FieldDef> defs = fields;
  for (FieldDef& f : defs) {
    f.name = f.name.toUpper();
    if (f.type == FieldType::Text && f.width <= 0) f.width = 20;
  }
  d->declared = !defs.empty();
  d->setFields(std::move(defs));
  d->map.clear();
  for (std::size_t i = 0; i < d->fields.size(); ++i) d->map.push_back(static_cast<int>(i));
}

bool LocalTable::hasDeclaredFields() const { return d->declared; }
const std::vector<FieldDef>& LocalTable::fields() const { return d->fields; }
int LocalTable::fieldIndex(const QString& name) const { return d->lookup(name); }
const FieldDef& LocalTable::fieldByName(const QString& name) const { return d->fields[static_cast<std::size_t>(d->require(name))]; }
FieldDef& LocalTable::fieldDef(const QString& name) { return d->fields[static_cast<std::size_t>(d->require(name))]; }

void LocalTable::loadFromFile(const QString& path) {
  const QByteArray bytes = readWholeFile(path);
  d->adopt(readBinaryPacket(bytes, path), path);
}

void LocalTable::saveToFile(const QString& path) {
  d->requireActive();
  d->post();
  writeFileAtomically(path, writeBinaryPacket(d->packet));
}

void LocalTable::loadFromXmlFile(const QString& path) {
  const QByteArray bytes = readWholeFile(path);
  d->adopt(readXmlPacket(bytes, path), path);
}

void LocalTable::saveToXmlFile(const QString& path) {
  d->requireActive();
  d->post();
  writeFileAtomically(path, writeXmlPacket(d->packet));
}

void LocalTable::createDataSet() {
  if (!d->declared)
    throw Error(QStringLiteral("Não é possível criar %1: ela não tem campos declarados.").arg(d->tableLabel()));
  d->adopt(DataPacket::create(d->fields), d->name);
}

void LocalTable::emptyDataSet() {
  d->requireActive();
  d->discardEdit();
  const bool wasEditing = d->state != State::Browse;
  d->state = State::Browse;
  d->packet.records.clear();
  d->packet.arena.clear();
  d->packet.deadBytes = 0;
  d->afterRecordsReplaced();
  if (wasEditing) emit stateChanged();
}

void LocalTable::close() {
  if (!d->active) return;
  d->discardEdit();
  d->active = false;
  d->state = State::Inactive;
  d->packet = DataPacket();
  d->rows.clear();
  d->materialized = false;
  d->lookups.clear();
  d->cur = -1;
  d->bof = d->eof = true;
  if (!d->declared) {
    d->setFields({});
    d->map.clear();
  } else {
    d->map.clear();
    for (std::size_t i = 0; i < d->fields.size(); ++i) d->map.push_back(static_cast<int>(i));
  }
  emit recordsChanged();
  emit stateChanged();
  emit cursorMoved(-1);
}

bool LocalTable::active() const { return d->active; }
LocalTable::State LocalTable::state() const { return d->state; }

Variant LocalTable::data() const {
  if (!d->active) return {};
  return Variant::packet(writeBinaryPacket(d->snapshot()));
}

void LocalTable::setData(const Variant& packet) {
  if (packet.isNull()) {
    close();
    return;
  }
  const QByteArray bytes = packet.toPacket();
  const QString source = QStringLiteral("pacote de dados");
  d->adopt(readBinaryPacket(bytes, source), source);
}

bool LocalTable::isEmpty() const { return !d->active || d->recordCount() == 0; }

int LocalTable::recordCount() const {
  d->requireActive();
  return d->recordCount();
}

int LocalTable::recNo() const { return d->active ? d->cur + 1 : 0; }

void LocalTable::setRecNo(int recNo) {
  d->requireActive();
  d->post();
  const int count = d->recordCount();
  if (count == 0) return;
  d->setCursor(std::clamp(recNo, 1, count) - 1);
}

void LocalTable::first() {
  d->requireActive();
  d->post();
  d->moveFirst();
  emit cursorMoved(d->cur);
}

void LocalTable::last() {
  d->requireActive();
  d->post();
  const int count = d->recordCount();
  d->cur = count - 1;
  d->bof = count == 0;
  d->eof = true;
  emit cursorMoved(d->cur);
}

void LocalTable::next() {
  d->requireActive();
  d->post();
  if (d->cur + 1 < d->recordCount()) {
    d->setCursor(d->cur + 1);
  } else {
    d->eof = true;
  }
}

void LocalTable::prior() {
  d->requireActive();
  d->post();
  if (d->cur > 0) {
    d->setCursor(d->cur - 1);
  } else {
    d->bof = true;
  }
}

bool LocalTable::eof() const { return !d->active || d->eof || d->recordCount() == 0; }
bool LocalTable::bof() const { return !d->active || d->bof || d->recordCount() == 0; }

void LocalTable::insert() {
  d->requireActive();
  d->post();
  const int count = d->recordCount();
  if (count == 0) {
    d->insertAt(0, static_cast<int>(d->packet.records.size()));
    return;
  }
  const int row = std::max(d->cur, 0);
  d->insertAt(row, d->recordAt(row));
}

void LocalTable::append() {
  d->requireActive();
  d->post();
  d->insertAt(d->recordCount(), static_cast<int>(d->packet.records.size()));
}

void LocalTable::edit() {
  d->requireActive();
  if (d->state != State::Browse) return;
  if (d->currentRecord() < 0) {
    insert();  // editing an empty table opens a new record, as the host's tables do
    return;
  }
  d->beginEdit(d->currentRecord());
  d->state = State::Edit;
  emit stateChanged();
}

void LocalTable::post() {
  d->requireActive();
  d->post();
}

void LocalTable::cancel() {
  d->requireActive();
  d->cancel();
}

void LocalTable::remove() {
  d->requireActive();
  if (d->state == State::Insert) {
    d->cancel();
    return;
  }
  if (d->state == State::Edit) d->cancel();
  const int record = d->currentRecord();
  if (record < 0)
    throw Error(QStringLiteral("Operação não permitida: %1 está vazia.").arg(d->tableLabel()));
  const int row = d->cur;
  d->removeRecord(record);
  const int count = d->recordCount();
  d->cur = count == 0 ? -1 : std::min(row, count - 1);
  d->bof = d->eof = count == 0;
  emit recordsChanged();
  emit cursorMoved(d->cur);
}

QString LocalTable::asText(const QString& field) const {
  const int i = d->require(field);
  return d->textOf(i, d->fieldValue(i));
}

double LocalTable::asNumber(const QString& field) const {
  const int i = d->require(field);
  const Variant v = d->fieldValue(i);
  if (v.isNull()) return 0.0;
  if (v.kind() == Variant::Kind::Text) return v.toText().trimmed().isEmpty() ? 0.0 : parseNumber(v.toText());
  if (v.kind() == Variant::Kind::Packet) return parseNumber(d->textOf(i, v));
  return v.toNumber();
}

qint64 LocalTable::asInteger(const QString& field) const {
  const int i = d->require(field);
  const Variant v = d->fieldValue(i);
  if (v.isNull()) return 0;
  if (v.kind() == Variant::Kind::Text) return v.toText().trimmed().isEmpty() ? 0 : textToInteger(v.toText());
  if (v.kind() == Variant::Kind::Packet) return textToInteger(d->textOf(i, v));
  return v.toInteger();
}

bool LocalTable::asFlag(const QString& field) const {
  const int i = d->require(field);
  const Variant v = d->fieldValue(i);
  if (v.isNull()) return false;
  if (v.kind() == Variant::Kind::Text) return v.toText().trimmed().isEmpty() ? false : textToFlag(v.toText());
  if (v.kind() == Variant::Kind::Packet) return textToFlag(d->textOf(i, v));
  return v.toFlag();
}

double LocalTable::asDateTime(const QString& field) const {
  const int i = d->require(field);
  const Variant v = d->fieldValue(i);
  if (v.isNull()) return 0.0;
  if (v.kind() == Variant::Kind::Text) return v.toText().trimmed().isEmpty() ? 0.0 : parseDateTime(v.toText());
  return v.toDateTime();
}

Variant LocalTable::asVariant(const QString& field) const {
  const int i = d->require(field);
  return d->asOwnType(i, d->fieldValue(i));
}

bool LocalTable::isNull(const QString& field) const { return d->fieldValue(d->require(field)).isNull(); }

QString LocalTable::displayText(const QString& field) const {
  const int i = d->require(field);
  return d->displayOf(i, d->fieldValue(i));
}

void LocalTable::setText(const QString& field, const QString& value) {
  const int i = d->require(field);
  d->requireEditing();
  d->write(i, d->fromText(d->map[static_cast<std::size_t>(i)], value));
}

void LocalTable::setNumber(const QString& field, double value) { d->write(d->require(field), Variant(value)); }

void LocalTable::setDateTime(const QString& field, double value) {
  d->write(d->require(field), Variant::dateTime(value));
}

void LocalTable::setVariant(const QString& field, const Variant& value) {
  const int i = d->require(field);
  d->requireEditing();
  if (value.kind() == Variant::Kind::Text) {
    d->write(i, d->fromText(d->map[static_cast<std::size_t>(i)], value.toText()));
    return;
  }
  d->write(i, value);
}

void LocalTable::setNull(const QString& field) { d->write(d->require(field), Variant()); }

QString LocalTable::displayTextAt(int visibleRow, int fieldIndex) const {
  return d->displayOf(fieldIndex, valueAt(visibleRow, fieldIndex));
}

QString LocalTable::textAt(int visibleRow, int fieldIndex) const {
  return d->textOf(fieldIndex, valueAt(visibleRow, fieldIndex));
}

Variant LocalTable::valueAt(int visibleRow, int fieldIndex) const {
  if (!d->active || visibleRow < 0 || visibleRow >= d->recordCount() || fieldIndex < 0 ||
      fieldIndex >= static_cast<int>(d->fields.size()))
    return {};
  return d->asOwnType(fieldIndex, d->storedValue(d->recordAt(visibleRow), d->map[static_cast<std::size_t>(fieldIndex)]));
}

void LocalTable::setFilter(const QString& text) {
  if (text == d->filterText) return;
  // Read now only when it applies now; otherwise when it comes into force.
  std::unique_ptr<FilterNode> tree = d->active && d->filtered ? parseFilter(text) : nullptr;
  if (tree) d->checkFilterFields(*tree);
  d->filterText = text;
  d->filterTree = std::move(tree);
  if (d->active && d->filtered) {
    d->post();
    d->rebuildView();
    d->moveFirst();
    emit recordsChanged();
    emit cursorMoved(d->cur);
  }
}

const QString& LocalTable::filter() const { return d->filterText; }

void LocalTable::setFiltered(bool on) {
  if (on == d->filtered) return;
  if (on && d->active) {
    if (!d->filterTree && !d->filterText.trimmed().isEmpty()) d->filterTree = parseFilter(d->filterText);
    if (d->filterTree) d->checkFilterFields(*d->filterTree);
  }
  d->filtered = on;
  if (d->active) {
    d->post();
    d->rebuildView();
    d->moveFirst();
    emit recordsChanged();
    emit cursorMoved(d->cur);
  }
}

bool LocalTable::filtered() const { return d->filtered; }

bool LocalTable::locate(const QString& fieldList, const Variant& values, int options) {
  d->requireActive();
  const QStringList names = fieldList.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  if (names.isEmpty()) throw Error(QStringLiteral("Nenhum campo informado para a busca."));
  std::vector<int> pfs;
  for (const QString& n : names) pfs.push_back(d->map[static_cast<std::size_t>(d->require(n.trimmed()))]);
  VariantList wanted;
  if (values.isArray()) {
    wanted = values.items();
  } else {
    wanted.push_back(values);
  }
  if (wanted.size() != pfs.size())
    throw Error(QStringLiteral("A busca por '%1' precisa de %2 valores, recebeu %3.")
                    .arg(fieldList).arg(pfs.size()).arg(wanted.size()));
  d->post();
  const bool ci = options & CaseInsensitive;
  const int count = d->recordCount();
  int found = -1;
  if (options & PartialKey) {
    for (int row = 0; row < count && found < 0; ++row) {
      bool all = true;
      for (std::size_t k = 0; k < pfs.size() && all; ++k) {
        const QString stored = d->packet.text(d->recordAt(row), pfs[k]);
        all = stored.startsWith(wanted[k].toText(), ci ? Qt::CaseInsensitive : Qt::CaseSensitive);
      }
      if (all) found = row;
    }
  } else {
    QByteArray key;
    for (std::size_t k = 0; k < pfs.size(); ++k)
      if (!d->valueKey(pfs[k], wanted[k], ci, key)) return false;
    if (count < 64) {
      QByteArray stored;
      for (int row = 0; row < count && found < 0; ++row) {
        stored.clear();
        for (int pf : pfs) d->recordKey(d->recordAt(row), pf, ci, stored);
        if (stored == key) found = row;
      }
    } else {
      for (quint32 record : d->candidates(pfs, key, ci)) {
        const int row = d->rowOf(static_cast<int>(record));
        if (row >= 0 && (found < 0 || row < found)) {
          found = row;
          if (!d->materialized || !d->indexInForce()) break;  // candidates come in table order
        }
      }
    }
  }
  if (found < 0) return false;
  d->setCursor(found);
  return true;
}

void LocalTable::addIndex(const QString& name, const QString& fields) {
  const QStringList list = fields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (auto& def : d->indexes)
    if (def.name.compare(name, Qt::CaseInsensitive) == 0) {
      def.fields = list;
      return;
    }
  d->indexes.push_back({name, list});
}

void LocalTable::setIndexName(const QString& name) {
  if (!name.isEmpty()) {
    const bool known = std::any_of(d->indexes.begin(), d->indexes.end(), [&](const auto& def) {
      return def.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (!known) throw Error(QStringLiteral("Índice '%1' não encontrado.").arg(name));
  }
  d->indexName = name;
  if (d->active) {
    d->post();
    const int record = d->currentRecord();
    d->rebuildView();
    d->follow(record, 0);
    emit recordsChanged();
    emit cursorMoved(d->cur);
  }
}

const QString& LocalTable::indexName() const { return d->indexName; }

}  // namespace fw
