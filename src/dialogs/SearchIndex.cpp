// Building the search index once, and the per-keystroke filter over it.
#include "dialogs/SearchIndex.h"

#include "dialogs/TextFolding.h"
#include "framework/text/NumberText.h"

#include <QHash>  // qHash(QStringView)
#include <QStringMatcher>

#include <algorithm>

namespace dialogs {

namespace {

constexpr QChar kFieldEnd(0x1F);
constexpr QChar kRowEnd(u'\n');

bool isTextType(fw::FieldType type) {
  return type == fw::FieldType::Text || type == fw::FieldType::WideText;
}

bool isNumericType(fw::FieldType type) {
  switch (type) {
    case fw::FieldType::Text:
    case fw::FieldType::WideText:
    case fw::FieldType::Boolean:
    case fw::FieldType::Date:
    case fw::FieldType::Time:
    case fw::FieldType::DateTime:
    case fw::FieldType::Blob:
      return false;
    default:
      return true;
  }
}

std::uint32_t keyHash(QStringView text) { return static_cast<std::uint32_t>(qHash(text, 0)); }

constexpr auto byHashThenRow = [](const auto& a, const auto& b) {
  return a.hash != b.hash ? a.hash < b.hash : a.row < b.row;
};

QString foldedQuery(const QString& typed) { return foldText(typed).trimmed(); }

}  // namespace

SearchIndex::SearchIndex(const fw::LocalTable& table) {
  const std::vector<fw::FieldDef>& fields = table.fields();
  std::vector<bool> searched;  // per column: a text field, so the search line looks in it
  std::vector<int> keyedOther;
  for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
    const fw::FieldDef& field = fields[static_cast<std::size_t>(i)];
    if (field.visible) {
      // Plain numbers in a pick list are prices: "18,90", not "18,9".
      const bool amount = (field.type == fw::FieldType::Number ||
                           field.type == fw::FieldType::Bcd) &&
                          !field.currency && !field.displayText;
      columns_.push_back({i, field.displayLabel(), isNumericType(field.type), amount,
                          isTextType(field.type) ? field.width : 12});
      searched.push_back(isTextType(field.type));
    } else if (isTextType(field.type)) {
      keyedOther.push_back(i);
    }
  }

  rowCount_ = table.active() ? table.recordCount() : 0;
  rowStart_.reserve(static_cast<std::size_t>(rowCount_) + 1);
  text_.reserve(static_cast<qsizetype>(rowCount_) * 48);
  visibleKeys_.reserve(static_cast<std::size_t>(rowCount_) * columns_.size());
  otherKeys_.reserve(static_cast<std::size_t>(rowCount_) * keyedOther.size());

  for (int row = 0; row < rowCount_; ++row) {
    rowStart_.push_back(text_.size());
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      const QString shown = cellText(table, row, columns_[c]);
      addKey(visibleKeys_, shown, row);
      if (searched[c]) {
        appendFolded(text_, shown);
        text_.append(kFieldEnd);
      }
    }
    text_.append(kRowEnd);
    for (const int field : keyedOther) addKey(otherKeys_, table.textAt(row, field), row);
  }
  rowStart_.push_back(text_.size());
  std::sort(visibleKeys_.begin(), visibleKeys_.end(), byHashThenRow);
  std::sort(otherKeys_.begin(), otherKeys_.end(), byHashThenRow);
}

QString SearchIndex::cellText(const fw::LocalTable& table, int row, const Column& column) {
  if (column.amount) {
    const fw::Variant value = table.valueAt(row, column.fieldIndex);
    return value.isNull() ? QString() : fw::formatAmount(value.toNumber());
  }
  return table.displayTextAt(row, column.fieldIndex);
}

void SearchIndex::addKey(std::vector<Key>& keys, const QString& value, int row) {
  const QString folded = foldText(value).trimmed();
  if (folded.isEmpty()) return;  // an empty field names no row
  const auto offset = static_cast<std::uint32_t>(keyText_.size());
  keyText_.append(folded);
  keys.push_back({keyHash(folded), offset, static_cast<std::uint32_t>(folded.size()), row});
}

std::shared_ptr<const SearchIndex> SearchIndex::of(const fw::LocalTable& table) {
  struct Entry {
    std::shared_ptr<const SearchIndex> index;
    std::vector<QMetaObject::Connection> watches;
  };
  static QHash<const fw::LocalTable*, Entry> cache;
  if (const auto it = cache.constFind(&table); it != cache.constEnd()) return it->index;

  Entry entry{std::make_shared<const SearchIndex>(table), {}};
  const fw::LocalTable* key = &table;
  const auto forget = [key] {
    const auto it = cache.find(key);
    if (it == cache.end()) return;
    for (const QMetaObject::Connection& watch : it->watches) QObject::disconnect(watch);
    cache.erase(it);
  };
  entry.watches = {
      QObject::connect(&table, &fw::LocalTable::recordsChanged, forget),
      QObject::connect(&table, &fw::LocalTable::valueChanged, forget),
      QObject::connect(&table, &QObject::destroyed, forget),
  };
  return cache.insert(key, std::move(entry))->index;
}

int SearchIndex::findKey(const std::vector<Key>& keys, const QString& folded) const {
  const std::uint32_t hash = keyHash(folded);
  auto it = std::lower_bound(keys.begin(), keys.end(), hash,
                             [](const Key& key, std::uint32_t h) { return key.hash < h; });
  for (; it != keys.end() && it->hash == hash; ++it) {
    if (QStringView(keyText_).mid(it->offset, it->length) == folded) return it->row;
  }
  return -1;
}

int SearchIndex::exactRow(const QString& typed) const {
  const QString folded = foldedQuery(typed);
  if (folded.isEmpty()) return -1;
  const int visible = findKey(visibleKeys_, folded);
  return visible >= 0 ? visible : findKey(otherKeys_, folded);
}

SearchIndex::Result SearchIndex::filter(const QString& typed) const {
  Result result;
  const QString query = foldedQuery(typed);
  if (query.isEmpty()) {
    result.rows.resize(static_cast<std::size_t>(rowCount_));
    for (int row = 0; row < rowCount_; ++row) result.rows[static_cast<std::size_t>(row)] = row;
    return result;
  }
  result.exactRow = findKey(visibleKeys_, query);
  if (result.exactRow < 0) result.exactRow = findKey(otherKeys_, query);

  // One scan of the whole block; after a hit the scan resumes at the next row.
  const QStringMatcher matcher(query, Qt::CaseSensitive);
  const QStringView text(text_);
  // The first keystroke is the one that lets most rows through: a plain character search.
  const auto find = [&](qsizetype from) {
    return query.size() == 1 ? text.indexOf(query.front(), from) : matcher.indexIn(text, from);
  };
  qsizetype from = 0;
  int row = 0;
  bool exactListed = result.exactRow < 0;
  while (true) {
    const qsizetype at = find(from);
    if (at < 0) break;
    while (rowStart_[static_cast<std::size_t>(row) + 1] <= at) ++row;
    if (!exactListed && result.exactRow < row) {
      result.rows.push_back(result.exactRow);
      exactListed = true;
    }
    if (row == result.exactRow) exactListed = true;
    result.rows.push_back(row);
    from = rowStart_[static_cast<std::size_t>(row) + 1];
  }
  if (!exactListed) result.rows.push_back(result.exactRow);
  return result;
}

}  // namespace dialogs
