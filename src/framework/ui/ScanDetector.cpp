#include "framework/ui/ScanDetector.h"

#include <QKeyEvent>
#include <utility>

namespace fw {

namespace {

bool isRunCharacter(const QKeyEvent& key) {
  if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const QString text = key.text();
  return text.size() == 1 && text.at(0).isPrint();
}

}  // namespace

QString ScanDetector::openRun(quint64 timestamp) const {
  // A clock that went back counts as a gap: no scan spans it.
  if (run_.isEmpty() || timestamp < last_ || timestamp - last_ > kGapMs) return {};
  return run_;
}

ScanDetector::Outcome ScanDetector::feed(const QKeyEvent& key) {
  const quint64 at = key.timestamp();
  const bool inRun = !openRun(at).isEmpty();
  // A held key repeats as fast as a scanner types; it is never part of a code.
  if (key.isAutoRepeat()) {
    reset();
    return Outcome::Other;
  }
  if (isRunCharacter(key)) {
    if (!inRun) run_.clear();
    run_ += key.text();
    last_ = at;
    return Outcome::Char;
  }
  const bool ends = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter ||
                    (key.key() == Qt::Key_Tab && !(key.modifiers() & ~Qt::KeypadModifier));
  const bool scanned = ends && inRun && run_.size() >= kMinChars;
  if (scanned) scanned_ = run_;
  run_.clear();
  return scanned ? Outcome::Scanned : Outcome::Other;
}

QString ScanDetector::take() { return std::exchange(scanned_, QString()); }

void ScanDetector::reset() {
  run_.clear();
  scanned_.clear();
}

}  // namespace fw
