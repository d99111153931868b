// View of a LocalTable: which records are visible and in what order. `rows` lists, for
// each visible row, the record's position in the packet; it is materialized only while a
// filter or an index is in force (otherwise row == record). Filter evaluation runs the
// tree from TableFilter against record keys from the key codec; a lone equality filter on
// a large table is answered from a lookup index. Called by the public API and the edit
// buffer after any change of the records.
#include <algorithm>

#include "framework/core/Error.h"
#include "framework/data/LocalTablePrivate.h"
#include "framework/text/NumberText.h"

namespace fw {

int LocalTablePrivate::rowOf(int record) const {
  if (record < 0) return -1;
  if (!materialized) return record < packet.recordCount() ? record : -1;
  if (!indexInForce()) {  // filtered rows keep table order
    const auto it = std::lower_bound(rows.begin(), rows.end(), static_cast<quint32>(record));
    return it != rows.end() && *it == static_cast<quint32>(record)
               ? static_cast<int>(it - rows.begin())
               : -1;
  }
  const auto it = std::find(rows.begin(), rows.end(), static_cast<quint32>(record));
  return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

const LocalTablePrivate::IndexDef* LocalTablePrivate::indexInForce() const {
  if (indexName.isEmpty()) return nullptr;
  for (const IndexDef& def : indexes)
    if (def.name.compare(indexName, Qt::CaseInsensitive) == 0) return &def;
  return nullptr;
}

void LocalTablePrivate::ensureFilterTree() {
  if (!filterTree && filtered && !filterText.trimmed().isEmpty())
    filterTree = parseFilter(filterText);
}

// On an error (a filter naming an unknown field) the view falls back to all records.
void LocalTablePrivate::rebuildView() {
  try {
    buildView();
  } catch (const Error&) {
    materialized = false;
    rows.clear();
    throw;
  }
}

void LocalTablePrivate::buildView() {
  ensureFilterTree();
  const IndexDef* index = indexInForce();
  const bool filtering = filtered && filterTree;
  materialized = index || filtering;
  rows.clear();
  if (!materialized) return;
  const int n = packet.recordCount();
  if (filtering && !index) {
    if (const auto fast = indexedFilter()) {
      rows = *fast;
      return;
    }
  }
  rows.reserve(static_cast<std::size_t>(n));
  for (int r = 0; r < n; ++r)
    if (!filtering || r == editRecord || matches(*filterTree, r))
      rows.push_back(static_cast<quint32>(r));
  if (index) sortRows(*index);
}

// A lone "FIELD = 'x'" filter answered from a lookup index.
std::optional<std::vector<quint32>> LocalTablePrivate::indexedFilter() {
  const FilterNode& node = *filterTree;
  if (node.kind != FilterNode::Kind::Compare || node.notEqual || editRecord >= 0)
    return std::nullopt;
  if (packet.recordCount() < 64) return std::nullopt;
  const int pf = map[static_cast<std::size_t>(require(node.field))];
  QByteArray wanted;
  if (!literalKey(pf, node.literal, wanted)) return std::vector<quint32>{};
  return candidates({pf}, wanted, false);
}

Variant LocalTablePrivate::literalValue(int pf, const QString& literal) const {
  const FieldType t = packet.fields[static_cast<std::size_t>(pf)].fieldType;
  if (isTextType(t) || t == FieldType::Blob) return Variant(literal);
  if (literal.isEmpty()) return {};
  bool ok = false;
  const double number = literal.toDouble(&ok);  // filter numbers are written with '.'
  if (ok && !isDateType(t))
    return t == FieldType::Boolean ? Variant(number != 0.0) : Variant(number);
  if (t == FieldType::Boolean) return Variant(textToFlag(literal));
  if (isDateType(t)) return Variant::dateTime(parseDateTime(literal));
  return Variant(parseNumber(literal));
}

void LocalTablePrivate::checkFilterFields(const FilterNode& node) const {
  if (node.kind == FilterNode::Kind::Compare) {
    require(node.field);
    return;
  }
  if (node.left) checkFilterFields(*node.left);
  if (node.right) checkFilterFields(*node.right);
}

// A literal that cannot stand for a value of the field matches nothing.
bool LocalTablePrivate::literalKey(int pf, const QString& literal, QByteArray& key) const {
  try {
    return valueKey(pf, literalValue(pf, literal), false, key);
  } catch (const Error&) {
    return false;
  }
}

bool LocalTablePrivate::matches(const FilterNode& node, int record) {
  switch (node.kind) {
    case FilterNode::Kind::And:
      return matches(*node.left, record) && matches(*node.right, record);
    case FilterNode::Kind::Or:
      return matches(*node.left, record) || matches(*node.right, record);
    case FilterNode::Kind::Not:
      return !matches(*node.left, record);
    case FilterNode::Kind::Compare:
      break;
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

}  // namespace fw
