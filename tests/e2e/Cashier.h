// Cashier: plays a person at the till against the real windows. The sales screen runs in
// its own modal loop (CriaRegVenda) and every dialog in a nested one, so a sale cannot be a
// straight list of calls: each step waits until its window is on top and idle, then touches
// (mouse events through the window, as the platform delivers them) or types (key events to
// the window, which hands them to its focused control).
//
//   Cashier cashier(shotsDir);
//   cashier.on<TfrmVendaArquivo>("abre a pesquisa", [&](TfrmVendaArquivo& f) {
//   cashier.touch(f.bldCodigo); }); cashier.on<dialogs::SearchDialog>("digita o código", [&](auto&
//   d) { cashier.type(&d, code); cashier.press(&d, Qt::Key_Return); }); cashier.run([] {
//   CriaRegVenda(); });
//
// A watchdog ends a sale that stops moving: it reports the step it was waiting for and closes
// every window, so CriaRegVenda returns and the test fails instead of hanging.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <chrono>
#include <deque>
#include <functional>
#include <vector>

class QAbstractButton;

namespace e2e {

class Cashier {
 public:
  explicit Cashier(QString shotsDir = {});
  Cashier(const Cashier&) = delete;
  Cashier& operator=(const Cashier&) = delete;

  // Queues a step: when a window of type W is on top and idle, `act` runs on it. A message
  // dialog on top while another window is awaited fails the sale with the message's text.
  template <class W>
  void on(const QString& what, std::function<void(W&)> act) {
    steps_.push_back({what, [](QWidget* top) { return qobject_cast<W*>(top) != nullptr; },
                      [act = std::move(act)](QWidget* top) { act(*qobject_cast<W*>(top)); }});
  }

  // Runs `entry` (which shows the screen modally) with the queued steps played inside it.
  // Returns when `entry` returns; a sale stuck for `limit` is failed and its windows closed.
  void run(const std::function<void()>& entry,
           std::chrono::seconds limit = std::chrono::seconds(180));

  // A left click at `at` (the centre when null) through the widget's window. Fails the sale
  // when the widget is hidden, disabled or covered there by another control.
  void touch(QWidget* widget, QPoint at = {});
  // Key events to the window: the control that has its focus gets them, as from a keyboard.
  void type(QWidget* window, const QString& text);
  void press(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

  // Saves what the screen shows (on X11 the whole screen; elsewhere the windows composed)
  // as <shotsDir>/<name>.png. Does nothing without a folder.
  void shot(const QString& name);

  // Records a failure and stops the sale: the remaining steps are dropped and every window
  // is closed.
  void fail(const QString& why);

  const QStringList& failures() const { return failures_; }
  bool allStepsDone() const { return steps_.empty() && !aborted_; }
  // The step being waited for or played, for messages.
  QString currentStep() const;

  // The text a message dialog shows.
  static QString messageText(const QWidget& messageDialog);
  // The visible push button of `window` whose caption is `caption` ("&" marks ignored).
  static QAbstractButton* button(const QWidget& window, const QString& caption);

 private:
  struct Step {
    QString what;
    std::function<bool(QWidget*)> accepts;
    std::function<void(QWidget*)> act;
  };

  void schedule(int ms);
  void tick();
  QWidget* idleTop() const;
  int modalDepth() const;
  void closeAll();

  QObject context_;  // owns the pending timers, so none outlives the cashier
  QString shotsDir_;
  std::deque<Step> steps_;
  QString playing_;
  QStringList failures_;
  bool aborted_ = false;
  bool entryReturned_ = false;
  int baseLevel_ = 0;
  // The loop levels of the acts still on the stack: a tick that fires inside an act's own
  // event processing (a handler calling processEvents) must wait for that act to end.
  std::vector<int> actLevels_;
};

}  // namespace e2e
