// Screen: the size of the screen the form is placed on (the primary screen), and a way
// for tests to pretend another size.
#pragma once

#include <QRect>
#include <optional>

namespace shell {

QRect screenGeometry();
// Replaces the primary screen's geometry until called with std::nullopt.
void setScreenGeometryOverride(std::optional<QRect> geometry);

}  // namespace shell
