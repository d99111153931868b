// TBlendedButton: the rounded touch button of the shared runtime library. A filled rounded
// rectangle with a centred caption and no outline; separate colours for the normal face,
// the pressed face and its text, and the disabled face and its text. "&" in the caption
// marks a keyboard accelerator (Alt+letter clicks the button), drawn underlined.
#pragma once

#include <QAbstractButton>
#include <QColor>

namespace fw {

class TBlendedButton : public QAbstractButton {
  Q_OBJECT
 public:
  explicit TBlendedButton(QWidget* parent = nullptr);

  void setFaceColor(const QColor& c);
  void setTextColor(const QColor& c);
  void setPressedColor(const QColor& c);
  void setPressedTextColor(const QColor& c);
  void setDisabledColor(const QColor& c);
  void setDisabledTextColor(const QColor& c);
  void setRadius(int radius);  // corner radius; half the height gives a circle/pill

  QColor faceColor() const { return face_; }
  QColor disabledColor() const { return disabled_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  // The face, caption and (in TBlendedBitBtn) picture inside `rect`.
  virtual void paintContent(class QPainter& painter, const QRect& rect, const QColor& textColor);
  QColor currentFace() const;
  QColor currentText() const;

 private:
  QColor face_{0xC0, 0xC0, 0xC0};
  QColor text_{Qt::black};
  QColor pressed_{Qt::black};
  QColor pressedText_{Qt::white};
  QColor disabled_{0x80, 0x80, 0x80};
  QColor disabledText_{0xC0, 0xC0, 0xC0};
  int radius_ = 8;
};

}  // namespace fw
