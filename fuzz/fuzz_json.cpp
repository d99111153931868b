// libFuzzer target for the JSON table reader: any input must end in a packet or an
// fw::Error, within the element limits; a packet read must be written and read back to
// the same JSON.
#include <cstddef>
#include <cstdint>

#include "framework/core/Error.h"
#include "framework/packet/BinaryPacket.h"
#include "framework/packet/JsonPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QByteArray written;
  try {
    const fw::DataPacket packet = fw::readJsonPacket(bytes, QStringLiteral("fuzz.json"));
    written = fw::writeJsonPacket(packet);
  } catch (const fw::Error&) {
    return 0;
  }
  // What we wrote we must read to the same values, in JSON and through the binary form.
  const fw::DataPacket again = fw::readJsonPacket(written, QStringLiteral("fuzz.json"));
  if (fw::writeJsonPacket(again) != written) __builtin_trap();
  const QByteArray binary = fw::writeBinaryPacket(again);
  if (fw::writeJsonPacket(fw::readBinaryPacket(binary, QStringLiteral("fuzz.cds"))) != written)
    __builtin_trap();
  return 0;
}
