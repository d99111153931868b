#include "fiscal/MemoryStore.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

#include "framework/core/Error.h"
#include "framework/packet/FileIo.h"

namespace fiscal {

namespace {

struct Copy {
  std::optional<PrinterMemory> memory;  // when good
  bool exists = false;
  QString problem;  // when it exists and is not good
  QByteArray bytes;
};

Copy readCopy(const QString& path) {
  Copy c;
  c.exists = QFileInfo::exists(path);
  if (!c.exists) return c;
  try {
    c.bytes = fw::readWholeFile(path);
    c.memory = PrinterMemory::fromJson(c.bytes);
  } catch (const fw::Error& e) {
    c.problem = QStringLiteral("%1 (%2)").arg(e.message(), path);
  }
  return c;
}

bool holds(const QString& path, const QByteArray& bytes) {
  try {
    return fw::readWholeFile(path) == bytes;
  } catch (const fw::Error&) {
    return false;
  }
}

}  // namespace

MemoryStore::MemoryStore(QString dataDirectory) : dataDirectory_(std::move(dataDirectory)) {}

QString MemoryStore::path(int copy) const {
  return QDir(dataDirectory_)
      .filePath(copy == 1 ? QStringLiteral("ImpressoraFiscal.json")
                          : QStringLiteral("ImpressoraFiscal.copia.json"));
}

MemoryStore::Reading MemoryStore::read() const {
  const Copy copies[2] = {readCopy(path(1)), readCopy(path(2))};
  Reading r;
  if (!copies[0].exists && !copies[1].exists) {
    r.none = true;
    return r;
  }
  int good = -1;
  for (int i = 0; i < 2; ++i) {
    if (copies[i].memory &&
        (good < 0 || copies[i].memory->generation > copies[good].memory->generation))
      good = i;
  }
  if (good < 0) {
    QStringList why;
    for (int i = 0; i < 2; ++i) {
      why << (copies[i].exists
                  ? copies[i].problem
                  : QStringLiteral("a cópia %1 não existe (%2)").arg(i + 1).arg(path(i + 1)));
    }
    r.damage = why.join(QStringLiteral("; "));
    return r;
  }
  const int other = 1 - good;
  const Copy& o = copies[other];
  r.memory = *copies[good].memory;
  if (o.memory && o.memory->generation == r.memory.generation) {
    // Saved together, so equal counters mean equal content; otherwise one was changed by hand.
    if (o.bytes != copies[good].bytes) {
      r.damage = QStringLiteral("as duas cópias da memória fiscal divergem (%1, %2)")
                     .arg(path(1), path(2));
    }
    return r;
  }
  // A memory of the first format had one file; its second copy comes with the next save.
  if (!o.exists && good == 0 && r.memory.generation == 0) return r;
  const QString state = !o.exists  ? QStringLiteral("não encontrada")
                        : o.memory ? QStringLiteral("desatualizada")
                                   : QStringLiteral("danificada");
  r.recovered << QStringLiteral("Cópia %1 da memória fiscal (%2) %3: refeita a partir da cópia %4.")
                     .arg(other + 1)
                     .arg(QFileInfo(path(other + 1)).fileName(), state)
                     .arg(good + 1);
  return r;
}

void MemoryStore::write(PrinterMemory& memory) const {
  PrinterMemory next = memory;
  ++next.generation;
  const QByteArray bytes = next.toJson();
  try {
    fw::writeFileAtomically(path(1), bytes);
  } catch (const fw::Error&) {
    // Only a failure after the rename (syncing the folder) leaves the new copy in place.
    if (!holds(path(1), bytes)) throw;
  }
  memory.generation = next.generation;
  try {
    fw::writeFileAtomically(path(2), bytes);
  } catch (const fw::Error&) {
    // Copy one holds the memory; copy two is behind, and the next read has it restored.
  }
}

}  // namespace fiscal
