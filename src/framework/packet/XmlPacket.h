// The XML form of a data packet: DATAPACKET / METADATA (FIELDS, PARAMS) / ROWDATA (ROW).
// A null value is an absent attribute; dates are yyyymmdd, times hh:mm:ssmmm, date-times
// yyyymmddThh:mm:ssmmm; binary blobs are base64 and text blobs the text itself.
#pragma once

#include <QByteArray>
#include <QString>

#include "framework/packet/DataPacket.h"

namespace fw {

// Refuses (fw::Error naming the row, field and byte offset) whatever it cannot keep exactly.
// Parses in place: pass the bytes with std::move to spare a copy of a large file.
DataPacket readXmlPacket(QByteArray xml, const QString& source);
// Refuses what readXmlPacket would refuse or could not give back the same.
QByteArray writeXmlPacket(const DataPacket& packet);

// The XML field type of a field ("string", "i4", "r8", "bin.hex", ...).
QString xmlFieldType(const PacketField& field);

}  // namespace fw
