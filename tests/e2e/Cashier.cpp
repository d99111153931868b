#include "e2e/Cashier.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "runtime/MessageDialog.h"

namespace e2e {

namespace {

constexpr int kPollMs = 10;

QString describe(const QWidget* w) {
  if (!w) return QStringLiteral("nenhuma janela");
  QString text = QString::fromLatin1(w->metaObject()->className());
  if (!w->objectName().isEmpty()) text += QLatin1Char(' ') + w->objectName();
  if (qobject_cast<const runtime::MessageDialog*>(w)) {
    text += QStringLiteral(" \"") + Cashier::messageText(*w) + QLatin1Char('"');
  }
  return text;
}

int loopLevel() { return QThread::currentThread()->loopLevel(); }

}  // namespace

Cashier::Cashier(QString shotsDir) : shotsDir_(std::move(shotsDir)) {
  if (!shotsDir_.isEmpty()) QDir().mkpath(shotsDir_);
}

void Cashier::run(const std::function<void()>& entry, std::chrono::seconds limit) {
  baseLevel_ = loopLevel();
  entryReturned_ = false;
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [this, limit] {
    fail(QStringLiteral("a venda parou por %1 s esperando %2 (no topo: %3)")
             .arg(limit.count())
             .arg(currentStep(), describe(QApplication::activeModalWidget())));
  });
  watchdog.start(std::chrono::duration_cast<std::chrono::milliseconds>(limit));
  schedule(0);
  entry();
  entryReturned_ = true;
  watchdog.stop();
  if (!aborted_ && !steps_.empty()) {
    fail(QStringLiteral("a tela fechou antes do passo: %1").arg(steps_.front().what));
  }
}

QString Cashier::currentStep() const {
  QString text = steps_.empty() ? QStringLiteral("(fim)")
                                : QLatin1Char('"') + steps_.front().what + QLatin1Char('"');
  if (!playing_.isEmpty()) text += QStringLiteral(" durante \"%1\"").arg(playing_);
  return text;
}

void Cashier::schedule(int ms) {
  // A fresh timer every time: a timer never fires again while its own slot runs, and a step
  // that opens a dialog stays in its slot until the dialog closes.
  QTimer::singleShot(ms, &context_, [this] { tick(); });
}

int Cashier::modalDepth() const {
  int depth = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->isModal()) ++depth;
  }
  return depth;
}

QWidget* Cashier::idleTop() const {
  QWidget* top = QApplication::activeModalWidget();
  if (!top || !top->isVisible()) return nullptr;
  QWindow* window = top->windowHandle();
  if (!window || !window->isExposed()) return nullptr;
  // Each modal window shown runs one loop: a window closed whose loop has not ended yet, or
  // a loop about to start, means some handler is still between two statements.
  if (loopLevel() != baseLevel_ + modalDepth()) return nullptr;
  return top;
}

void Cashier::tick() {
  if (aborted_ || entryReturned_ || steps_.empty()) return;
  if (!actLevels_.empty() && actLevels_.back() >= loopLevel()) {
    schedule(kPollMs);
    return;
  }
  QWidget* top = idleTop();
  if (!top) {
    schedule(kPollMs);
    return;
  }
  if (!steps_.front().accepts(top)) {
    if (qobject_cast<runtime::MessageDialog*>(top)) {
      fail(QStringLiteral("mensagem inesperada esperando \"%1\": %2")
               .arg(steps_.front().what, messageText(*top)));
      return;
    }
    schedule(kPollMs);
    return;
  }
  const Step step = std::move(steps_.front());
  steps_.pop_front();
  // Scheduled before acting: a touch that opens a dialog returns only when it closes, and the
  // steps inside that dialog must go on meanwhile.
  schedule(0);
  actLevels_.push_back(loopLevel());
  const QString outer = std::exchange(playing_, step.what);
  step.act(top);
  actLevels_.pop_back();
  // A fatal check inside a step left it half done: the sale cannot go on from there.
  if (::testing::Test::HasFatalFailure() && !aborted_)
    fail(QStringLiteral("passo interrompido: ") + step.what);
  playing_ = outer;
}

void Cashier::touch(QWidget* widget, QPoint at) {
  if (aborted_) return;
  if (!widget) {
    fail(QStringLiteral("toque em um controle que não existe (%1)").arg(playing_));
    return;
  }
  const QString name = describe(widget);
  if (!widget->isVisible() || !widget->isEnabled()) {
    fail(
        QStringLiteral("%1 não pode ser tocado: %2 (%3)")
            .arg(name,
                 widget->isVisible() ? QStringLiteral("desabilitado") : QStringLiteral("invisível"),
                 playing_));
    return;
  }
  if (at.isNull()) at = widget->rect().center();
  QWidget* top = widget->window();
  const QPoint inWindow = widget->mapTo(top, at);
  QWidget* hit = top->childAt(inWindow);
  if (hit != widget && !widget->isAncestorOf(hit)) {
    fail(QStringLiteral("%1 está coberto por %2 (%3)").arg(name, describe(hit), playing_));
    return;
  }
  QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, inWindow);
}

void Cashier::type(QWidget* window, const QString& text) {
  if (aborted_) return;
  QWindow* handle = window->window()->windowHandle();
  for (const QChar ch : text) {
    if (ch.unicode() < 0x80) {
      QTest::keyClick(handle, static_cast<char>(ch.unicode()));
    } else {
      QTest::sendKeyEvent(QTest::Click, handle, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
  }
}

void Cashier::press(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  if (aborted_) return;
  QTest::keyClick(window->window()->windowHandle(), key, modifiers);
}

void Cashier::shot(const QString& name) {
  if (shotsDir_.isEmpty()) return;
  QScreen* screen = QGuiApplication::primaryScreen();
  // The pictures must show what is painted now, not what the next paint event would show.
  std::vector<QWidget*> shown;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) {
      w->repaint();
      shown.push_back(w);
    }
  }
  QPixmap picture;
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    picture = screen->grabWindow(0);
  } else {
    // No real screen: the windows composed, each dialog over the window it was opened on.
    std::vector<QWidget*> chain;
    for (QWidget* w = QApplication::activeModalWidget(); w;
         w = w->parentWidget() ? w->parentWidget()->window() : nullptr) {
      chain.insert(chain.begin(), w);
    }
    picture = QPixmap(screen->geometry().size());
    picture.fill(Qt::darkGray);
    QPainter painter(&picture);
    for (QWidget* w : shown) {
      if (std::find(chain.begin(), chain.end(), w) == chain.end())
        painter.drawPixmap(w->geometry().topLeft(), w->grab());
    }
    for (QWidget* w : chain) painter.drawPixmap(w->geometry().topLeft(), w->grab());
  }
  const QString path = QDir(shotsDir_).filePath(name + QStringLiteral(".png"));
  if (picture.isNull() || !picture.save(path, "PNG")) {
    ADD_FAILURE() << "não foi possível gravar a imagem " << path.toStdString();
  }
}

void Cashier::fail(const QString& why) {
  failures_ << why;
  ADD_FAILURE() << why.toStdString();
  if (aborted_) return;
  aborted_ = true;
  steps_.clear();
  QTimer::singleShot(0, &context_, [this] { closeAll(); });
}

void Cashier::closeAll() {
  if (entryReturned_) return;
  // One window at a time, from the top: closing a dialog lets its handler go on, which may
  // open another one before the screen itself can be closed.
  if (QWidget* top = QApplication::activeModalWidget()) {
    if (auto* dialog = qobject_cast<QDialog*>(top)) {
      dialog->done(QDialog::Rejected);
    } else {
      top->close();
    }
  }
  QTimer::singleShot(20, &context_, [this] { closeAll(); });
}

QString Cashier::messageText(const QWidget& messageDialog) {
  const auto* label = messageDialog.findChild<QLabel*>(QStringLiteral("lblMensagem"));
  return label ? label->text() : QString();
}

QAbstractButton* Cashier::button(const QWidget& window, const QString& caption) {
  for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) {
    if (b->isVisible() && b->text().remove(QLatin1Char('&')) == caption) return b;
  }
  return nullptr;
}

}  // namespace e2e
