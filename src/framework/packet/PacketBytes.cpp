#include "framework/packet/PacketBytes.h"

#include <cmath>

#include "framework/core/Error.h"

namespace fw::packetbytes {

double decodeBcd(const PacketField& f, const char* p, qsizetype size) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  const int precision = b[0];
  const int places = b[1] & 0x3F;
  if (precision > (size - 2) * 2 || places > precision)
    throw Error(QStringLiteral("Campo '%1': valor decimal inválido (precisão %2, casas %3).")
                    .arg(f.name)
                    .arg(precision)
                    .arg(places));
  QByteArray digits;
  digits.reserve(precision + 2);
  if (b[1] & 0x80) digits.append('-');
  for (int i = 0; i < precision; ++i) {
    if (i == precision - places) digits.append('.');
    const int nibble = (b[2 + i / 2] >> ((i % 2) ? 0 : 4)) & 0xF;
    if (nibble > 9)
      throw Error(QStringLiteral("Campo '%1': dígito decimal inválido (0x%2).")
                      .arg(f.name)
                      .arg(nibble, 0, 16));
    digits.append(static_cast<char>('0' + nibble));
  }
  if (precision == 0) return 0.0;
  if (digits.endsWith('.')) digits.chop(1);
  return digits.toDouble();
}

void encodeBcd(QByteArray& out, const PacketField& f, double value) {
  if (!std::isfinite(value))
    throw Error(QStringLiteral("Campo '%1': valor não finito.").arg(f.name));
  QByteArray text = QByteArray::number(std::fabs(value), 'f', 15);
  while (text.endsWith('0')) text.chop(1);
  if (text.endsWith('.')) text.chop(1);
  const qsizetype dot = text.indexOf('.');
  int places = dot < 0 ? 0 : static_cast<int>(text.size() - dot - 1);
  text.remove(dot < 0 ? text.size() : dot, dot < 0 ? 0 : 1);
  qsizetype lead = 0;
  while (lead < text.size() - 1 && text[lead] == '0') ++lead;
  text.remove(0, lead);
  const int capacity = (f.size - 2) * 2;
  while (text.size() > capacity && places > 0) {
    text.chop(1);
    --places;
  }
  if (text.size() > capacity || places > 63)
    throw Error(
        QStringLiteral("Campo '%1': o valor %2 não cabe no campo decimal.").arg(f.name).arg(value));
  QByteArray rec(f.size, '\0');
  rec[0] = static_cast<char>(text.size());
  rec[1] = static_cast<char>(places | (value < 0 ? 0x80 : 0));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const int nibble = text[i] - '0';
    rec[2 + i / 2] = static_cast<char>(rec[2 + i / 2] | (i % 2 ? nibble : nibble << 4));
  }
  out.append(rec);
}

[[noreturn]] void outOfRange(const PacketField& f, const QString& what) {
  throw Error(QStringLiteral("Campo '%1': %2 fora do intervalo de 01/01/0001 a 31/12/9999.")
                  .arg(f.name, what));
}

}  // namespace fw::packetbytes
