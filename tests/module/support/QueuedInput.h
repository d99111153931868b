// A touch left waiting in the window system's queue while a handler runs (Qt's test helpers
// deliver at once). The queue's entry is declared as the platform plugins see it (Qt 6).
#pragma once

#include <QEvent>
#include <QPointF>
#include <QWidget>
#include <QWindow>

class QWindowSystemInterface {
 public:
  struct AsynchronousDelivery;
  template <typename Delivery>
  static bool handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                               Qt::MouseButtons state, Qt::MouseButton button, QEvent::Type type,
                               Qt::KeyboardModifiers mods, Qt::MouseEventSource source);
};

namespace testsupport {

// A touch (press and release) on the widget's centre, queued, not delivered.
inline void queueTouch(QWidget* widget) {
  QWindow* window = widget->window()->windowHandle();
  const QPointF local = widget->mapTo(widget->window(), widget->rect().center());
  const QPointF global = widget->mapToGlobal(widget->rect().center());
  using W = QWindowSystemInterface;
  for (const bool press : {true, false}) {
    W::handleMouseEvent<W::AsynchronousDelivery>(
        window, local, global, press ? Qt::LeftButton : Qt::NoButton, Qt::LeftButton,
        press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, Qt::NoModifier,
        Qt::MouseEventNotSynthesized);
  }
}

}  // namespace testsupport
