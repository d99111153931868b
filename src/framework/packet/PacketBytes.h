// The byte forms the packet codecs share: little-endian integers, the packed decimal (BCD)
// value, and the calendar every packet form can hold. Private to framework/packet.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "framework/packet/DataPacket.h"

namespace fw::packetbytes {

// A little-endian integer of `size` bytes, sign-extended when `isSigned`.
inline qint64 readLE(const char* p, int size, bool isSigned) {
  quint64 v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  if (isSigned && size < 8) {
    const quint64 sign = quint64(1) << (size * 8 - 1);
    if (v & sign) v |= ~((sign << 1) - 1);
  }
  return static_cast<qint64>(v);
}

inline void appendLE(QByteArray& out, quint64 v, int size) {
  for (int i = 0; i < size; ++i) out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A decimal value: byte 0 its precision (digits), byte 1 its places (bits 0-5) and sign
// (bit 7), then two digits a byte. Throws Error naming the field for a malformed value.
double decodeBcd(const PacketField& f, const char* p, qsizetype size);
// The value exactly, as a decimal number text ("-12.5", "0.001", "0").
QByteArray bcdText(const PacketField& f, const char* p, qsizetype size);
// A number written as text ("12", "-0.5", "1e-30") stored exactly; throws Error naming the
// field for what is no number or needs more digits than the field holds (never rounded).
void encodeBcdText(QByteArray& out, const PacketField& f, QByteArrayView text);
// A double by its shortest exact text.
void encodeBcd(QByteArray& out, const PacketField& f, double value);

// Throws Error: `what` of field `f` is outside 01/01/0001 to 31/12/9999.
[[noreturn]] void outOfRange(const PacketField& f, const QString& what);

}  // namespace fw::packetbytes
