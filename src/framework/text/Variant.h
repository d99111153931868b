// Variant: the dynamically typed value that crosses the module's boundary (printer bridge,
// dialogs, parameter bags) and that a local table gives when a field is read as a variant.
// Kinds: null (empty), text, integer, number, flag, date-time, data packet (the binary
// bytes of a whole table) and array (indexed from 0). Small, copyable, value semantics;
// arrays share their storage until written (copy on write).
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace fw {

class Variant;
using VariantList = std::vector<Variant>;

class Variant {
 public:
  enum class Kind { Null, Text, Integer, Number, Flag, DateTime, Packet, Array };

  Variant() = default;  // null
  Variant(const QString& text);
  Variant(const char* utf8);
  Variant(int value);
  Variant(qint64 value);
  Variant(double value);
  Variant(bool value);
  static Variant dateTime(double days);
  static Variant packet(const QByteArray& bytes);
  static Variant array(VariantList items);
  static Variant emptyArray(int count);  // `count` null elements, indexed 0..count-1

  Kind kind() const { return kind_; }
  bool isNull() const { return kind_ == Kind::Null; }
  bool isArray() const { return kind_ == Kind::Array; }

  // Conversions, as the host framework's variants convert. Null gives "", 0, false.
  // A text that is not a number fails with fw::Error when read as a number or integer.
  // A true flag reads as -1 when read as a number or integer; numbers round half to even.
  QString toText() const;
  double toNumber() const;
  qint64 toInteger() const;
  bool toFlag() const;
  double toDateTime() const;
  QByteArray toPacket() const;  // empty for null

  // Arrays. Out-of-range indices fail with fw::Error.
  int size() const;
  const Variant& at(int index) const;
  Variant& operator[](int index);  // detaches shared storage
  const VariantList& items() const;

  bool operator==(const Variant& other) const;
  bool operator!=(const Variant& other) const { return !(*this == other); }

  // A readable form for test failures and logs: kind and value.
  QString debugText() const;

 private:
  Kind kind_ = Kind::Null;
  QString text_;
  QByteArray bytes_;
  union {
    qint64 integer_ = 0;
    double number_;
    bool flag_;
  };
  std::shared_ptr<VariantList> items_;
};

}  // namespace fw
