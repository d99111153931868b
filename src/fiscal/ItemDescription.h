// ItemDescription: the screen sends an item's description as "CEST#NCM#name", each code
// part left out when the product has none. The printer prints the name on the item line
// and the codes on a line of their own.
#pragma once

#include <QString>

namespace fiscal {

struct ItemDescription {
  QString cest;
  QString ncm;
  QString name;

  // Leading parts ending in "#" count as codes only while they are made of digits and
  // dots (a name may hold a "#" of its own: "Parafuso #8"). Two code parts are CEST then
  // NCM; a single one is a CEST when it has seven digits, otherwise an NCM.
  static ItemDescription parse(const QString& description);
};

}  // namespace fiscal
