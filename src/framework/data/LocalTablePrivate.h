// LocalTablePrivate: the state behind a LocalTable, split by concern over several files.
//
//   LocalTableRecords.cpp  record store: fields, loading a packet, reading and writing values
//   LocalTableKeys.cpp     the one key codec (sort order and lookup keys) and lookup indexes
//   LocalTableView.cpp     visible rows: filter evaluation and the index in force
//   LocalTableEdit.cpp     cursor and edit buffer: insert, post, cancel, remove
//   LocalTable.cpp         the public API, which talks only to this class
//
// Records stay encoded in the DataPacket (framework/packet); this class never touches a
// file itself. Signals go out through `q`.
#pragma once

#include <QHash>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "framework/data/LocalTable.h"
#include "framework/data/TableFilter.h"
#include "framework/packet/DataPacket.h"

namespace fw {

struct LookupIndex {
  std::vector<std::pair<quint64, quint32>> entries;  // (hash, record), sorted
};

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

  // --- record store (LocalTableRecords.cpp) ------------------------------------------------
  void setFields(std::vector<FieldDef> defs);
  int lookup(const QString& fieldName) const;
  int require(const QString& fieldName) const;
  std::vector<int> packetFields(const QString& fieldList) const;  // ";"-separated names
  QString tableLabel() const;
  void requireActive() const;
  void requireEditing() const;
  void computeCuts();
  void adopt(DataPacket&& p, const QString& source);
  void afterRecordsReplaced();

  Variant storedValue(int record, int pf) const {
    if (record < 0) return {};
    if (record == editRecord && buffer[static_cast<std::size_t>(pf)])
      return *buffer[static_cast<std::size_t>(pf)];
    return packet.value(record, pf);
  }
  Variant fieldValue(int field) const;
  FieldType storedType(int field) const;
  QString textOf(int field, const Variant& v) const;
  Variant asOwnType(int field, const Variant& v) const;
  QString displayOf(int field, const Variant& v) const;
  Variant normalize(int pf, const Variant& v) const;
  Variant fromText(int pf, const QString& text) const;
  void write(int field, const Variant& raw);
  DataPacket snapshot() const;

  // --- key codec and lookup indexes (LocalTableKeys.cpp) ----------------------------------
  void sortRows(const IndexDef& index);
  static int compareValues(const Variant& a, const Variant& b);
  void recordKey(int record, int pf, bool caseInsensitive, QByteArray& key) const;
  bool valueKey(int pf, const Variant& v, bool caseInsensitive, QByteArray& key) const;
  bool encodeKey(int pf, const ValueSpan* s, const Variant* v, bool caseInsensitive,
                 QByteArray& key) const;
  const LookupIndex& lookupIndex(const std::vector<int>& pfs, bool caseInsensitive);
  std::vector<quint32> candidates(const std::vector<int>& pfs, const QByteArray& wanted,
                                  bool caseInsensitive);

  // --- view and filter (LocalTableView.cpp) -------------------------------------------------
  int recordCount() const {
    return materialized ? static_cast<int>(rows.size()) : packet.recordCount();
  }
  int recordAt(int row) const {
    return materialized ? static_cast<int>(rows[static_cast<std::size_t>(row)]) : row;
  }
  int rowOf(int record) const;
  int currentRecord() const { return cur >= 0 && cur < recordCount() ? recordAt(cur) : -1; }
  const IndexDef* indexInForce() const;
  void ensureFilterTree();
  void rebuildView();
  void buildView();
  std::optional<std::vector<quint32>> indexedFilter();
  Variant literalValue(int pf, const QString& literal) const;
  void checkFilterFields(const FilterNode& node) const;
  bool literalKey(int pf, const QString& literal, QByteArray& key) const;
  bool matches(const FilterNode& node, int record);

  // --- cursor and edit buffer (LocalTableEdit.cpp) -----------------------------------------
  void moveFirst();
  void setCursor(int row);
  void follow(int record, int fallbackRow);
  void discardEdit();
  void beginEdit(int record);
  void shiftRows(int from, int delta);
  void insertAt(int row, int record);
  void removeRecord(int record);
  void post();
  void cancel();
};

}  // namespace fw
