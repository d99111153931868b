// Folding for the search: a table for ASCII and Latin-1 (nearly every catalog text), the
// Unicode decomposition for anything beyond.
#include "dialogs/TextFolding.h"

#include <array>

namespace dialogs {

namespace {

// Folded form of U+0000..U+00FF; 0 drops the character.
std::array<char16_t, 256> makeLatin1Table() {
  std::array<char16_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const QChar ch(static_cast<char16_t>(c));
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      table[c] = 0;
      continue;
    }
    const QString decomposed = QString(ch).normalized(QString::NormalizationForm_D);
    char16_t folded = decomposed.isEmpty() ? char16_t(c) : decomposed.at(0).toLower().unicode();
    table[c] = folded;
  }
  return table;
}

const std::array<char16_t, 256>& latin1Table() {
  static const std::array<char16_t, 256> table = makeLatin1Table();
  return table;
}

void appendWide(QString& out, QChar ch) {
  if (ch.category() == QChar::Other_Control) return;
  if (ch.isSurrogate()) {  // characters beyond the basic plane pass unchanged
    out.append(ch);
    return;
  }
  const QString decomposed = QString(ch).normalized(QString::NormalizationForm_D);
  for (const QChar part : decomposed) {
    if (part.category() == QChar::Mark_NonSpacing) continue;
    out.append(part.toLower());
  }
}

}  // namespace

void appendFolded(QString& out, const QString& text) {
  const auto& table = latin1Table();
  for (const QChar ch : text) {
    const char16_t code = ch.unicode();
    if (code < 256) {
      if (const char16_t folded = table[code]) out.append(QChar(folded));
    } else {
      appendWide(out, ch);
    }
  }
}

QString foldText(const QString& text) {
  QString out;
  out.reserve(text.size());
  appendFolded(out, text);
  return out;
}

}  // namespace dialogs
