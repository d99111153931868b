// TaxId: the customer's tax number on the coupon, a person's CPF (11 digits) or a company's
// CNPJ (14 digits), each ending in two check digits (modulus 11).
#pragma once

#include <QString>

namespace dialogs::taxid {

// The digits of a text, everything else dropped ("529.982.247-25" -> "52998224725").
QString digitsOf(const QString& text);
// Numbers of one repeated digit pass the modulus check but are no one's: refused.
bool isValidCpf(const QString& digits);
bool isValidCnpj(const QString& digits);
// A CPF when 11 digits, a CNPJ when 14; any other length is invalid.
bool isValid(const QString& digits);
// The digits typed so far in the mask they are filling: a CPF's "000.000.000-00" up to 11
// digits, a CNPJ's "00.000.000/0000-00" beyond.
QString mask(const QString& digits);

}  // namespace dialogs::taxid
