// Input waiting in the window system's queue, as a platform leaves it while a handler runs.
// Qt's test helpers deliver at once; the queue is reached through the platform interface's
// own entry, declared here as the platform plugins see it (Qt 6, not in the public headers).
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
