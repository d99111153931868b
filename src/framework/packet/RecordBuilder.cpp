// Encoding one record of a data packet, value by value, for the field's stored type; a value
// the field cannot hold exactly is refused naming the field.
#include <cmath>
#include <cstring>
#include <limits>

#include "framework/core/DateTime.h"
#include "framework/core/Error.h"
#include "framework/packet/CodePage1252.h"
#include "framework/packet/DataPacket.h"
#include "framework/packet/PacketBytes.h"

namespace fw {

using namespace packetbytes;

namespace {

qsizetype countSurrogatePairs(QStringView text) {
  qsizetype n = 0;
  for (qsizetype i = 0; i + 1 < text.size(); ++i)
    if (text[i].isHighSurrogate() && text[i + 1].isLowSurrogate()) ++n, ++i;
  return n;
}

qint64 checkedInteger(const PacketField& f, const Variant& value) {
  const qint64 v = value.toInteger();
  const bool isSigned = f.code() == packettype::Integer;
  const int bits = f.size * 8;
  bool fits = true;
  if (bits < 64) {
    if (isSigned)
      fits = v >= -(qint64(1) << (bits - 1)) && v < (qint64(1) << (bits - 1));
    else
      fits = v >= 0 && v < (qint64(1) << bits);
  } else if (!isSigned) {
    fits = v >= 0;
  }
  if (!fits)
    throw Error(QStringLiteral("Campo '%1': o valor %2 não cabe no campo.").arg(f.name).arg(v));
  return v;
}

}  // namespace

RecordBuilder::RecordBuilder(const DataPacket& packet, Unencodable unencodable)
    : packet_(packet), unencodable_(unencodable) {
  reset();
}

void RecordBuilder::reset() {
  scratch_.truncate(0);  // keeps its room: readers reset once a record
  slices_.assign(packet_.fields.size(), {0, -1});
}

void RecordBuilder::setNull(int field) { slices_[static_cast<std::size_t>(field)] = {0, -1}; }

void RecordBuilder::begin(int field) {
  slices_[static_cast<std::size_t>(field)] = {scratch_.size(), 0};
}

void RecordBuilder::end(int field) {
  auto& slice = slices_[static_cast<std::size_t>(field)];
  slice.second = scratch_.size() - slice.first;
  const PacketField& f = packet_.fields[static_cast<std::size_t>(field)];
  if (f.prefixSize && f.prefixSize < 8 && slice.second >= (qsizetype(1) << (8 * f.prefixSize))) {
    scratch_.truncate(slice.first);
    slice = {0, -1};
    throw Error(QStringLiteral("Campo '%1': valor longo demais para o campo.").arg(f.name));
  }
  if (f.fixedSize && slice.second != f.fixedSize) {
    scratch_.truncate(slice.first);
    slice = {0, -1};
    throw Error(QStringLiteral("Campo '%1': valor com tamanho diferente do campo.").arg(f.name));
  }
}

void RecordBuilder::setRaw(int field, const char* data, qsizetype size) {
  begin(field);
  scratch_.append(data, size);
  end(field);
}

void RecordBuilder::setText(int field, QStringView text, qsizetype maxChars) {
  const PacketField& f = packet_.fields[static_cast<std::size_t>(field)];
  if (!isTextType(f.fieldType) && f.fieldType != FieldType::Blob) {
    setVariant(field, Variant(text.toString()));
    return;
  }
  if (maxChars < 0 && f.maxBytes) {
    const qsizetype chars =
        f.fieldType == FieldType::WideText ? text.size() : text.size() - countSurrogatePairs(text);
    const qsizetype width = f.fieldType == FieldType::WideText ? f.maxBytes / 2 : f.maxBytes;
    if (chars > width)
      throw Error(QStringLiteral("Campo '%1': texto de %2 caracteres; a largura do campo é %3.")
                      .arg(f.name)
                      .arg(chars)
                      .arg(width));
  }
  QString checked;  // the text with '?' for what the code page lacks, where that is allowed
  if (f.fieldType != FieldType::WideText) {
    const QStringView part = maxChars >= 0 ? text.left(maxChars) : text;
    if (findUnencodable(part) >= 0) {
      checked = unencodable_ == Unencodable::Refuse
                    ? requireEncodable(part, QStringLiteral("Campo '%1'").arg(f.name))
                    : replaceUnencodable(part);
      text = checked;
    }
  }
  begin(field);
  if (f.fieldType == FieldType::WideText) {
    qsizetype n = maxChars >= 0 ? std::min(maxChars, text.size()) : text.size();
    if (n > 0 && n < text.size() && text[n - 1].isHighSurrogate()) --n;
    for (qsizetype i = 0; i < n; ++i) appendLE(scratch_, text[i].unicode(), 2);
  } else {
    appendWindows1252(scratch_, text, maxChars);
  }
  end(field);
}

void RecordBuilder::setVariant(int field, const Variant& value) {
  if (value.isNull()) {
    setNull(field);
    return;
  }
  const PacketField& f = packet_.fields[static_cast<std::size_t>(field)];
  switch (f.fieldType) {
    case FieldType::Text:
    case FieldType::WideText:
      setText(field, value.toText());
      return;
    case FieldType::Blob: {
      if (value.kind() == Variant::Kind::Packet) {
        const QByteArray bytes = value.toPacket();
        if (f.fixedSize && bytes.size() < f.fixedSize) {
          QByteArray padded = bytes;
          padded.append(QByteArray(f.fixedSize - bytes.size(), '\0'));
          setRaw(field, padded.constData(), padded.size());
        } else {
          setRaw(field, bytes.constData(), bytes.size());
        }
      } else {
        setText(field, value.toText());
      }
      return;
    }
    default:
      break;
  }
  const QByteArray bytes = encodeFixed(f, value);
  setRaw(field, bytes.constData(), bytes.size());
}

QByteArray RecordBuilder::encodeFixed(const PacketField& f, const Variant& value) {
  QByteArray bytes;
  switch (f.fieldType) {
    case FieldType::Int8:
    case FieldType::Int16:
    case FieldType::Int32:
    case FieldType::Int64:
    case FieldType::UInt8:
    case FieldType::UInt16:
    case FieldType::UInt32:
    case FieldType::UInt64:
      appendLE(bytes, static_cast<quint64>(checkedInteger(f, value)), f.size);
      break;
    case FieldType::Boolean:
      appendLE(bytes, value.toFlag() ? 1 : 0, f.size);
      break;
    case FieldType::Number: {
      const double d = value.toNumber();
      bytes.resize(8);
      std::memcpy(bytes.data(), &d, 8);
      break;
    }
    case FieldType::Bcd:
      encodeBcd(bytes, f, value.toNumber());
      break;
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime: {
      const double dt = value.toDateTime();
      if (!(dt >= kFirstDay - kDayOfEpoch && dt < kLastDay + 1 - kDayOfEpoch))
        outOfRange(f, QStringLiteral("data"));
      if (f.fieldType == FieldType::Date) {
        appendLE(bytes, static_cast<quint64>(static_cast<qint64>(std::floor(dt)) + kDayOfEpoch), 4);
      } else if (f.fieldType == FieldType::Time) {
        qint64 ms = std::llround((dt - std::floor(dt)) * kMsPerDay);
        if (ms >= static_cast<qint64>(kMsPerDay)) ms = 0;
        appendLE(bytes, static_cast<quint64>(ms), 4);
      } else {
        const double ms = std::round((dt + kDayOfEpoch) * kMsPerDay);
        if (ms >= (kLastDay + 1) * kMsPerDay) outOfRange(f, QStringLiteral("data"));
        bytes.resize(8);
        std::memcpy(bytes.data(), &ms, 8);
      }
      break;
    }
    default:
      break;
  }
  return bytes;
}

void RecordBuilder::appendTo(QByteArray& out, quint8 status) const {
  const int nb = packet_.nullBytes();
  const qsizetype start = out.size();
  out.append(static_cast<char>(status));
  out.append(QByteArray(nb, '\0'));
  for (std::size_t i = 0; i < slices_.size(); ++i) {
    const auto& [at, size] = slices_[i];
    if (size < 0) {
      out[start + 1 + static_cast<qsizetype>(i / 4)] =
          static_cast<char>(out[start + 1 + static_cast<qsizetype>(i / 4)] | (1 << ((i % 4) * 2)));
      continue;
    }
    const PacketField& f = packet_.fields[i];
    if (f.prefixSize) appendLE(out, static_cast<quint64>(size), f.prefixSize);
    out.append(scratch_.constData() + at, size);
  }
}

QByteArray RecordBuilder::finish(quint8 status) const {
  QByteArray out;
  appendTo(out, status);
  return out;
}

}  // namespace fw
