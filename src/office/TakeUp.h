// TakeUp: everything waiting in a data directory's output folder, into the office's central
// database, exactly once. Sales go in batches of whole sales, one transaction a batch, under
// the database's unique key; only after the commit are their files moved out of the folder's
// top level: to "Enviados/" (taken, already there, cancelled) or "Conflitos/" (a file that
// differs from what the office holds). A file that is not a whole table stays, reported; a
// completed sale waits for its cash-movement file. A lost connection or an error after the
// COMMIT was sent is "outcome unknown": the batch is sent again, and the key makes that
// harmless.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace office {

struct TakeUpReport {
  int taken = 0;      // new in the office
  int already = 0;    // the office held it as it is (a file sent twice)
  int cancelled = 0;  // a sale of the office became cancelled
  int conflicts = 0;  // moved to Conflitos/, recorded in regvenda.conflito
  int waiting = 0;    // completed sales without their cash-movement file yet
  int refused = 0;    // files that are not whole tables, left where they are
  QStringList problems;  // one line per refused file or conflict: name and why
  bool cut = false;      // the database could not be reached or went away: retry later
  QString error;         // why the run was cut or stopped
  int total() const { return taken + already + cancelled + conflicts; }
  // The one line a run leaves: what it did.
  QString summary() const;
};

struct TakeUpOptions {
  QString dataDir;
  QString connectionString;
  int batchSize = 250;       // sales per transaction
  int loginTimeout = 5;      // seconds
  // Told after each batch: sales handled so far, sales found.
  std::function<void(int done, int found)> progress;
};

class TakeUp {
 public:
  explicit TakeUp(TakeUpOptions options);
  // One pass over the folder. Throws fw::Error only for local failures (a file that cannot
  // be moved); database trouble is reported in the result.
  TakeUpReport run();

  static QString outputFolder(const QString& dataDir);

  // One take-up per data directory: an advisory lock on "<dir>/regvenda-sync.lock", held
  // until release (or the process ends). Returns the descriptor, -1 when another holds it.
  static int tryLock(const QString& dataDir, QString* error);
  static void unlock(int fd);

 private:
  TakeUpOptions options_;
};

// A test's way to kill the program at a step: REGVENDA_SYNC_KILL="<step>[:<n>]" sends
// SIGKILL to the process the n-th time (1 by default) it reaches the step. Steps:
// before-insert, after-insert (before the commit), after-commit (before any move), mid-move.
// REGVENDA_SYNC_PAUSE="<step>:<ms>" waits there instead, once.
void stepReached(const char* step);

}  // namespace office
