// A JSON form of a data packet, for people who keep table files by hand:
//   {"fields":[{"name":…,"type":…,"width":…,"subtype":…,"attributes":…},…],
//    "params":[{"name":"LCID","value":1046},…],
//    "rows":[[…],…]}
// `type` is one of string wstring i1 i2 i4 i8 u1 u2 u4 u8 boolean r8 bcd date time
// dateTime blob; "size" (the descriptor's size) is written only where it differs from the
// type's usual one. Values are JSON strings, numbers, booleans or null; date, time and
// dateTime values are date-time numbers (days since 30 December 1899, time as the
// fraction, whole milliseconds, years 1 to 9999); blobs are base64. "params" may be left
// out; a number there is a 32-bit integer, a list holds 16-bit field numbers.
//
// The reader refuses, naming row, field and offset, whatever it could not keep exactly:
// wrong types, numbers outside their type, texts wider than their field or with
// characters the code page lacks, and elements longer than their place allows.
#pragma once

#include <QByteArray>
#include <QString>

#include "framework/packet/DataPacket.h"

namespace fw {

QByteArray writeJsonPacket(const DataPacket& packet);
DataPacket readJsonPacket(const QByteArray& json, const QString& source);

// The JSON type name of a field ("string", "i4", …).
QString jsonFieldType(const PacketField& field);

}  // namespace fw
