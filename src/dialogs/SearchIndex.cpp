// Building the search index once, and the per-keystroke filter over it.
#include "dialogs/SearchIndex.h"

#include <QElapsedTimer>
#include <QHash>  // qHash(QStringView)
#include <QStringMatcher>
#include <QTimer>
#include <algorithm>

#include "dialogs/TextFolding.h"
#include "framework/text/NumberText.h"

namespace dialogs {

namespace {

constexpr QChar kFieldEnd(0x1F);
constexpr QChar kRowEnd(u'\n');

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

SearchIndex::SearchIndex(const fw::LocalTable& table) : SearchIndex(table, Deferred{}) {
  addRows(table, rowCount_);
}

SearchIndex::SearchIndex(const fw::LocalTable& table, Deferred) {
  const std::vector<fw::FieldDef>& fields = table.fields();
  for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
    const fw::FieldDef& field = fields[static_cast<std::size_t>(i)];
    if (field.visible) {
      // Plain numbers in a pick list are prices: "18,90", not "18,9".
      const bool amount =
          (field.type == fw::FieldType::Number || field.type == fw::FieldType::Bcd) &&
          !field.currency && !field.displayText;
      columns_.push_back({i, field.displayLabel(), isNumericType(field.type), amount,
                          fw::isTextType(field.type) ? field.width : 12});
      searched_.push_back(fw::isTextType(field.type));
    } else if (fw::isTextType(field.type)) {
      keyedOther_.push_back(i);
    }
  }

  rowCount_ = table.active() ? table.recordCount() : 0;
  rowStart_.reserve(static_cast<std::size_t>(rowCount_) + 1);
  rowStart_.push_back(0);
  text_.reserve(static_cast<qsizetype>(rowCount_) * 48);
  visibleKeys_.keys.reserve(static_cast<std::size_t>(rowCount_) * columns_.size());
  otherKeys_.keys.reserve(static_cast<std::size_t>(rowCount_) * keyedOther_.size());
}

bool SearchIndex::addRows(const fw::LocalTable& table, int count) {
  const int end = nextRow_ + std::min(count, rowCount_ - nextRow_);
  for (int row = nextRow_; row < end; ++row) {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      const QString shown = cellText(table, row, columns_[c]);
      addKey(visibleKeys_.keys, shown, row);
      if (searched_[c]) {
        appendFolded(text_, shown);
        text_.append(kFieldEnd);
      }
    }
    text_.append(kRowEnd);
    rowStart_.push_back(text_.size());
    for (const int field : keyedOther_) addKey(otherKeys_.keys, table.textAt(row, field), row);
  }
  nextRow_ = end;
  for (Keys* keys : {&visibleKeys_, &otherKeys_}) {
    const std::size_t from = keys->runEnds.empty() ? 0 : keys->runEnds.back();
    if (keys->keys.size() == from) continue;
    std::sort(keys->keys.begin() + static_cast<std::ptrdiff_t>(from), keys->keys.end(),
              byHashThenRow);
    keys->runEnds.push_back(keys->keys.size());
  }
  return complete();
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

namespace {

// Rows indexed per event-loop turn are measured in time, not rows: a slow till and a fast
// one both stay responsive.
constexpr qint64 kSliceNanoseconds = 4'000'000;
constexpr int kRowsBetweenClockReads = 128;

struct CacheEntry {
  std::shared_ptr<SearchIndex> index;
  std::vector<QMetaObject::Connection> watches;
};

// Tables that outlive the cache (statics destroyed after it) must not call into it.
struct Cache : QHash<const fw::LocalTable*, CacheEntry> {
  ~Cache() {
    for (const CacheEntry& entry : std::as_const(*this))
      for (const QMetaObject::Connection& watch : entry.watches) QObject::disconnect(watch);
  }
};

Cache& cache() {
  static Cache entries;
  return entries;
}

}  // namespace

std::shared_ptr<SearchIndex> SearchIndex::cached(const fw::LocalTable& table, bool deferred) {
  if (const auto it = cache().constFind(&table); it != cache().constEnd()) return it->index;

  CacheEntry entry{deferred ? std::shared_ptr<SearchIndex>(new SearchIndex(table, Deferred{}))
                            : std::make_shared<SearchIndex>(table),
                   {}};
  const fw::LocalTable* key = &table;
  const auto forget = [key] {
    const auto it = cache().find(key);
    if (it == cache().end()) return;
    for (const QMetaObject::Connection& watch : it->watches) QObject::disconnect(watch);
    cache().erase(it);
  };
  entry.watches = {
      QObject::connect(&table, &fw::LocalTable::recordsChanged, forget),
      QObject::connect(&table, &fw::LocalTable::valueChanged, forget),
      QObject::connect(&table, &QObject::destroyed, forget),
  };
  return cache().insert(key, std::move(entry))->index;
}

std::shared_ptr<const SearchIndex> SearchIndex::of(const fw::LocalTable& table) {
  const std::shared_ptr<SearchIndex> index = cached(table, false);
  // A search before the prepared index is done finishes it now.
  if (!index->complete()) index->addRows(table, index->rowCount_);
  return index;
}

void SearchIndex::prepare(const fw::LocalTable& table) {
  if (cache().contains(&table)) return;
  const std::weak_ptr<SearchIndex> building = cached(table, true);
  const fw::LocalTable* key = &table;
  // Each slice runs on the event loop; the table as context drops it if the table goes.
  struct Slice {
    std::weak_ptr<SearchIndex> building;
    const fw::LocalTable* table;
    void operator()() const {
      const std::shared_ptr<SearchIndex> index = building.lock();
      // Forgotten (the table changed) or finished by a search meanwhile: nothing to do.
      if (!index || index->complete()) return;
      QElapsedTimer clock;
      clock.start();
      while (!index->addRows(*table, kRowsBetweenClockReads))
        if (clock.nsecsElapsed() >= kSliceNanoseconds) {
          QTimer::singleShot(0, table, *this);
          return;
        }
    }
  };
  QTimer::singleShot(0, &table, Slice{building, key});
}

bool SearchIndex::isReady(const fw::LocalTable& table) {
  const auto it = cache().constFind(&table);
  return it != cache().constEnd() && it->index->complete();
}

int SearchIndex::findKey(const Keys& keys, const QString& folded) const {
  const std::uint32_t hash = keyHash(folded);
  std::size_t runStart = 0;
  for (const std::size_t runEnd : keys.runEnds) {
    const auto first = keys.keys.begin() + static_cast<std::ptrdiff_t>(runStart);
    const auto last = keys.keys.begin() + static_cast<std::ptrdiff_t>(runEnd);
    auto it = std::lower_bound(first, last, hash,
                               [](const Key& key, std::uint32_t h) { return key.hash < h; });
    for (; it != last && it->hash == hash; ++it) {
      if (QStringView(keyText_).mid(it->offset, it->length) == folded) return it->row;
    }
    runStart = runEnd;
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
