// MemoryStore: the fiscal memory kept in the data directory as two copies,
// "ImpressoraFiscal.json" and "ImpressoraFiscal.copia.json", written one after the other
// through the atomic writer. Each carries a checksum and a save counter, so a copy that is
// lost, damaged or left behind by a failed save is told apart from the good one and
// restored from it; the memory is lost only when both copies are.
#pragma once

#include <QString>
#include <QStringList>

#include "fiscal/PrinterMemory.h"

namespace fiscal {

class MemoryStore {
 public:
  explicit MemoryStore(QString dataDirectory);

  struct Reading {
    PrinterMemory memory;  // the newest good copy
    bool none = false;     // neither copy exists
    QString damage;        // no good copy although one exists: why (the files stay as they are)
    // For the tape: each copy found lost, damaged or behind, which the next write restores.
    QStringList recovered;
  };
  Reading read() const;

  // Copy one, then copy two, with the save counter one up. Throws fw::Error when copy one
  // could not be written: the memory stays as it was. Copy one is what counts; when only
  // copy two fails, it is left behind and the next read reports it for restoring.
  void write(PrinterMemory& memory) const;

  QString path(int copy) const;  // copy 1 or 2

 private:
  QString dataDirectory_;
};

}  // namespace fiscal
