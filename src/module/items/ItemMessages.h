// Texts for the item refusals that the screen's message table does not carry. The table
// wins when it holds the key, so a host that adds these lines can reword them.
#pragma once

#include <QString>

#include "runtime/TMessages.h"

namespace items {

inline QString refusalText(const runtime::TMessages& table, const QString& key) {
  if (table.contains(key)) return table.Msg(key);
  if (key == QLatin1String("IMPOSTO_ERR")) {
    return QStringLiteral("Operação bloqueada! Produto com mais de um imposto cadastrado.");
  }
  if (key == QLatin1String("IMPOS_NCAD")) {
    return QStringLiteral("Operação bloqueada! Produto sem imposto cadastrado.");
  }
  if (key == QLatin1String("ALIQ_NCAD")) {
    return QStringLiteral(
        "Operação bloqueada! A alíquota do produto não está cadastrada na impressora fiscal.");
  }
  return table.Msg(key);
}

// Refusals of products whose display code cannot be stored as it is: the item list and the
// sale file hold it in 10 characters, the printer's rate code in 5.
inline QString noCodeText(const QString& productName) {
  return QStringLiteral("Operação bloqueada! O produto \"%1\" não tem código cadastrado.")
      .arg(productName);
}

inline QString codeTooLongText(const QString& code, int width) {
  return QStringLiteral("Operação bloqueada! O código do produto \"%1\" tem mais de %2 caracteres.")
      .arg(code)
      .arg(width);
}

inline QString rateCodeTooLongText(const QString& code, int width) {
  return QStringLiteral(
             "Operação bloqueada! O código da alíquota \"%1\" da impressora fiscal tem mais de %2 "
             "caracteres.")
      .arg(code)
      .arg(width);
}

// The sale's note for the item rows: stays empty while the table has no such line (its
// "[KEY]" placeholder would otherwise go into the sale file).
inline QString saleNoteText(const runtime::TMessages& table) {
  const QString key = QStringLiteral("ARQ_VEN");
  return table.contains(key) ? table.Msg(key) : QString();
}

}  // namespace items
