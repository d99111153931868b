// A disk that fills up on demand. A small file system is mounted over the folder when this
// process may mount one; otherwise the writer's fault hook refuses the writes into the
// folder with "no space left on device", half-way, as a disk that fills up does.
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "framework/packet/FileIo.h"

namespace testsupport {

class FullDisk {
 public:
  // Anything already in `folder` is hidden by the mount: create the folder's content after.
  explicit FullDisk(const QString& folder, long bytes = 256 * 1024)
      : folder_(QFileInfo(folder).absoluteFilePath()) {
    const QByteArray options = "size=" + QByteArray::number(qlonglong(bytes));
    mounted_ = ::mount("tmpfs", QFile::encodeName(folder_).constData(), "tmpfs", 0,
                       options.constData()) == 0;
  }
  ~FullDisk() {
    fw::setWriteFault({});
    if (mounted_) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
  }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;

  bool mounted() const { return mounted_; }

  // Not a byte left.
  void fill() {
    if (!mounted_) {
      const QString prefix = folder_ + QLatin1Char('/');
      fw::setWriteFault([prefix](fw::WriteStep step, const QString& path) {
        return step == fw::WriteStep::Write && QFileInfo(path).absoluteFilePath().startsWith(prefix)
                   ? ENOSPC
                   : 0;
      });
      return;
    }
    const int fd =
        ::open(QFile::encodeName(fillerPath()).constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0) return;
    static const char block[4096] = {};
    while (::write(fd, block, sizeof block) > 0) {
    }
    while (::write(fd, block, 1) > 0) {
    }
    ::close(fd);
  }

  void free() {
    fw::setWriteFault({});
    if (mounted_) QFile::remove(fillerPath());
  }

 private:
  QString fillerPath() const { return folder_ + QStringLiteral("/.enchimento"); }

  QString folder_;
  bool mounted_ = false;
};

}  // namespace testsupport
