// The scrambling of stored identification texts (see Runtime.h for the scheme).
#include <QStringDecoder>

#include "framework/core/Error.h"
#include "runtime/Runtime.h"

namespace runtime {

namespace {

void requireKey(int key) {
  if (key < 0 || key > 9) {
    throw fw::Error(
        QStringLiteral("Chave de cifragem inválida: %1 (deve ter um dígito).").arg(key));
  }
}

}  // namespace

QString Cripto(const QString& plain, int key) {
  requireKey(key);
  QByteArray bytes = plain.toUtf8();
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>((static_cast<unsigned char>(bytes[i]) + key + i) & 0xFF);
  }
  return QString::fromLatin1(bytes.toHex().toUpper());
}

QString Uncripto(const QString& stored, int key) {
  requireKey(key);
  const QString hex = stored.trimmed();
  const auto invalid = [&](const char* why) {
    return fw::Error(
        QStringLiteral("Texto cifrado inválido (%1): \"%2\"").arg(QString::fromUtf8(why), stored));
  };
  if (hex.size() % 2 != 0) throw invalid("tamanho ímpar");
  for (const QChar c : hex) {
    if (!QStringLiteral("0123456789abcdefABCDEF").contains(c)) throw invalid("não hexadecimal");
  }
  QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>((static_cast<unsigned char>(bytes[i]) - key - i) & 0xFF);
  }
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString plain = decoder.decode(bytes);
  if (decoder.hasError()) throw invalid("chave errada ou dado corrompido");
  return plain;
}

}  // namespace runtime
