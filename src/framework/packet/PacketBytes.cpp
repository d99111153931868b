#include "framework/packet/PacketBytes.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

#include "framework/core/Error.h"

namespace fw::packetbytes {

QByteArray bcdText(const PacketField& f, const char* p, qsizetype size) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  const int precision = b[0];
  const int places = b[1] & 0x3F;
  if (precision > (size - 2) * 2 || places > precision)
    throw Error(QStringLiteral("Campo '%1': valor decimal inválido (precisão %2, casas %3).")
                    .arg(f.name)
                    .arg(precision)
                    .arg(places));
  QByteArray whole, fraction;
  for (int i = 0; i < precision; ++i) {
    const int nibble = (b[2 + i / 2] >> ((i % 2) ? 0 : 4)) & 0xF;
    if (nibble > 9)
      throw Error(QStringLiteral("Campo '%1': dígito decimal inválido (0x%2).")
                      .arg(f.name)
                      .arg(nibble, 0, 16));
    (i < precision - places ? whole : fraction).append(static_cast<char>('0' + nibble));
  }
  qsizetype lead = 0;
  while (lead < whole.size() && whole[lead] == '0') ++lead;
  whole.remove(0, lead);
  while (fraction.endsWith('0')) fraction.chop(1);
  if (whole.isEmpty() && fraction.isEmpty()) return "0";
  QByteArray out = (b[1] & 0x80) ? "-" : "";
  out += whole.isEmpty() ? QByteArray("0") : whole;
  if (!fraction.isEmpty()) out += '.' + fraction;
  return out;
}

double decodeBcd(const PacketField& f, const char* p, qsizetype size) {
  return bcdText(f, p, size).toDouble();
}

void encodeBcdText(QByteArray& out, const PacketField& f, QByteArrayView text) {
  const auto refuse = [&](const QString& why) {
    throw Error(QStringLiteral("Campo '%1': o valor %2 %3.")
                    .arg(f.name,
                         QString::fromLatin1(text.first(std::min<qsizetype>(text.size(), 40))),
                         why));
  };
  qsizetype i = 0;
  const bool negative = text.startsWith('-');
  if (negative || text.startsWith('+')) ++i;
  QByteArray digits;
  qint64 places = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, any = true)
    digits.append(text[i]);
  if (i < text.size() && text[i] == '.')
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++places, any = true)
      digits.append(text[i]);
  if (any && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    const bool minus = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    qint64 exponent = 0;
    bool expDigits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, expDigits = true)
      exponent = std::min<qint64>(exponent * 10 + (text[i] - '0'), 100000);
    if (!expDigits) any = false;
    places += minus ? exponent : -exponent;
  }
  if (!any || i != text.size()) refuse(QStringLiteral("não é um número"));
  qsizetype lead = 0;
  while (lead < digits.size() && digits[lead] == '0') ++lead;
  digits.remove(0, lead);
  if (digits.isEmpty()) {  // zero, whatever its exponent
    digits = "0";
    places = 0;
  }
  while (places > 0 && digits.endsWith('0') && digits.size() > 1) {
    digits.chop(1);
    --places;
  }
  const int capacity = (f.size - 2) * 2;
  if (places < 0) {
    if (digits.size() - places > capacity) refuse(QStringLiteral("não cabe no campo decimal"));
    digits.append(QByteArray(static_cast<qsizetype>(-places), '0'));
    places = 0;
  }
  if (places > 63 || places > capacity) refuse(QStringLiteral("não cabe no campo decimal"));
  // The precision counts the places too: 0.001 takes three digits.
  if (digits.size() < places) digits.prepend(QByteArray(places - digits.size(), '0'));
  if (digits.size() > capacity) refuse(QStringLiteral("não cabe no campo decimal"));
  QByteArray rec(f.size, '\0');
  rec[0] = static_cast<char>(digits.size());
  rec[1] = static_cast<char>(places | (negative && digits != "0" ? 0x80 : 0));
  for (qsizetype d = 0; d < digits.size(); ++d) {
    const int nibble = digits[d] - '0';
    rec[2 + d / 2] = static_cast<char>(rec[2 + d / 2] | (d % 2 ? nibble : nibble << 4));
  }
  out.append(rec);
}

void encodeBcd(QByteArray& out, const PacketField& f, double value) {
  if (!std::isfinite(value))
    throw Error(QStringLiteral("Campo '%1': valor não finito.").arg(f.name));
  encodeBcdText(out, f, QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
}

[[noreturn]] void outOfRange(const PacketField& f, const QString& what) {
  throw Error(QStringLiteral("Campo '%1': %2 fora do intervalo de 01/01/0001 a 31/12/9999.")
                  .arg(f.name, what));
}

}  // namespace fw::packetbytes
