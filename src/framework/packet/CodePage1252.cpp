// Windows-1252 <-> UTF-16. Only 0x80..0x9F differ from Latin-1; the rest is a straight copy.
#include "framework/packet/CodePage1252.h"

#include <array>

#include "framework/core/Error.h"

namespace fw {

namespace {

constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char encodeChar(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

bool encodable(char16_t c) { return c == u'?' || (encodeChar(c) != '?' && !isUndefinedIn1252(c)); }

thread_local CodePageReplacement* activeReplacement = nullptr;

}  // namespace

bool isUndefinedIn1252(char16_t c) {
  return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

qsizetype findUndefinedByte(const char* bytes, qsizetype length) {
  for (qsizetype i = 0; i < length; ++i)
    if (isUndefinedIn1252(static_cast<unsigned char>(bytes[i]))) return i;
  return -1;
}

QString fromWindows1252(const char* bytes, qsizetype length) {
  QString out(length, Qt::Uninitialized);
  char16_t* dst = reinterpret_cast<char16_t*>(out.data());
  const auto* src = reinterpret_cast<const unsigned char*>(bytes);
  for (qsizetype i = 0; i < length; ++i) {
    const unsigned char b = src[i];
    dst[i] = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : char16_t(b);
  }
  return out;
}

qsizetype appendWindows1252(QByteArray& out, QStringView text, qsizetype maxChars) {
  const qsizetype start = out.size();
  out.reserve(start + text.size());
  qsizetype chars = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (maxChars >= 0 && chars >= maxChars) break;
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
        QChar::isLowSurrogate(text[i + 1].unicode()))
      ++i;
    out.append(encodeChar(c));
    ++chars;
  }
  return out.size() - start;
}

QByteArray toWindows1252(QStringView text) {
  QByteArray out;
  appendWindows1252(out, text);
  return out;
}

qsizetype findUnencodable(QStringView text) {
  for (qsizetype i = 0; i < text.size(); ++i)
    if (!encodable(text[i].unicode())) return i;
  return -1;
}

qsizetype countUnencodable(QStringView text) {
  qsizetype n = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (encodable(c)) continue;
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
        QChar::isLowSurrogate(text[i + 1].unicode()))
      ++i;
    ++n;
  }
  return n;
}

QString replaceUnencodable(QStringView text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (encodable(c)) {
      out += text[i];
      continue;
    }
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
        QChar::isLowSurrogate(text[i + 1].unicode()))
      ++i;
    out += u'?';
  }
  return out;
}

// A text bound for a file in the code page: refused, or counted when the person asked for
// replacement.
QString requireEncodable(QStringView text, const QString& owner) {
  const qsizetype at = findUnencodable(text);
  if (at < 0) return text.toString();
  if (CodePageReplacement* r = CodePageReplacement::active()) {
    r->add(countUnencodable(text));
    return replaceUnencodable(text);
  }
  const char32_t code = QChar::isHighSurrogate(text[at].unicode()) && at + 1 < text.size()
                            ? QChar::surrogateToUcs4(text[at], text[at + 1])
                            : text[at].unicode();
  throw Error(QStringLiteral(
                  "%1: o caractere '%2' (U+%3, posição %4 do texto) não existe na página de código "
                  "da tabela (Windows-1252).")
                  .arg(owner, isUndefinedIn1252(static_cast<char16_t>(code))
                                  ? QStringLiteral("(controle)")
                                  : QString::fromUcs4(&code, 1))
                  .arg(static_cast<uint>(code), 4, 16, QLatin1Char('0'))
                  .arg(at + 1));
}

CodePageReplacement::CodePageReplacement() : outer_(activeReplacement) { activeReplacement = this; }
CodePageReplacement::~CodePageReplacement() { activeReplacement = outer_; }
CodePageReplacement* CodePageReplacement::active() { return activeReplacement; }

}  // namespace fw
