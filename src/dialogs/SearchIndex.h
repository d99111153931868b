// SearchIndex: what the search dialog types against, built once per table (ahead of the
// first search when prepare() was called, else when the dialog first opens).
// For every visible row of a local table (the table's filter in force) it keeps the folded
// text of the visible text fields in one block, so a keystroke is a single scan, and the
// folded whole values of the fields in two hash-ordered lists for exact code picks:
// the visible fields first, then every other text field (the hidden barcode, the internal
// code), as a barcode scanner types a whole code and Enter.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/data/LocalTable.h"

namespace dialogs {

class SearchIndex {
 public:
  struct Column {
    int fieldIndex;
    QString title;
    bool rightAligned;
    bool amount;     // a plain number, shown as "#,##0.00"
    int widthChars;  // the field's width in characters, a hint for the grid
  };

  // The text a cell shows: the table's display text, numbers with two decimals.
  static QString cellText(const fw::LocalTable& table, int row, const Column& column);

  struct Result {
    std::vector<int> rows;  // visible rows (0-based) to show, in table order
    int exactRow = -1;      // the row the typed text names exactly, -1 when none
  };

  explicit SearchIndex(const fw::LocalTable& table);

  // The index of a table, built on the first call and kept until the table's records,
  // values or filter change (or the table goes away): a catalog is indexed once a session,
  // not at every search. An index prepare() started is finished here.
  static std::shared_ptr<const SearchIndex> of(const fw::LocalTable& table);
  // Starts indexing the table on the event loop, a few milliseconds at a time, so the first
  // search of the day finds the index ready and the screen stays responsive meanwhile.
  // Does nothing when the table's index exists or is being built.
  static void prepare(const fw::LocalTable& table);
  // Whether the table's index is complete (for tests and benchmarks).
  static bool isReady(const fw::LocalTable& table);

  int rowCount() const { return rowCount_; }
  const std::vector<Column>& columns() const { return columns_; }

  // Rows whose visible text fields contain the typed text (case and accents ignored),
  // plus the exactly named row when the text is a whole value of a field of a row that
  // the substring does not show (a hidden code). Blanks around the text do not count.
  Result filter(const QString& typed) const;
  // The first row in table order a visible field of which equals the text exactly
  // (case and accents ignored); failing that, the first such row by any other text field.
  int exactRow(const QString& typed) const;

 private:
  struct Key {
    std::uint32_t hash;
    std::uint32_t offset;  // into keyText_
    std::uint32_t length;
    int row;
  };
  // Keys come in runs, each sorted by hash then row, runs in row order: an index built in
  // slices sorts each slice's keys and never re-sorts the whole.
  struct Keys {
    std::vector<Key> keys;
    std::vector<std::size_t> runEnds;
  };
  struct Deferred {};
  // The table's cached index, created (complete, or empty to be built in slices) if absent.
  static std::shared_ptr<SearchIndex> cached(const fw::LocalTable& table, bool deferred);
  SearchIndex(const fw::LocalTable& table, Deferred);
  // Indexes up to `count` more rows; true once every row is in.
  bool addRows(const fw::LocalTable& table, int count);
  bool complete() const { return nextRow_ >= rowCount_; }
  void addKey(std::vector<Key>& keys, const QString& value, int row);
  int findKey(const Keys& keys, const QString& folded) const;

  int rowCount_ = 0;
  int nextRow_ = 0;
  std::vector<Column> columns_;
  std::vector<bool> searched_;  // per column: a text field, so the search line looks in it
  std::vector<int> keyedOther_;
  QString text_;                     // per row: field, \x1f, field, ..., \n
  std::vector<qsizetype> rowStart_;  // rowCount_ + 1 offsets into text_
  QString keyText_;
  Keys visibleKeys_;
  Keys otherKeys_;
};

}  // namespace dialogs
