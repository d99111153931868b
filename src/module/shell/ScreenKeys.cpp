#include "module/shell/ScreenKeys.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTextStream>
#include <cstdio>
#include <optional>

#include "module/shell/Paths.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"

namespace shell {

namespace {

const QString kSettingsFile = QStringLiteral("\\RegVenda.conf");
const QString kScanAddsKey = QStringLiteral("scan-adds");

void warn(const QString& text) { std::fprintf(stderr, "regvenda: %s\n", qPrintable(text)); }

// "sim"/"não" as the shop writes them; also S/N, 1/0, true/false.
std::optional<bool> yesNo(const QString& value) {
  const QString v = value.trimmed().toLower();
  if (v == u"sim" || v == u"s" || v == u"1" || v == u"true") return true;
  if (v == u"não" || v == u"nao" || v == u"n" || v == u"0" || v == u"false") return false;
  return std::nullopt;
}

// The key and what it stands for: the button its touch would be.
fw::TBlendedButton* buttonFor(TfrmVendaArquivo& f, const QKeyEvent& key) {
  const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
  if (mods == Qt::AltModifier) {
    switch (key.key()) {
      case Qt::Key_P:
        return f.bldAddProd;
      case Qt::Key_R:
        return f.bldAddRece;
      default:
        return nullptr;
    }
  }
  if (mods != Qt::NoModifier) return nullptr;
  switch (key.key()) {
    case Qt::Key_F2:
      return f.bldCodigo;
    case Qt::Key_F3:
      return f.bldQuant;
    case Qt::Key_F5:
      return f.bldCodRece;
    case Qt::Key_F6:
      return f.bldValorRece;
    case Qt::Key_F9:
      return f.bldGravar;
    case Qt::Key_F12:
      return f.bldCancela;
    case Qt::Key_Up:
      return f.bldAcima;
    case Qt::Key_Down:
      return f.bldAbaixo;
    case Qt::Key_Delete:
      return f.bldCancel;
    default:
      return nullptr;
  }
}

}  // namespace

bool scanAddsSetting() {
  if (const QByteArray env = qgetenv("REGVENDA_SCAN_ADDS"); !env.isEmpty()) {
    if (const auto adds = yesNo(QString::fromUtf8(env))) return *adds;
    warn(QStringLiteral("REGVENDA_SCAN_ADDS=%1 não é sim nem não; ignorado.")
             .arg(QString::fromUtf8(env)));
  }
  QFile file(hostPath(kSettingsFile));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
  QTextStream in(&file);
  bool adds = false;
  for (int number = 1; !in.atEnd(); ++number) {
    const QString line = in.readLine().trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    // Other settings may share the file; only this one is read here.
    if (eq < 0 || line.left(eq).trimmed().compare(kScanAddsKey, Qt::CaseInsensitive) != 0) continue;
    if (const auto value = yesNo(line.mid(eq + 1))) {
      adds = *value;
    } else {
      warn(QStringLiteral("%1, linha %2: \"%3\" deve ser sim ou não; ignorada.")
               .arg(file.fileName())
               .arg(number)
               .arg(line));
    }
  }
  return adds;
}

void repaintAfterDialog() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  // The input held back would otherwise wait for the next input to wake the loop, and
  // then run together with it.
  if (QAbstractEventDispatcher* dispatcher = QCoreApplication::eventDispatcher())
    dispatcher->wakeUp();
}

ScreenKeys::ScreenKeys(TfrmVendaArquivo& form)
    : QObject(&form), form_(form), scanAdds_(scanAddsSetting()) {
  setObjectName(QStringLiteral("screenKeys"));
  form.installEventFilter(this);
}

bool ScreenKeys::eventFilter(QObject* watched, QEvent* event) {
  if (watched != &form_ || event->type() != QEvent::KeyPress) {
    return QObject::eventFilter(watched, event);
  }
  const auto& key = static_cast<const QKeyEvent&>(*event);
  // The screen has the keyboard only while it is on top: a key that reached it while a
  // dialog opens or is open belongs to that dialog.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal != &form_ && modal->isVisible()) return handOnToDialog(modal, key);

  switch (detector_.feed(key)) {
    case fw::ScanDetector::Outcome::Char:
      return true;
    case fw::ScanDetector::Outcome::Scanned:
      scanned(detector_.take());
      return true;
    case fw::ScanDetector::Outcome::Other:
      break;
  }
  return runKey(key);
}

bool ScreenKeys::handOnToDialog(QWidget* dialog, const QKeyEvent& key) {
  QWidget* target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
  // The first characters of a scan that began on the screen go first.
  const QString held = detector_.openRun(key.timestamp());
  detector_.reset();
  for (const QChar ch : held) {
    const int code = ch.unicode() < 0x80 ? ch.toUpper().unicode() : int(Qt::Key_unknown);
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, QString(ch));
    press.setTimestamp(key.timestamp());
    QCoreApplication::sendEvent(target, &press);
  }
  QKeyEvent copy(key.type(), key.key(), key.modifiers(), key.text(), key.isAutoRepeat(),
                 static_cast<quint16>(key.count()));
  copy.setTimestamp(key.timestamp());
  QCoreApplication::sendEvent(target, &copy);
  return true;
}

bool ScreenKeys::runKey(const QKeyEvent& key) {
  // The screen is left only by its exit button.
  if (key.key() == Qt::Key_Escape) return true;
  fw::TBlendedButton* button = buttonFor(form_, key);
  if (!button) return false;
  // As a touch: a disabled button does nothing ("Gerar Cupom" before the sale is paid).
  if (button->isEnabled() && !button->isHidden()) button->click();
  return true;
}

void ScreenKeys::scanned(const QString& code) {
  form_.runHandler([this, &code] {
    form_.cdsProdutos.setFilter(QString());
    form_.cdsProdutos.setFiltered(false);
    if (!form_.ValidaProd(code)) return;
    stCodProduto = form_.cdsProdutos.asText(QStringLiteral("CDPRODUTO"));
    if (scanAdds_) form_.bldAddProdClick(form_.bldAddProd);
  });
}

}  // namespace shell
