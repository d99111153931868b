// ScanDetector: tells a barcode scanner from a person at the keyboard. A scanner types a
// whole code in a burst (a few milliseconds a character) and ends it with Enter or Tab; a
// person is far slower. The gaps are measured on the keys' own timestamps, so a screen busy
// when the keys arrive does not turn a scan into typing.
#pragma once

#include <QString>
#include <QtGlobal>

class QKeyEvent;

namespace fw {

class ScanDetector {
 public:
  static constexpr quint64 kGapMs = 50;  // at most between two keys of one scan
  static constexpr int kMinChars = 3;    // fewer is a person's quick double key

  enum class Outcome {
    Other,    // not a character of a run, nor its end (a function key, a slow Enter)
    Char,     // a character, held as part of the current run
    Scanned,  // Enter or Tab ended a scan: take() gives its text
  };

  Outcome feed(const QKeyEvent& key);
  // The text of the scan just ended (once).
  QString take();
  // The characters of the run still open when a key at `timestamp` comes (it may be the
  // start of a scan that goes on elsewhere); empty when the run is over.
  QString openRun(quint64 timestamp) const;
  void reset();

 private:
  QString run_;
  QString scanned_;
  quint64 last_ = 0;
};

}  // namespace fw
