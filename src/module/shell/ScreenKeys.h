// ScreenKeys: the sales screen's keyboard. A barcode scan anywhere on the screen picks the
// product as the search dialog does (and, when the shop wants it, adds the item); function
// keys run the touch buttons' own handlers; keys that reach the screen while a dialog is
// open are handed on to that dialog, in order, with the start of a scan the screen held.
// The touch flow is untouched: the buttons still take no focus.
#pragma once

#include <QObject>
#include <QString>

#include "framework/ui/ScanDetector.h"

class QKeyEvent;
class TfrmVendaArquivo;

namespace shell {

// Whether a scan also adds the item at once: the host's --scan-adds (REGVENDA_SCAN_ADDS=1),
// else the line "scan-adds=sim" of RegVenda.conf in the data directory. Read once per form;
// an unreadable line is told on stderr and the default (select only) stays.
bool scanAddsSetting();

// After a dialog closed, inside its handler: lets the screen repaint and runs no touch or
// key queued meanwhile; those run after the handler, in order.
void repaintAfterDialog();

class ScreenKeys : public QObject {
  Q_OBJECT
 public:
  // A child of the form, watching the keys that reach it.
  explicit ScreenKeys(TfrmVendaArquivo& form);

  bool scanAdds() const { return scanAdds_; }
  void setScanAdds(bool adds) { scanAdds_ = adds; }

  // A scanned code, as if the search dialog had picked it.
  void scanned(const QString& code);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool handOnToDialog(QWidget* dialog, const QKeyEvent& key);
  bool runKey(const QKeyEvent& key);

  TfrmVendaArquivo& form_;
  fw::ScanDetector detector_;
  bool scanAdds_;
};

}  // namespace shell
