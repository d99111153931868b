// Whole-file reads and the one writer of every file the system writes. A replaced file goes
// to a temporary file beside the target ("<name>.tmp-XXXXXX"), is synced to disk, read back
// and compared, renamed over the target, and the folder is synced; an appended file is cut
// back to its earlier length when the append fails. So a failure (full disk, missing folder,
// no permission) never leaves a half-written file under the real name, and it is always
// reported: an fw::Error names the file and why. A full disk is told as what to do first
// (the cashier reads it), the file after it (for the technician).
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

namespace fw {

QByteArray readWholeFile(const QString& path);

// A failure before the rename leaves the earlier file as it was. Temporaries that killed
// saves of the same file left behind are removed first.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

// Appends at the end of the file, creating it when missing, and syncs it. On any failure the
// file is cut back to its earlier length (removed when the append created it), so a reader
// never meets part of what was appended. Returns the earlier length, for truncateFile.
qint64 appendToFile(const QString& path, const QByteArray& bytes);
// Undoes an append: cuts the file back to `length` and syncs it (needs no free space).
void truncateFile(const QString& path, qint64 length);

// Moves a file to a new name (the folder of `to` is created, one level, when missing)
// without ever replacing a file already there, and syncs both folders. Throws fw::Error
// naming the file and why; a failure leaves the file where it was.
void moveFileAside(const QString& from, const QString& to);

// Many moves like moveFileAside, with one sync per folder for the lot (a take-up moves
// thousands of files). A move whose source is no longer the file `inode` names (rewritten in
// the meantime by an atomic save) is not made: that file is someone else's news. Returns, per
// move, whether it was made. Throws fw::Error at the first failure; moves made before it
// stay made, and a file then left under both names is still whole under each.
struct FileMove {
  QString from;
  QString to;
  quint64 inode = 0;  // 0: whatever file is there
};
std::vector<bool> moveFiles(const std::vector<FileMove>& moves);
// The file's inode number (0 when it cannot be seen), for FileMove.
quint64 fileInode(const QString& path);

// A moment's hold on a folder between the screen, which saves a sale's files there, and the
// take-up, which moves them out: while the take-up checks that a name still holds the file it
// sent and then removes that name, no save can put a newer file under it. An advisory lock
// on the folder itself (no file of its own among the sales), waited for at most `waitMs`. A holder that is stuck is
// not waited for longer: held() is then false, and the caller decides (the screen goes on, a
// till never hangs on it; the take-up leaves its files for the next pass).
class FolderLock {
 public:
  FolderLock(const QString& folder, int waitMs);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Removes from `folder` the temporaries of saves killed half-way: only names this writer
// makes, and only those no running save holds. Returns how many went.
int removeLeftoverTemporaries(const QString& folder);

// For tests: a disk that fails on demand. The fault is asked before each step with the path
// being written; a non-zero errno makes the step fail with it. A failing Write has written
// part of the bytes first, as a disk that fills up does.
enum class WriteStep { Create, Write, Sync, Verify, Close, Rename, SyncFolder };
using WriteFault = std::function<int(WriteStep step, const QString& path)>;
void setWriteFault(WriteFault fault);  // an empty function: no faults

// For tests: the system call that syncs a written file to disk (::fsync unless replaced),
// so that a test sees what the writer does with the call's own failure, or with a file
// changed under it, after the fault above has let the step through.
using SyncCall = int (*)(int fd);
void setSyncCall(SyncCall call);  // nullptr: ::fsync

}  // namespace fw
