#include "fiscal/TapeText.h"

namespace fiscal {

QStringList TapeText::wrap(const QString& text, int width) {
  QStringList out;
  QString current;
  // Blanks are kept inside a line as given; only the break points drop one.
  const QStringList words = text.split(QLatin1Char(' '));
  for (int i = 0; i < words.size(); ++i) {
    QString word = words[i];
    const QString candidate = i == 0 ? word : current + QLatin1Char(' ') + word;
    if (candidate.size() <= width) {
      current = candidate;
      continue;
    }
    if (i > 0 && !current.isEmpty()) out << current;
    while (word.size() > width) {
      out << word.left(width);
      word = word.mid(width);
    }
    current = word;
  }
  out << current;
  return out;
}

void TapeText::line(const QString& text) { lines_ << wrap(text, kWidth); }

void TapeText::wrapped(const QString& text, int indent) {
  const QStringList parts = wrap(text, kWidth);
  lines_ << parts.first();
  if (parts.size() == 1) return;
  const QString pad(indent, QLatin1Char(' '));
  for (const QString& rest : wrap(parts.mid(1).join(QLatin1Char(' ')), kWidth - indent)) {
    lines_ << pad + rest;
  }
}

void TapeText::centered(const QString& text) {
  for (const QString& part : wrap(text, kWidth)) {
    lines_ << QString((kWidth - part.size()) / 2, QLatin1Char(' ')) + part;
  }
}

void TapeText::leftRight(const QString& left, const QString& right) {
  QStringList parts = wrap(left, kWidth);
  const QString lastLine = parts.takeLast();
  lines_ << parts;
  const int gap = kWidth - lastLine.size() - right.size();
  if (gap >= 1) {
    lines_ << lastLine + QString(gap, QLatin1Char(' ')) + right;
  } else {
    lines_ << lastLine << QString(qMax(0, kWidth - right.size()), QLatin1Char(' ')) + right;
  }
}

void TapeText::rule(QChar c) { lines_ << QString(kWidth, c); }

void TapeText::append(const TapeText& other) { lines_ << other.lines_; }

QString TapeText::text() const {
  QString out;
  for (const QString& l : lines_) {
    out += l;
    out += QLatin1Char('\n');
  }
  return out;
}

}  // namespace fiscal
