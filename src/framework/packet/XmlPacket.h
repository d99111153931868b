// The XML form of a data packet: DATAPACKET / METADATA (FIELDS, PARAMS) / ROWDATA (ROW).
// A null value is an absent attribute; dates are yyyymmdd, times hh:mm:ssmmm, date-times
// yyyymmddThh:mm:ssmmm; binary blobs are base64 and text blobs the text itself.
#pragma once

#include "framework/packet/DataPacket.h"

#include <QByteArray>
#include <QString>

namespace fw {

DataPacket readXmlPacket(const QByteArray& xml, const QString& source);
QByteArray writeXmlPacket(const DataPacket& packet);

// The XML field type of a field ("string", "i4", "r8", "bin.hex", ...).
QString xmlFieldType(const PacketField& field);

}  // namespace fw
