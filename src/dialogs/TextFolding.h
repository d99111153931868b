// TextFolding: the form in which the search dialog compares texts, so that "cafe" finds
// "Café" and "ACUCAR" finds "Açúcar": lower case, accents dropped, control characters
// removed (they separate fields in the search index).
#pragma once

#include <QString>

namespace dialogs {

QString foldText(const QString& text);
// Appends the folded form of `text` to `out` (no temporary string per call).
void appendFolded(QString& out, const QString& text);

}  // namespace dialogs
