// The message table: "KEY|text" lines, looked up by exact key, first line wins.
#include "runtime/TMessages.h"

#include <utility>

namespace runtime {

namespace {

// The text of `line` when its key is `key`; a line without "|" is a key with an empty text.
bool matchLine(const QString& line, const QString& key, QString* text) {
  const qsizetype bar = line.indexOf(QLatin1Char('|'));
  const QStringView lineKey = bar < 0 ? QStringView(line) : QStringView(line).left(bar);
  if (lineKey != key) return false;
  if (text) *text = bar < 0 ? QString() : line.mid(bar + 1);
  return true;
}

}  // namespace

TMessages::TMessages(QStringList lines) : lines_(std::move(lines)) {}

void TMessages::setLines(QStringList lines) { lines_ = std::move(lines); }

bool TMessages::contains(const QString& key) const {
  for (const QString& line : lines_) {
    if (matchLine(line, key, nullptr)) return true;
  }
  return false;
}

QString TMessages::Msg(const QString& key) const {
  QString text;
  for (const QString& line : lines_) {
    if (matchLine(line, key, &text)) return text;
  }
  return QLatin1Char('[') + key + QLatin1Char(']');
}

}  // namespace runtime
