// CPF and CNPJ check digits and masks.
#include "dialogs/TaxId.h"

#include <array>
#include <span>

namespace dialogs::taxid {

namespace {

bool allDigits(const QString& digits) {
  for (const QChar ch : digits) {
    if (ch < u'0' || ch > u'9') return false;
  }
  return true;
}

bool oneRepeatedDigit(const QString& digits) { return digits.count(digits.at(0)) == digits.size(); }

int digitAt(const QString& digits, int i) { return digits.at(i).unicode() - u'0'; }

// The CPF's check digit over the first `count` digits: weights count+1 down to 2.
int cpfCheckDigit(const QString& digits, int count) {
  int sum = 0;
  for (int i = 0; i < count; ++i) sum += digitAt(digits, i) * (count + 1 - i);
  const int rest = sum * 10 % 11;
  return rest == 10 ? 0 : rest;
}

// The CNPJ's check digit over the first weights.size() digits.
int cnpjCheckDigit(const QString& digits, std::span<const int> weights) {
  int sum = 0;
  for (std::size_t i = 0; i < weights.size(); ++i) {
    sum += digitAt(digits, static_cast<int>(i)) * weights[i];
  }
  const int rest = sum % 11;
  return rest < 2 ? 0 : 11 - rest;
}

}  // namespace

QString digitsOf(const QString& text) {
  QString out;
  for (const QChar ch : text) {
    if (ch >= u'0' && ch <= u'9') out.append(ch);
  }
  return out;
}

bool isValidCpf(const QString& digits) {
  if (digits.size() != 11 || !allDigits(digits) || oneRepeatedDigit(digits)) return false;
  return cpfCheckDigit(digits, 9) == digitAt(digits, 9) &&
         cpfCheckDigit(digits, 10) == digitAt(digits, 10);
}

bool isValidCnpj(const QString& digits) {
  if (digits.size() != 14 || !allDigits(digits) || oneRepeatedDigit(digits)) return false;
  static constexpr std::array<int, 12> first{5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  static constexpr std::array<int, 13> second{6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  return cnpjCheckDigit(digits, first) == digitAt(digits, 12) &&
         cnpjCheckDigit(digits, second) == digitAt(digits, 13);
}

bool isValid(const QString& digits) {
  return digits.size() == 14 ? isValidCnpj(digits) : isValidCpf(digits);
}

QString mask(const QString& digits) {
  // Each mark goes in front of the digit at that position, once that digit is there.
  struct Mark {
    int before;
    QChar mark;
  };
  static constexpr std::array<Mark, 3> cpf{{{3, u'.'}, {6, u'.'}, {9, u'-'}}};
  static constexpr std::array<Mark, 4> cnpj{{{2, u'.'}, {5, u'.'}, {8, u'/'}, {12, u'-'}}};
  const std::span<const Mark> marks =
      digits.size() > 11 ? std::span<const Mark>(cnpj) : std::span<const Mark>(cpf);
  QString out;
  out.reserve(digits.size() + 4);
  std::size_t next = 0;
  for (int i = 0; i < digits.size(); ++i) {
    if (next < marks.size() && marks[next].before == i) out.append(marks[next++].mark);
    out.append(digits.at(i));
  }
  return out;
}

}  // namespace dialogs::taxid
