// TMessages: the message table of a form. A list of "KEY|text" lines looked up by key.
// A key the table does not hold gives the key itself in brackets ("[ARQ_VEN]") so the
// cashier and the maintainer can see which text is missing.
#pragma once

#include <QString>
#include <QStringList>

namespace runtime {

class TMessages {
 public:
  TMessages() = default;
  explicit TMessages(QStringList lines);

  void setLines(QStringList lines);
  const QStringList& lines() const { return lines_; }
  bool contains(const QString& key) const;
  // The text of the first line with that key (exact, case-sensitive).
  QString Msg(const QString& key) const;

 private:
  QStringList lines_;
};

}  // namespace runtime
