// What the JSON packet reader and writer share (the type names of the fields), and the
// reader's input stream. Private to JsonPacket*.cpp.
#pragma once

#include <rapidjson/error/error.h>

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstddef>

#include "framework/packet/DataPacket.h"

namespace fw::jsonpacket {

struct JsonType {
  const char* name;
  quint16 type;
  quint16 size;
};

constexpr JsonType kJsonTypes[] = {
    {"string", packettype::Varying | packettype::Text, 1},
    {"wstring", packettype::Varying | packettype::WideText, 1},
    {"i1", packettype::Integer, 1},
    {"i2", packettype::Integer, 2},
    {"i4", packettype::Integer, 4},
    {"i8", packettype::Integer, 8},
    {"u1", packettype::Unsigned, 1},
    {"u2", packettype::Unsigned, 2},
    {"u4", packettype::Unsigned, 4},
    {"u8", packettype::Unsigned, 8},
    {"boolean", packettype::Boolean, 2},
    {"r8", packettype::Float, 8},
    {"bcd", packettype::Bcd, 34},
    {"date", packettype::Date, 4},
    {"time", packettype::Time, 4},
    {"dateTime", packettype::Timestamp, 8},
    {"blob", packettype::Varying | packettype::Bytes, 4},
};

// The input under a moving limit: each element may take only the bytes its place in the
// table allows, and past that the stream ends, so a hostile file is refused within the
// first element too long for its place instead of after it has all been parsed.
class LimitedStream {
 public:
  using Ch = char;
  explicit LimitedStream(const QByteArray& bytes)
      : data_(bytes.constData()), size_(static_cast<std::size_t>(bytes.size())) {}

  Ch Peek() const { return pos_ < end_ ? data_[pos_] : '\0'; }
  Ch Take() { return pos_ < end_ ? data_[pos_++] : '\0'; }
  std::size_t Tell() const { return pos_; }
  Ch* PutBegin() { return nullptr; }
  void Put(Ch) {}
  void Flush() {}
  std::size_t PutEnd(Ch*) { return 0; }

  void skip(std::size_t bytes) { pos_ = end_ = std::min(pos_ + bytes, size_); }
  void allow(std::size_t bytes) { end_ = bytes >= size_ - pos_ ? size_ : pos_ + bytes; }
  std::size_t allowed() const { return end_ - pos_; }
  bool stoppedAtLimit() const { return end_ < size_ && pos_ >= end_; }

 private:
  const char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
};

// The integer a JSON number stands for ("12", "-3", "1e3", "2.50e1"), as an optional '-'
// and decimal digits.
struct IntegerText {
  bool integral = true;
  bool huge = false;  // more digits than any field holds
  QByteArray digits;
};
IntegerText integerText(const QByteArray& raw);
// A date-time's milliseconds, rounded to the nearest; -1 outside the calendar.
double wholeMilliseconds(double dt);
// RapidJSON's parse error in words.
QString parseErrorText(rapidjson::ParseErrorCode code);

}  // namespace fw::jsonpacket
