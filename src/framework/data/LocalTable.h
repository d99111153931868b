// LocalTable: the in-memory client table of the host framework, as the module uses it.
// Named, typed fields; records in table order; a cursor with begin/end marks; states;
// a filter; locate; an optional index in force; load and save as a binary data packet.
//
// Behaviour the screen relies on:
// - insert() opens a new record with null values BEFORE the current record (the only one
//   in an empty table) and makes it current; post() keeps it current.
// - delete: the following record becomes current (the preceding one if the last was removed).
// - Operations on records (first/next/prior/insert/edit/post/remove/empty/locate/
//   recordCount) on an inactive table throw fw::Error (closed table).
// - isEmpty() is true while inactive (no error). Declared fields can be looked up and read
//   while inactive (empty text, 0, null).
// - Field lookup of an unknown name throws fw::Error naming the field.
// - A table with declared fields that loads a file requires each declared field present
//   with the same type; otherwise the load throws fw::Error naming the field. Fields of the
//   file that are not declared are kept in the records (and saved back) but cannot be
//   looked up by name.
// - A table without declared fields takes its fields from the file.
// Listeners (Qt signals) tell grids when records, values, the cursor or the state change.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "framework/core/FieldDef.h"
#include "framework/text/Variant.h"

namespace fw {

class DataPacket;
class LocalTablePrivate;

class LocalTable : public QObject {
  Q_OBJECT
 public:
  enum class State { Inactive, Browse, Insert, Edit };

  explicit LocalTable(const QString& name = {}, QObject* parent = nullptr);
  ~LocalTable() override;
  LocalTable(const LocalTable&) = delete;
  LocalTable& operator=(const LocalTable&) = delete;

  const QString& name() const;

  // Declared fields (before the table is active). A table with declared fields keeps them
  // across close/load/create.
  void declareFields(const std::vector<FieldDef>& fields);
  bool hasDeclaredFields() const;
  // The fields that can be looked up by name, in order (declared fields, or the file's).
  const std::vector<FieldDef>& fields() const;
  int fieldIndex(const QString& name) const;               // -1 when absent
  const FieldDef& fieldByName(const QString& name) const;  // throws naming the field
  FieldDef& fieldDef(const QString& name);                 // for labels, hooks; throws

  // Lifecycle.
  void loadFromFile(const QString& path);  // binary data packet; throws fw::Error
  void saveToFile(const QString& path);    // binary data packet, atomic; throws fw::Error
  void loadFromXmlFile(const QString& path);
  void saveToXmlFile(const QString& path);
  void createDataSet();  // active and empty, from the declared fields
  void emptyDataSet();   // removes all records; stays active
  void close();          // inactive; records discarded
  bool active() const;
  State state() const;

  // Whole content: the table's structure and records as one binary data packet value
  // (the same bytes as its file). Null for an inactive table with no data.
  Variant data() const;
  void setData(const Variant& packet);  // like loadFromFile, from the bytes
  // The same records as data(), not encoded: for a reader of the values that would
  // otherwise parse data()'s bytes straight back. An empty packet for an inactive table.
  DataPacket snapshot() const;

  // Records and cursor (all visible records, filter applied).
  bool isEmpty() const;
  int recordCount() const;
  int recNo() const;         // 1-based position of the current record among visible ones; 0 if none
  void setRecNo(int recNo);  // moves the cursor (a touch on a grid row); posts pending edits
  void first();
  void last();
  void next();
  void prior();
  bool eof() const;
  bool bof() const;

  void insert();
  void append();  // a new record after the last one
  void edit();
  void post();
  void cancel();
  void remove();  // "delete"

  // Field access on the current record.
  QString asText(const QString& field) const;
  double asNumber(const QString& field) const;
  qint64 asInteger(const QString& field) const;
  bool asFlag(const QString& field) const;
  double asDateTime(const QString& field) const;
  Variant asVariant(const QString& field) const;
  bool isNull(const QString& field) const;
  // Display text (through the field's display-text hook, money in currency format).
  QString displayText(const QString& field) const;
  // Writes need state Insert or Edit; texts are cut to the field's width.
  void setText(const QString& field, const QString& value);
  void setNumber(const QString& field, double value);
  void setDateTime(const QString& field, double value);
  void setVariant(const QString& field, const Variant& value);
  void setNull(const QString& field);

  // Access by visible row and field index, for grids and dialogs (no cursor move).
  QString displayTextAt(int visibleRow, int fieldIndex) const;
  QString textAt(int visibleRow, int fieldIndex) const;
  Variant valueAt(int visibleRow, int fieldIndex) const;

  // Filter: "FIELD = 'literal'" optionally in parentheses, a quote in the literal doubled.
  // Throws fw::Error for a text it cannot read (when it is applied).
  void setFilter(const QString& text);
  const QString& filter() const;
  void setFiltered(bool on);
  bool filtered() const;

  // Locate: fields separated by ";", one value or an array of values in the same order.
  // First record in table order that matches all; cursor unchanged when none does.
  enum LocateOption { NoOptions = 0, CaseInsensitive = 1, PartialKey = 2 };
  bool locate(const QString& fields, const Variant& values, int options = NoOptions);
  // Builds ahead the lookup a first locate on these fields would build (a large catalog
  // takes a noticeable moment), so that first locate answers at once.
  void prepareLocate(const QString& fields, int options = NoOptions);

  // A named index in force: records follow the order of the listed fields (";"-separated).
  void addIndex(const QString& name, const QString& fields);
  void setIndexName(const QString& name);  // "" = table order
  const QString& indexName() const;

 signals:
  void recordsChanged();  // records added, removed, reordered, filter or table replaced
  void valueChanged(int visibleRow);
  void cursorMoved(int visibleRow);  // 0-based visible row, -1 for none
  void stateChanged();

 private:
  std::unique_ptr<LocalTablePrivate> d;
};

}  // namespace fw
