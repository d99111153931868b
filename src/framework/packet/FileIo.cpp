// POSIX file calls, so that flush-to-disk and rename are explicit and every failure is seen.
#include "framework/packet/FileIo.h"

#include "framework/data/Error.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

namespace {

QString reason(int err) {
  switch (err) {
    case ENOSPC: return QStringLiteral("não há espaço livre no disco");
    case EDQUOT: return QStringLiteral("a cota de disco foi excedida");
    case EFBIG: return QStringLiteral("o arquivo passou do tamanho permitido");
    case EACCES:
    case EPERM: return QStringLiteral("permissão negada");
    case ENOENT: return QStringLiteral("a pasta ou o arquivo não existe");
    case ENOTDIR: return QStringLiteral("parte do caminho não é uma pasta");
    case EISDIR: return QStringLiteral("o caminho é uma pasta");
    case EROFS: return QStringLiteral("o disco é somente leitura");
    case EIO: return QStringLiteral("erro de leitura ou gravação no disco");
    case ENAMETOOLONG: return QStringLiteral("o nome é longo demais");
    default: return QStringLiteral("erro do sistema %1 (%2)").arg(err).arg(QString::fromLocal8Bit(std::strerror(err)));
  }
}

[[noreturn]] void writeFailed(const QString& path, int err) {
  throw Error(QStringLiteral("Não foi possível gravar o arquivo '%1': %2.").arg(path, reason(err)));
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
    throw Error(QStringLiteral("Não foi possível ler o arquivo '%1': %2.").arg(path, file.errorString()));
  return bytes;
}

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
  const QFileInfo info(path);
  if (info.isDir()) writeFailed(path, EISDIR);
  const QByteArray target = QFile::encodeName(info.absoluteFilePath());
  const QByteArray folder = QFile::encodeName(info.absolutePath());
  QByteArray temp = target + ".tmp-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) writeFailed(path, errno);

  int err = 0;
  struct stat existing;
  if (::stat(target.constData(), &existing) == 0) {
    ::fchmod(fd, existing.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0 && !err) {
    const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
    if (n < 0) {
      if (errno != EINTR) err = errno;
      continue;
    }
    if (n == 0) err = ENOSPC;
    data += n;
    left -= n;
  }
  if (!err && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && !err) err = errno;
  if (!err && ::rename(temp.constData(), target.constData()) != 0) err = errno;
  if (err) {
    ::unlink(temp.constData());
    writeFailed(path, err);
  }
  // The rename itself must reach the disk too.
  const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace fw
