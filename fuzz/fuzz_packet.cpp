// libFuzzer target for the binary packet reader: any input must end in a packet or an
// fw::Error; a packet read must be written and read back to the same bytes.
#include <cstddef>
#include <cstdint>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/packet/BinaryPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QByteArray written;
  try {
    const fw::DataPacket packet = fw::readBinaryPacket(bytes, QStringLiteral("fuzz.cds"));
    for (int r = 0; r < packet.recordCount(); ++r)
      for (int f = 0; f < static_cast<int>(packet.fields.size()); ++f) {
        try {
          (void)packet.value(r, f);
        } catch (const fw::Error&) {
        }
      }
    written = fw::writeBinaryPacket(packet);
  } catch (const fw::Error&) {
    return 0;
  }
  // What we wrote we must read, and writing it again changes nothing.
  const fw::DataPacket again = fw::readBinaryPacket(written, QStringLiteral("fuzz.cds"));
  if (fw::writeBinaryPacket(again) != written) __builtin_trap();

  fw::LocalTable table;
  try {
    table.setData(fw::Variant::packet(written));
    for (table.first(); !table.eof(); table.next())
      for (const fw::FieldDef& field : table.fields())
        (void)table.valueAt(table.recNo() - 1, table.fieldIndex(field.name));
  } catch (const fw::Error&) {
  }
  return 0;
}
