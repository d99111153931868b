// TapeText: lines of the printer's paper tape, 48 columns wide, built before they are
// printed so that a refused command prints nothing but its refusal. Long texts wrap at
// word boundaries; an amount always stands flush right.
#pragma once

#include <QString>
#include <QStringList>

namespace fiscal {

class TapeText {
 public:
  static constexpr int kWidth = 48;

  // Wrapped to the width; an empty text prints an empty line.
  void line(const QString& text);
  // Each wrapped line after the first indented by `indent` blanks.
  void wrapped(const QString& text, int indent);
  void centered(const QString& text);
  // `right` flush right on the last line of `left`; on a line of its own when they do not
  // fit together with one blank between them.
  void leftRight(const QString& left, const QString& right);
  void rule(QChar c = QLatin1Char('-'));

  void append(const TapeText& other);
  bool isEmpty() const { return lines_.isEmpty(); }
  const QStringList& lines() const { return lines_; }
  // Every line followed by "\n".
  QString text() const;

  static QStringList wrap(const QString& text, int width);

 private:
  QStringList lines_;
};

}  // namespace fiscal
