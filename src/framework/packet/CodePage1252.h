// Windows-1252, the code page of the 8-bit texts in table files. In memory texts are
// QString. The five bytes without a character (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// control of the same number, so every byte sequence survives a decode/encode round trip;
// but a text that comes in (a JSON or XML file, a name) may not bring those controls: the
// host would read them as no character at all.
#pragma once

#include <QByteArray>
#include <QString>

namespace fw {

QString fromWindows1252(const char* bytes, qsizetype length);
inline QString fromWindows1252(const QByteArray& bytes) {
  return fromWindows1252(bytes.constData(), bytes.size());
}

// Characters the code page lacks become '?'; a surrogate pair is one character.
QByteArray toWindows1252(QStringView text);
// Appends the encoding to `out`, at most `maxChars` bytes (-1: all); returns bytes added.
qsizetype appendWindows1252(QByteArray& out, QStringView text, qsizetype maxChars = -1);

// The five bytes without a character (0x81, 0x8D, 0x8F, 0x90, 0x9D) and their controls.
bool isUndefinedIn1252(char16_t c);
// Position of the first byte without a character, or -1.
qsizetype findUndefinedByte(const char* bytes, qsizetype length);

// Position of the first character the code page lacks (or an undefined control), or -1.
qsizetype findUnencodable(QStringView text);
// Characters the code page lacks (a surrogate pair is one).
qsizetype countUnencodable(QStringView text);

// The text with '?' for each character the code page lacks (a surrogate pair is one).
QString replaceUnencodable(QStringView text);

// The text as it may go into the code page: throws fw::Error naming `owner` and the first
// character the code page lacks, unless a CodePageReplacement is active, which then counts
// them and gets back the text with '?' in their place.
QString requireEncodable(QStringView text, const QString& owner);

// While one lives on this thread, readers of table files put '?' for characters the code
// page lacks and count them here, instead of refusing the file. Only for a person who
// asked for it (cds --substituir); nothing else should hide a lost character.
class CodePageReplacement {
 public:
  CodePageReplacement();
  ~CodePageReplacement();
  CodePageReplacement(const CodePageReplacement&) = delete;
  CodePageReplacement& operator=(const CodePageReplacement&) = delete;

  qsizetype replaced() const { return replaced_; }
  void add(qsizetype n) { replaced_ += n; }
  static CodePageReplacement* active();

 private:
  CodePageReplacement* outer_;
  qsizetype replaced_ = 0;
};

}  // namespace fw
