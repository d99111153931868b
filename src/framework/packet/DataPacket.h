// DataPacket: a table as the data packet files hold it — field descriptors, packet
// properties and records — kept close to the bytes on disk. Each record stays in its
// encoded form (status, null bits, values) inside one shared buffer, and values are decoded
// only when read; so a 100 000-row catalog costs about its file size in memory, and an
// unchanged table is written back byte for byte as it was read.
//
// The binary, XML and JSON readers and writers fill and read this model; LocalTable keeps
// its records in one.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <vector>

#include "framework/core/DateTime.h"
#include "framework/core/FieldDef.h"
#include "framework/text/Variant.h"

namespace fw {

// Type codes of the packet's field and property descriptors (low 6 bits of `type`).
namespace packettype {
constexpr int Integer = 1;
constexpr int Unsigned = 2;
constexpr int Boolean = 3;
constexpr int Float = 4;
constexpr int Bcd = 5;
constexpr int Date = 6;
constexpr int Time = 7;
constexpr int Timestamp = 8;
constexpr int Text = 9;
constexpr int WideText = 10;
constexpr int Bytes = 11;
constexpr quint16 Varying = 0x40;
constexpr quint16 Array = 0x80;
constexpr quint16 CodeMask = 0x3F;
}  // namespace packettype

// The dates every packet form can hold: 1 January 0001 to 31 December 9999.
constexpr int kFirstDay = 1;
constexpr int kLastDay = 3652059;

struct PacketProperty {
  QByteArray name;  // as stored (Windows-1252)
  quint16 size = 0;
  quint16 type = 0;
  quint32 count = 0;  // elements, for arrays
  QByteArray value;   // the value bytes (for varying values without the length prefix)

  bool isArray() const { return type & packettype::Array; }
  bool isVarying() const { return !isArray() && (type & packettype::Varying); }
  // Fixed or array elements read as little-endian integers (signed for code 1).
  qint64 integer() const;
  std::vector<qint64> integers() const;
  // A varying text without its terminating NUL.
  QString text() const;

  static PacketProperty makeInteger(const QByteArray& name, int code, int size, qint64 value);
  static PacketProperty makeText(const QByteArray& name, const QString& text);
  static PacketProperty makeArray(const QByteArray& name, int code, int size,
                                  const std::vector<qint64>& values);
};

struct PacketField {
  QByteArray rawName;  // as stored
  QString name;
  quint16 size = 0;
  quint16 type = 0;
  quint16 attributes = 0;
  std::vector<PacketProperty> properties;

  // Filled by DataPacket::prepare().
  FieldType fieldType = FieldType::Text;
  int fixedSize = 0;   // bytes of a fixed value; 0 for varying values
  int prefixSize = 0;  // bytes of the length prefix of a varying value
  int maxBytes = 0;    // longest text value its WIDTH allows; 0: no WIDTH

  int code() const { return type & packettype::CodeMask; }
  bool varying() const { return type & packettype::Varying; }
  const PacketProperty* property(const char* name) const;
  int width() const;  // the WIDTH property, 0 when absent
  QString subtype() const;

  // The descriptor the host writes for a field of this declaration.
  static PacketField fromDef(const FieldDef& def);
  FieldDef toDef() const;
};

// Where a value sits inside an encoded record.
struct ValueSpan {
  const char* data = nullptr;
  qsizetype size = 0;
  bool null = true;
};

class DataPacket {
 public:
  struct Record {
    quint32 offset = 0;  // in the arena
    quint32 length = 0;
  };

  qint32 version = 1;
  qint32 reserved1 = 24;
  qint32 reserved2 = 3;
  std::vector<PacketField> fields;
  std::vector<PacketProperty> properties;

  // A new, empty packet with the given fields and the writer's locale property.
  static DataPacket create(const std::vector<FieldDef>& defs);

  // Checks each field's type and size and fills their decoding details; throws fw::Error
  // naming the field and its type code for anything it cannot read.
  void prepare();

  int fieldIndex(const QString& name) const;  // exact, then case-insensitive; -1 if absent
  int nullBytes() const { return static_cast<int>((fields.size() + 3) / 4); }
  const PacketProperty* property(const char* name) const;

  // Reading records.
  ValueSpan span(int record, int field) const;
  bool isNull(int record, int field) const { return span(record, field).null; }
  Variant value(int record, int field) const;  // blobs and fixed bytes as Kind::Packet
  QString text(int record, int field) const;   // text values (and text blobs) as text
  static Variant decode(const PacketField& field, const ValueSpan& span);
  // A decimal (bcd) value exactly, as a number text: decode() gives it as a double.
  static QByteArray decimalText(const PacketField& field, const ValueSpan& span);

  // Length of the encoded record starting at `data`; -1 when it does not fit in `available`
  // bytes, -2 when a text is longer than its field's width; `badField` tells which field.
  qsizetype measure(const char* data, qsizetype available, int* badField) const;

  // The records, kept encoded one after another in one arena.
  int recordCount() const { return static_cast<int>(records_.size()); }
  bool isEmpty() const { return records_.empty(); }
  // The encoded record (inline: codecs and the table read it once per record and value).
  QByteArrayView recordBytes(int record) const {
    const Record& r = records_[static_cast<std::size_t>(record)];
    return QByteArrayView(arena_.constData() + r.offset, r.length);
  }
  qsizetype arenaSize() const { return arena_.size(); }
  qsizetype liveBytes() const;  // the bytes of the records in order, without dead ones

  // Adds, replaces or removes an encoded record; a replaced or removed one leaves its bytes
  // dead in the arena until compactIfWasteful.
  void appendRecord(const QByteArray& encoded);
  void insertRecord(int at, const QByteArray& encoded);
  void replace(int record, const QByteArray& encoded);
  void remove(int record);
  void clearRecords();
  // Drops dead records from the arena when they take more room than the live ones.
  void compactIfWasteful();
  // For readers that encode in place: `arena` holds the records at the spans of `records`,
  // each already measured against its bytes.
  void adoptRecords(QByteArray arena, std::vector<Record> records);

 private:
  Record store(const QByteArray& encoded);  // appended to the arena

  QByteArray arena_;             // encoded records (and, after edits, some dead ones)
  std::vector<Record> records_;  // the table's records in order
  qsizetype deadBytes_ = 0;      // arena bytes of records no longer in `records_`
};

// What a record builder does with a character the table's code page lacks: readers of
// files refuse it (unless a CodePageReplacement is active); a table being edited puts '?',
// as the host's own fields do.
enum class Unencodable { Refuse, Replace };

// Builds one encoded record, fields given in any order; unset fields stay null.
class RecordBuilder {
 public:
  explicit RecordBuilder(const DataPacket& packet, Unencodable unencodable = Unencodable::Refuse);
  void reset();
  void setNull(int field);
  // Encodes a value of any kind for the field's type; throws fw::Error when it cannot.
  void setVariant(int field, const Variant& value);
  // Text into a text, wide text or blob field; `maxChars` cuts it (-1: whole text, which
  // must then fit the field's width).
  void setText(int field, QStringView text, qsizetype maxChars = -1);
  // The value's bytes as stored (for varying values without the length prefix).
  void setRaw(int field, const char* data, qsizetype size);
  QByteArray finish(quint8 status = 0) const;
  // The stored bytes of a fixed-size value (numbers, flags, dates) for the field's type.
  static QByteArray encodeFixed(const PacketField& field, const Variant& value);
  void appendTo(QByteArray& out, quint8 status = 0) const;

 private:
  void begin(int field);
  void end(int field);
  const DataPacket& packet_;
  Unencodable unencodable_;
  QByteArray scratch_;
  std::vector<std::pair<qsizetype, qsizetype>> slices_;  // per field: start, size; size -1: null
};

}  // namespace fw
