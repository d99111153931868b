// The binary data packet: the table file format of the host's client tables.
// Reading checks every length and count against the bytes that remain, so any input ends
// in a packet or in an fw::Error naming the field, the offset and what was expected.
#pragma once

#include <QByteArray>
#include <QString>

#include "framework/packet/DataPacket.h"

namespace fw {

// `source` names the file (or "pacote de dados") in error texts. The packet keeps a
// reference to `bytes` as its record store.
DataPacket readBinaryPacket(const QByteArray& bytes, const QString& source);

// Records are written with status 0 (merged data); a change-log property is not written.
QByteArray writeBinaryPacket(const DataPacket& packet);

}  // namespace fw
