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
  QColor textColor() const { return text_; }
  QColor pressedColor() const { return pressed_; }
  QColor pressedTextColor() const { return pressedText_; }
  QColor disabledTextColor() const { return disabledText_; }
  int radius() const { return radius_; }

  QSize sizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  // The face, caption and (in TBlendedBitBtn) picture inside `rect`.
  virtual void paintContent(class QPainter& painter, const QRect& rect, const QColor& textColor);
  QColor currentFace() const;
  QColor currentText() const;
  // Pieces for subclasses that draw their own content.
  void paintRoundedFace(class QPainter& painter, const QRect& rect, const QColor& face) const;
  void paintCaption(class QPainter& painter, const QRect& rect, const QColor& textColor) const;

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
