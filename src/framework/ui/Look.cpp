#include "framework/ui/Look.h"

#include <QStringList>

namespace fw::look {

QString framedEntryStyle(const QString& widget, int padding) {
  return QStringLiteral(
             "%1 { border: 2px solid %2; border-radius: 6px; padding: 0 %3px;"
             " background: white; color: black; }")
      .arg(widget, frameName())
      .arg(padding);
}

QFont arial(int pixelSize, bool bold) {
  QFont font;
  font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

}  // namespace fw::look
