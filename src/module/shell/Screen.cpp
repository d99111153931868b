#include "module/shell/Screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace shell {

namespace {
std::optional<QRect>& override_() {
  static std::optional<QRect> value;
  return value;
}
}  // namespace

QRect screenGeometry() {
  if (override_()) return *override_();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) return screen->geometry();
  return QRect(0, 0, 800, 600);
}

void setScreenGeometryOverride(std::optional<QRect> geometry) { override_() = geometry; }

}  // namespace shell
