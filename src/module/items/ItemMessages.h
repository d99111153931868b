// Texts for the item refusals that the screen's message table does not carry. The table
// wins when it holds the key, so a host that adds these lines can reword them.
#pragma once

#include "runtime/TMessages.h"

#include <QString>

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

// The sale's note for the item rows: stays empty while the table has no such line (its
// "[KEY]" placeholder would otherwise go into the sale file).
inline QString saleNoteText(const runtime::TMessages& table) {
  const QString key = QStringLiteral("ARQ_VEN");
  return table.contains(key) ? table.Msg(key) : QString();
}

}  // namespace items
