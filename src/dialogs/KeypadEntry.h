// KeypadEntry: the text being typed on the numeric keypad and its rules. A quantity takes
// up to three decimals and must be above zero; an amount takes two decimals and may be
// zero (a payment of nothing is the screen's business). There is no minus key: neither a
// quantity nor a payment is ever negative on this screen.
#pragma once

#include <QChar>
#include <QString>

namespace dialogs {

class KeypadEntry {
 public:
  struct Rules {
    int maxLength = 20;  // characters, the decimal separator included
    int decimals = 3;
    bool zeroAllowed = false;
  };
  // The keypad's arguments: (max length, 0, 0) a quantity, (max length, 1, 1) an amount.
  // The first flag allows zero, the second limits the decimals to two (else three).
  // A max length of zero or less means the default of 20.
  static Rules rulesFor(int maxLength, int allowZero, int twoDecimals);

  explicit KeypadEntry(Rules rules, QChar decimalSeparator);

  // Each returns false when the key is refused (the text stays as it was).
  bool typeDigit(int digit);
  bool typeSeparator();
  bool backspace();
  void clear() { text_.clear(); }

  const QString& text() const { return text_; }
  const Rules& rules() const { return rules_; }
  // What confirming now would refuse with; empty when the entry can be returned.
  QString refusal(const QString& emptyText) const;
  // The entry as returned: a separator left at the end is dropped ("5," gives "5").
  QString result() const;

 private:
  int decimalsTyped() const;

  Rules rules_;
  QChar separator_;
  QString text_;
};

}  // namespace dialogs
