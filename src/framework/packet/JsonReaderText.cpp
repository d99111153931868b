// The JSON reader's reading of numbers as written and its parse errors in words.
#include <cmath>

#include "framework/packet/JsonPacketPrivate.h"

namespace fw::jsonpacket {

IntegerText integerText(const QByteArray& raw) {
  IntegerText out;
  qsizetype i = 0;
  const bool negative = raw.startsWith('-');
  if (negative) ++i;
  QByteArray digits;
  qsizetype fraction = 0;
  for (; i < raw.size() && raw[i] >= '0' && raw[i] <= '9'; ++i) digits.append(raw[i]);
  if (i < raw.size() && raw[i] == '.')
    for (++i; i < raw.size() && raw[i] >= '0' && raw[i] <= '9'; ++i, ++fraction)
      digits.append(raw[i]);
  qint64 exponent = 0;
  if (i < raw.size() && (raw[i] == 'e' || raw[i] == 'E')) {
    ++i;
    const bool minus = i < raw.size() && raw[i] == '-';
    if (i < raw.size() && (raw[i] == '-' || raw[i] == '+')) ++i;
    for (; i < raw.size(); ++i)
      exponent = std::min<qint64>(exponent * 10 + (raw[i] - '0'), 1000000);
    if (minus) exponent = -exponent;
  }
  qsizetype lead = 0;
  while (lead < digits.size() && digits[lead] == '0') ++lead;
  digits.remove(0, lead);
  qint64 shift = exponent - fraction;
  while (shift < 0 && digits.endsWith('0')) {
    digits.chop(1);
    ++shift;
  }
  if (digits.isEmpty()) {
    out.digits = "0";
    return out;
  }
  if (shift < 0) {
    out.integral = false;
    return out;
  }
  if (digits.size() + shift > 40) {
    out.huge = true;
    return out;
  }
  digits.append(QByteArray(static_cast<qsizetype>(shift), '0'));
  out.digits = negative ? "-" + digits : digits;
  return out;
}

// A date-time number's milliseconds, to the nearest one as the host reads a stored
// date-time, or -1 outside the calendar.
double wholeMilliseconds(double dt) {
  if (!(dt >= kFirstDay - kDayOfEpoch && dt < kLastDay + 1 - kDayOfEpoch)) return -1;
  const double ms = std::round((dt + kDayOfEpoch) * kMsPerDay);
  return ms < (kLastDay + 1) * kMsPerDay ? ms : -1;
}

QString parseErrorText(rapidjson::ParseErrorCode code) {
  switch (code) {
    case rapidjson::kParseErrorDocumentEmpty:
      return QStringLiteral("arquivo vazio");
    case rapidjson::kParseErrorDocumentRootNotSingular:
      return QStringLiteral("algo depois do fim do objeto");
    case rapidjson::kParseErrorValueInvalid:
      return QStringLiteral("valor inválido");
    case rapidjson::kParseErrorObjectMissName:
      return QStringLiteral("falta o nome de uma chave");
    case rapidjson::kParseErrorObjectMissColon:
      return QStringLiteral("falta ':' depois de uma chave");
    case rapidjson::kParseErrorObjectMissCommaOrCurlyBracket:
      return QStringLiteral("falta ',' ou '}'");
    case rapidjson::kParseErrorArrayMissCommaOrSquareBracket:
      return QStringLiteral("falta ',' ou ']'");
    case rapidjson::kParseErrorStringUnicodeEscapeInvalidHex:
      return QStringLiteral("escape \\u inválido");
    case rapidjson::kParseErrorStringUnicodeSurrogateInvalid:
      return QStringLiteral("par de substitutos UTF-16 inválido");
    case rapidjson::kParseErrorStringEscapeInvalid:
      return QStringLiteral("escape inválido num texto");
    case rapidjson::kParseErrorStringMissQuotationMark:
      return QStringLiteral("texto sem '\"' final");
    case rapidjson::kParseErrorStringInvalidEncoding:
      return QStringLiteral("texto que não é UTF-8");
    case rapidjson::kParseErrorNumberTooBig:
    case rapidjson::kParseErrorNumberMissFraction:
    case rapidjson::kParseErrorNumberMissExponent:
      return QStringLiteral("número inválido");
    default:
      return QStringLiteral("JSON inválido");
  }
}

}  // namespace fw::jsonpacket
