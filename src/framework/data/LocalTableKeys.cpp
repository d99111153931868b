// Key codec of a LocalTable: the order of an index in force and the key bytes that locate
// and filter compare. Lookup indexes (a sorted list of key hashes per field list and case
// mode) are built here on the first locate or filter that can use them; every change of
// the records drops them, so locate keeps answering "the first match in table order".
// Reads stored values from DataPacket spans and the edit buffer; called by the view
// (sorting, filters) and by LocalTable::locate.
#include <algorithm>

#include "framework/core/Error.h"
#include "framework/data/LocalTablePrivate.h"
#include "framework/packet/CodePage1252.h"

namespace fw {

namespace {

quint64 hashKey(const QByteArray& key) {
  return qHashBits(key.constData(), static_cast<size_t>(key.size()), 0);
}

void appendKeyPart(QByteArray& key, const char* data, qsizetype size) {
  const quint32 n = static_cast<quint32>(size);
  key.append(reinterpret_cast<const char*>(&n), sizeof n);
  key.append(data, size);
}

void appendKeyText(QByteArray& key, const QString& text) {
  appendKeyPart(key, reinterpret_cast<const char*>(text.constData()), text.size() * 2);
}

}  // namespace

void LocalTablePrivate::sortRows(const IndexDef& index) {
  std::vector<int> pfs;
  for (const QString& fieldName : index.fields)
    pfs.push_back(map[static_cast<std::size_t>(require(fieldName))]);
  std::vector<std::vector<Variant>> keys(static_cast<std::size_t>(packet.recordCount()));
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

int LocalTablePrivate::compareValues(const Variant& a, const Variant& b) {
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

// The one key encoder. A key part is the same bytes whether it comes from a stored span
// (`s`) or from a value (`v`, exactly one of the two is set): each field type below
// encodes both sources side by side through the same primitives, so a record and a
// searched value can never be encoded two ways. Returns false when no stored value can
// equal the value (a value of another kind, a text outside the field's code page).
bool LocalTablePrivate::encodeKey(int pf, const ValueSpan* s, const Variant* v,
                                  bool caseInsensitive, QByteArray& key) const {
  const PacketField& f = packet.fields[static_cast<std::size_t>(pf)];
  const bool null = s ? s->null : false;
  try {
    switch (f.fieldType) {
      case FieldType::Text:
        if (caseInsensitive) {
          const QString text =
              s ? (null ? QString() : fromWindows1252(s->data, s->size)) : v->toText();
          appendKeyText(key, text.toCaseFolded());
        } else if (s) {
          appendKeyPart(key, s->data, null ? 0 : s->size);
        } else {
          const QString text = v->toText();
          const QByteArray bytes = toWindows1252(text);
          if (fromWindows1252(bytes) != text) return false;
          appendKeyPart(key, bytes.constData(), bytes.size());
        }
        return true;
      case FieldType::WideText: {
        const QString text =
            s ? (null ? QString() : DataPacket::decode(f, *s).toText()) : v->toText();
        appendKeyText(key, caseInsensitive ? text.toCaseFolded() : text);
        return true;
      }
      case FieldType::Blob:
        if (s) {
          appendKeyPart(key, s->data, null ? 0 : s->size);
        } else {
          const QByteArray bytes =
              v->kind() == Variant::Kind::Packet ? v->toPacket() : toWindows1252(v->toText());
          appendKeyPart(key, bytes.constData(), bytes.size());
        }
        return true;
      case FieldType::Boolean: {
        const bool isNull = s ? null : v->isNull();
        const char b =
            isNull ? 0 : ((s ? DataPacket::decode(f, *s).toFlag() : v->toFlag()) ? 2 : 1);
        appendKeyPart(key, &b, 1);
        return true;
      }
      default:
        if (s ? null : v->isNull()) {
          appendKeyPart(key, nullptr, 0);
        } else {
          QByteArray tagged(1, '\1');
          if (s)
            tagged.append(s->data, s->size);
          else
            tagged.append(RecordBuilder::encodeFixed(f, *v));
          appendKeyPart(key, tagged.constData(), tagged.size());
        }
        return true;
    }
  } catch (const Error&) {
    if (s) throw;  // a stored value that cannot be read is a fault, not a mismatch
    return false;  // a value of another kind (e.g. a text that is no number) matches nothing
  }
}

// Key bytes of a stored value (the edit buffer's when the record is being edited).
void LocalTablePrivate::recordKey(int record, int pf, bool caseInsensitive, QByteArray& key) const {
  if (record >= 0 && record == editRecord && buffer[static_cast<std::size_t>(pf)]) {
    encodeKey(pf, nullptr, &*buffer[static_cast<std::size_t>(pf)], caseInsensitive, key);
    return;
  }
  const ValueSpan s = packet.span(record, pf);
  encodeKey(pf, &s, nullptr, caseInsensitive, key);
}

// Key bytes of a searched value; false when no stored value can equal it.
bool LocalTablePrivate::valueKey(int pf, const Variant& v, bool caseInsensitive,
                                 QByteArray& key) const {
  return encodeKey(pf, nullptr, &v, caseInsensitive, key);
}

const LookupIndex& LocalTablePrivate::lookupIndex(const std::vector<int>& pfs,
                                                  bool caseInsensitive) {
  QString id = caseInsensitive ? QStringLiteral("i") : QStringLiteral("s");
  for (int pf : pfs) id += QLatin1Char(':') + QString::number(pf);
  auto it = lookups.find(id);
  if (it != lookups.end()) return it->second;
  LookupIndex index;
  const std::size_t n = static_cast<std::size_t>(packet.recordCount());
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
std::vector<quint32> LocalTablePrivate::candidates(const std::vector<int>& pfs,
                                                   const QByteArray& wanted, bool caseInsensitive) {
  std::vector<quint32> out;
  const LookupIndex& index = lookupIndex(pfs, caseInsensitive);
  const quint64 h = hashKey(wanted);
  auto it =
      std::lower_bound(index.entries.begin(), index.entries.end(), std::make_pair(h, quint32(0)));
  QByteArray key;
  for (; it != index.entries.end() && it->first == h; ++it) {
    key.clear();
    for (int pf : pfs) recordKey(static_cast<int>(it->second), pf, caseInsensitive, key);
    if (key == wanted) out.push_back(it->second);
  }
  return out;
}

}  // namespace fw
