// POSIX file calls, so that syncing to disk and renaming are explicit and every failure is
// seen: a buffered writer may report success after a flush that failed on a full disk.
#include "framework/packet/FileIo.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "framework/core/Error.h"

namespace fw {

namespace {

constexpr char kTempMark[] = ".tmp-";
constexpr int kTempRandom = 6;  // what mkstemp puts in place of "XXXXXX"

QString reason(int err) {
  switch (err) {
    case ENOSPC:
      return QStringLiteral("não há espaço livre no disco");
    case EDQUOT:
      return QStringLiteral("a cota de disco foi excedida");
    case EFBIG:
      return QStringLiteral("o arquivo passou do tamanho permitido");
    case EACCES:
    case EPERM:
      return QStringLiteral("permissão negada");
    case ENOENT:
      return QStringLiteral("a pasta ou o arquivo não existe");
    case ENOTDIR:
      return QStringLiteral("parte do caminho não é uma pasta");
    case EISDIR:
      return QStringLiteral("o caminho é uma pasta");
    case EROFS:
      return QStringLiteral("o disco é somente leitura");
    case EIO:
      return QStringLiteral("erro de leitura ou gravação no disco");
    case ENAMETOOLONG:
      return QStringLiteral("o nome é longo demais");
    default:
      return QStringLiteral("erro do sistema %1 (%2)")
          .arg(err)
          .arg(QString::fromLocal8Bit(std::strerror(err)));
  }
}

bool diskFull(int err) { return err == ENOSPC || err == EDQUOT; }

// What the cashier can do comes first; the rest is for the technician.
QString failure(const QString& what, int err) {
  if (diskFull(err))
    return QStringLiteral("Disco cheio: libere espaço no disco e toque de novo. (%1: %2.)")
        .arg(what, reason(err));
  return QStringLiteral("%1: %2.").arg(what, reason(err));
}

[[noreturn]] void writeFailed(const QString& path, int err) {
  throw Error(failure(QStringLiteral("Não foi possível gravar o arquivo '%1'").arg(path), err));
}

WriteFault& installedFault() {
  static WriteFault fault;
  return fault;
}

int injected(WriteStep step, const QString& path) {
  const WriteFault& fault = installedFault();
  return fault ? fault(step, path) : 0;
}

int writeLoop(int fd, const char* data, qsizetype left) {
  while (left > 0) {
    const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    data += n;
    left -= n;
  }
  return 0;
}

int writeAll(int fd, const QByteArray& bytes, const QString& path) {
  if (const int err = injected(WriteStep::Write, path)) {
    writeLoop(fd, bytes.constData(), bytes.size() / 2);  // what a filling disk still took
    return err;
  }
  return writeLoop(fd, bytes.constData(), bytes.size());
}

SyncCall& syncCall() {
  static SyncCall call = nullptr;
  return call;
}

int syncFile(int fd, const QString& path) {
  if (const int err = injected(WriteStep::Sync, path)) return err;
  const SyncCall call = syncCall();
  return (call ? call(fd) : ::fsync(fd)) == 0 ? 0 : errno;
}

// What the file holds from `offset` on is exactly `bytes`.
int verify(int fd, const QByteArray& bytes, off_t offset, const QString& path) {
  if (const int err = injected(WriteStep::Verify, path)) return err;
  char buffer[65536];
  qsizetype done = 0;
  while (done < bytes.size()) {
    const size_t want =
        static_cast<size_t>(std::min<qsizetype>(bytes.size() - done, sizeof buffer));
    const ssize_t n = ::pread(fd, buffer, want, offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0 || std::memcmp(buffer, bytes.constData() + done, static_cast<size_t>(n)) != 0)
      return EIO;
    done += n;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) return errno;
  return st.st_size == offset + bytes.size() ? 0 : EIO;
}

int closeFile(int fd, const QString& path) {
  const int err = injected(WriteStep::Close, path);
  if (::close(fd) != 0 && !err) return errno;
  return err;
}

// The rename or the new name must reach the disk too.
int syncFolder(const QByteArray& folder, const QString& path) {
  if (const int err = injected(WriteStep::SyncFolder, path)) return err;
  const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return errno;
  int err = ::fsync(dir) == 0 ? 0 : errno;
  if (err == EINVAL) err = 0;  // a file system that cannot sync folders: nothing more to do
  ::close(dir);
  return err;
}

bool isTemporaryName(const char* name, const QByteArray& base) {
  const size_t length = std::strlen(name);
  const size_t mark = sizeof kTempMark - 1;
  if (length <= mark + kTempRandom) return false;
  const size_t stem = length - mark - kTempRandom;
  if (std::memcmp(name + stem, kTempMark, mark) != 0) return false;
  if (!base.isEmpty() &&
      (static_cast<size_t>(base.size()) != stem || std::memcmp(name, base.constData(), stem) != 0))
    return false;
  for (const char* c = name + length - kTempRandom; *c; ++c) {
    if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9')))
      return false;
  }
  return true;
}

// A save holds a lock on its temporary until the rename, so a temporary nobody locks is a
// leftover. `base` empty: every file's temporaries.
int removeTemporaries(const QByteArray& folder, const QByteArray& base) {
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!isTemporaryName(entry->d_name, base)) continue;
    const QByteArray path = folder + '/' + entry->d_name;
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::unlink(path.constData()) == 0) {
      ++removed;
    }
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
}

}  // namespace

QByteArray readWholeFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    const QFileInfo info(path);
    const QString why = !info.exists() ? QStringLiteral("o arquivo não existe")
                        : info.isDir() ? QStringLiteral("o caminho é uma pasta")
                                       : file.errorString();
    throw Error(QStringLiteral("Não foi possível abrir o arquivo '%1': %2.").arg(path, why));
  }
  QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    throw Error(
        QStringLiteral("Não foi possível ler o arquivo '%1': %2.").arg(path, file.errorString()));
  return bytes;
}

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
  const QFileInfo info(path);
  if (info.isDir()) writeFailed(path, EISDIR);
  const QByteArray target = QFile::encodeName(info.absoluteFilePath());
  const QByteArray folder = QFile::encodeName(info.absolutePath());
  removeTemporaries(folder, QFile::encodeName(info.fileName()));

  QByteArray temp = target + kTempMark + QByteArray(kTempRandom, 'X');
  int err = injected(WriteStep::Create, path);
  const int fd = err ? -1 : ::mkostemp(temp.data(), O_CLOEXEC);
  if (!err && fd < 0) err = errno;
  if (err) writeFailed(path, err);
  // The lock marks the temporary as in use; a second descriptor keeps it past the close,
  // whose error is checked, until the rename.
  ::flock(fd, LOCK_EX | LOCK_NB);
  const int hold = ::dup(fd);

  struct stat existing;
  if (::stat(target.constData(), &existing) == 0) {
    ::fchmod(fd, existing.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  err = writeAll(fd, bytes, path);
  if (!err) err = syncFile(fd, path);
  if (!err) err = verify(fd, bytes, 0, path);
  const int closed = closeFile(fd, path);
  if (!err) err = closed;
  if (!err) err = injected(WriteStep::Rename, path);
  if (!err && ::rename(temp.constData(), target.constData()) != 0) err = errno;
  if (err) ::unlink(temp.constData());
  if (hold >= 0) ::close(hold);
  if (err) writeFailed(path, err);
  // Past this point the new content is in place; a failure is still reported.
  err = syncFolder(folder, path);
  if (err) writeFailed(path, err);
}

qint64 appendToFile(const QString& path, const QByteArray& bytes) {
  const QFileInfo info(path);
  if (info.isDir()) writeFailed(path, EISDIR);
  const QByteArray file = QFile::encodeName(info.absoluteFilePath());
  struct stat st;
  const bool existed = ::stat(file.constData(), &st) == 0;

  int err = injected(WriteStep::Create, path);
  const int fd = err ? -1 : ::open(file.constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (!err && fd < 0) err = errno;
  if (err) writeFailed(path, err);
  if (::fstat(fd, &st) != 0) {
    err = errno;
    ::close(fd);
    writeFailed(path, err);
  }
  const off_t earlier = st.st_size;
  err = writeAll(fd, bytes, path);
  if (!err) err = syncFile(fd, path);
  if (!err) err = verify(fd, bytes, earlier, path);
  if (err) {
    // Cutting back takes no space, so the file is whole again even on a full disk.
    if (::ftruncate(fd, earlier) == 0) ::fsync(fd);
    ::close(fd);
    if (!existed) ::unlink(file.constData());
    writeFailed(path, err);
  }
  err = closeFile(fd, path);
  if (!err && !existed) err = syncFolder(QFile::encodeName(info.absolutePath()), path);
  if (err) {
    if (!existed) {
      ::unlink(file.constData());
    } else if (::truncate(file.constData(), earlier) != 0) {
      err = errno;  // the appended part stays: say why it could not be taken back
    }
    writeFailed(path, err);
  }
  return earlier;
}

void truncateFile(const QString& path, qint64 length) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
  int err = fd < 0 ? errno : 0;
  if (!err && ::ftruncate(fd, static_cast<off_t>(length)) != 0) err = errno;
  if (!err && ::fsync(fd) != 0) err = errno;
  if (fd >= 0 && ::close(fd) != 0 && !err) err = errno;
  if (err) writeFailed(path, err);
}

void moveFileAside(const QString& from, const QString& to) {
  const QFileInfo source(from);
  const QFileInfo target(to);
  const QByteArray targetFolder = QFile::encodeName(target.absolutePath());
  int err = 0;
  if (::mkdir(targetFolder.constData(), 0777) != 0 && errno != EEXIST) err = errno;
  if (!err) err = injected(WriteStep::Rename, to);
  // A hard link and an unlink, not a rename: a name already taken is refused, never replaced.
  if (!err && ::link(QFile::encodeName(source.absoluteFilePath()).constData(),
                     QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
    err = errno;
  if (!err) err = syncFolder(targetFolder, to);
  if (!err && ::unlink(QFile::encodeName(source.absoluteFilePath()).constData()) != 0) err = errno;
  if (!err) err = syncFolder(QFile::encodeName(source.absolutePath()), from);
  if (err) {
    throw Error(failure(
        QStringLiteral("Não foi possível mover o arquivo '%1' para '%2'").arg(from, to), err));
  }
}

int removeLeftoverTemporaries(const QString& folder) {
  return removeTemporaries(QFile::encodeName(QFileInfo(folder).absoluteFilePath()), {});
}

quint64 fileInode(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return 0;
  return static_cast<quint64>(st.st_ino);
}

std::vector<bool> moveFiles(const std::vector<FileMove>& moves) {
  std::vector<bool> made(moves.size(), false);
  std::vector<QByteArray> targetFolders, sourceFolders;
  const auto remember = [](std::vector<QByteArray>& list, const QByteArray& folder) {
    if (std::find(list.begin(), list.end(), folder) == list.end()) list.push_back(folder);
  };
  const auto failed = [](const FileMove& m, int err) {
    return Error(QStringLiteral("Não foi possível mover o arquivo '%1' para '%2': %3.")
                     .arg(m.from, m.to, reason(err)));
  };
  // Links first: until the targets' folders are synced, no source name goes.
  for (std::size_t i = 0; i < moves.size(); ++i) {
    const FileMove& m = moves[i];
    const QFileInfo target(m.to);
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    if (std::find(targetFolders.begin(), targetFolders.end(), folder) == targetFolders.end()) {
      if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST) throw failed(m, errno);
      targetFolders.push_back(folder);
    }
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    int err = injected(WriteStep::Rename, m.to);
    if (!err && ::link(QFile::encodeName(m.from).constData(), to.constData()) != 0) err = errno;
    if (err == ENOENT) continue;  // gone meanwhile: nothing to move
    // A move cut between its link and its unlink: the link is there already.
    if (err == EEXIST && fileInode(m.to) != 0 && fileInode(m.to) == fileInode(m.from)) err = 0;
    if (err) throw failed(m, err);
    if (m.inode != 0 && fileInode(m.to) != m.inode) {
      ::unlink(to.constData());  // a newer file took the name: it stays where it is
      continue;
    }
    made[i] = true;
  }
  for (const QByteArray& folder : targetFolders)
    if (const int err = syncFolder(folder, QString::fromLocal8Bit(folder))) throw failed(moves[0], err);
  for (std::size_t i = 0; i < moves.size(); ++i) {
    if (!made[i]) continue;
    const FileMove& m = moves[i];
    // Only the very file that was linked leaves its old name.
    if (m.inode != 0 && fileInode(m.from) != m.inode) continue;
    if (::unlink(QFile::encodeName(m.from).constData()) != 0 && errno != ENOENT)
      throw failed(m, errno);
    remember(sourceFolders, QFile::encodeName(QFileInfo(m.from).absolutePath()));
  }
  for (const QByteArray& folder : sourceFolders)
    if (const int err = syncFolder(folder, QString::fromLocal8Bit(folder))) throw failed(moves[0], err);
  return made;
}

FolderLock::FolderLock(const QString& folder, int waitMs) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  for (int waited = 0;; waited += 5) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (waited >= waitMs) break;
    ::usleep(5000);
  }
  ::close(fd);
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

void setWriteFault(WriteFault fault) { installedFault() = std::move(fault); }

void setSyncCall(SyncCall call) { syncCall() = call; }

}  // namespace fw
