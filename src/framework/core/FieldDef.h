// FieldDef: one field of a local table as declared by a screen or read from a file.
#pragma once

#include <QString>
#include <functional>

namespace fw {

// The stored types a data packet can hold. The module's own tables use Text, Number
// (a double) and DateTime; the rest come from files the host wrote.
enum class FieldType {
  Text,      // 8-bit text (Windows-1252 on disk), `width` characters at most
  WideText,  // UTF-16 text
  Int8,
  Int16,
  Int32,
  Int64,
  UInt8,
  UInt16,
  UInt32,
  UInt64,
  Boolean,
  Number,  // IEEE double
  Bcd,
  Date,  // date only
  Time,  // time of day only
  DateTime,
  Blob,  // bytes; `subtype` says what they are ("Text", "Graphics", ...)
};

inline bool isTextType(FieldType t) { return t == FieldType::Text || t == FieldType::WideText; }

inline bool isIntegerType(FieldType t) {
  switch (t) {
    case FieldType::Int8:
    case FieldType::Int16:
    case FieldType::Int32:
    case FieldType::Int64:
    case FieldType::UInt8:
    case FieldType::UInt16:
    case FieldType::UInt32:
    case FieldType::UInt64:
      return true;
    default:
      return false;
  }
}

inline bool isDateType(FieldType t) {
  return t == FieldType::Date || t == FieldType::Time || t == FieldType::DateTime;
}

// The attribute bits a packet keeps for a field; other bits are kept as they are.
namespace fieldattr {
inline constexpr int kHidden = 1;
inline constexpr int kReadOnly = 2;
inline constexpr int kRequired = 4;
inline constexpr int kLink = 8;
inline constexpr int kNamed = kHidden | kReadOnly | kRequired | kLink;
}  // namespace fieldattr

// The display-text hook: given the stored value as text, the text a grid shows.
using DisplayTextHook = std::function<QString(const QString& stored)>;

struct FieldDef {
  QString name;  // upper case, unique in its table
  FieldType type = FieldType::Text;
  int width = 20;         // characters, for text fields
  QString label;          // display label; empty means "labelled by its name"
  bool visible = true;    // shown by grids and by the search dialog
  bool currency = false;  // numbers shown in the locale's currency format
  QString subtype;        // packet SUBTYPE ("Money", "Text", ...), kept as read
  int attributes = 0;     // packet attribute bits, fieldattr below
  DisplayTextHook displayText;

  QString displayLabel() const { return label.isEmpty() ? name : label; }

  static FieldDef text(const QString& name, int width, const QString& label = {},
                       bool visible = true) {
    FieldDef f;
    f.name = name;
    f.type = FieldType::Text;
    f.width = width;
    f.label = label;
    f.visible = visible;
    return f;
  }
  static FieldDef number(const QString& name, const QString& label = {}, bool visible = true,
                         bool currency = false) {
    FieldDef f;
    f.name = name;
    f.type = FieldType::Number;
    f.width = 0;
    f.label = label;
    f.visible = visible;
    f.currency = currency;
    return f;
  }
  static FieldDef dateTime(const QString& name, const QString& label = {}, bool visible = true) {
    FieldDef f;
    f.name = name;
    f.type = FieldType::DateTime;
    f.width = 0;
    f.label = label;
    f.visible = visible;
    return f;
  }
};

}  // namespace fw
