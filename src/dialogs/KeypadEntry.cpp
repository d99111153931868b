// The keypad's entry rules.
#include "dialogs/KeypadEntry.h"

namespace dialogs {

KeypadEntry::Rules KeypadEntry::rulesFor(int maxLength, int allowZero, int twoDecimals) {
  Rules rules;
  rules.maxLength = maxLength > 0 ? maxLength : 20;
  rules.zeroAllowed = allowZero != 0;
  rules.decimals = twoDecimals != 0 ? 2 : 3;
  return rules;
}

KeypadEntry::KeypadEntry(Rules rules, QChar decimalSeparator)
    : rules_(rules), separator_(decimalSeparator) {}

int KeypadEntry::decimalsTyped() const {
  const qsizetype at = text_.indexOf(separator_);
  return at < 0 ? -1 : static_cast<int>(text_.size() - at - 1);
}

bool KeypadEntry::typeDigit(int digit) {
  if (digit < 0 || digit > 9) return false;
  const QChar ch(u'0' + digit);
  // A lone leading zero is replaced, so "0" then "5" reads "5", never "05".
  if (text_ == QStringLiteral("0")) {
    text_ = ch;
    return true;
  }
  if (text_.size() >= rules_.maxLength) return false;
  if (decimalsTyped() >= rules_.decimals) return false;
  text_.append(ch);
  return true;
}

bool KeypadEntry::typeSeparator() {
  if (text_.contains(separator_)) return false;
  const QString added = text_.isEmpty() ? QStringLiteral("0") + separator_ : QString(separator_);
  if (text_.size() + added.size() > rules_.maxLength) return false;
  text_.append(added);
  return true;
}

bool KeypadEntry::backspace() {
  if (text_.isEmpty()) return false;
  text_.chop(1);
  return true;
}

QString KeypadEntry::result() const {
  QString out = text_;
  if (out.endsWith(separator_)) out.chop(1);
  return out;
}

QString KeypadEntry::refusal(const QString& emptyText) const {
  if (text_.isEmpty()) {
    return emptyText.isEmpty() ? QStringLiteral("Informe um valor.") : emptyText;
  }
  if (!rules_.zeroAllowed) {
    bool nonZero = false;
    for (const QChar ch : text_) nonZero = nonZero || (ch.isDigit() && ch != u'0');
    if (!nonZero) return QStringLiteral("A quantidade deve ser maior que zero.");
  }
  return {};
}

}  // namespace dialogs
