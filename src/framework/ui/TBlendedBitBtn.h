// TBlendedBitBtn: the touch button with a picture (normal and disabled), shaped as a
// circle or as a rounded rectangle; the picture stands alone or above the caption.
#pragma once

#include <QPixmap>

#include "framework/ui/TBlendedButton.h"

namespace fw {

class TBlendedBitBtn : public TBlendedButton {
  Q_OBJECT
 public:
  enum class Shape { Circle, Rounded };
  explicit TBlendedBitBtn(QWidget* parent = nullptr);

  void setShape(Shape shape);
  void setGlyph(const QPixmap& normal, const QPixmap& disabled);
  void setMargin(int margin);    // space between the edge and the picture
  void setSpacing(int spacing);  // space between the picture and the caption

 protected:
  void paintContent(QPainter& painter, const QRect& rect, const QColor& textColor) override;

 private:
  Shape shape_ = Shape::Rounded;
  QPixmap glyph_;
  QPixmap disabledGlyph_;
  int margin_ = -1;
  int spacing_ = 2;
};

}  // namespace fw
