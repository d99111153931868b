// libFuzzer target for the XML packet reader: any input must end in a packet or an
// fw::Error; a packet read must be written, read back and written again to the same bytes.
#include <cstddef>
#include <cstdint>

#include "framework/core/Error.h"
#include "framework/packet/BinaryPacket.h"
#include "framework/packet/XmlPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QByteArray xml;
  QByteArray binary;
  try {
    const fw::DataPacket packet = fw::readXmlPacket(std::move(bytes), QStringLiteral("fuzz.xml"));
    for (int r = 0; r < packet.recordCount(); ++r)
      for (int f = 0; f < static_cast<int>(packet.fields.size()); ++f) {
        try {
          (void)packet.value(r, f);
        } catch (const fw::Error&) {
        }
      }
    binary = fw::writeBinaryPacket(packet);
    // What the reader took, the writer writes (or refuses with an error, never a crash).
    xml = fw::writeXmlPacket(packet);
  } catch (const fw::Error&) {
    return 0;
  }
  // What we wrote we read back to the same values.
  const fw::DataPacket again = fw::readXmlPacket(xml, QStringLiteral("fuzz.xml"));
  if (fw::writeBinaryPacket(again) != binary) __builtin_trap();
  if (fw::writeXmlPacket(again) != xml) __builtin_trap();
  return 0;
}
