#include "module/completion/DiskFaults.h"

#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QFile>

namespace {

bool threadCaps(__user_cap_data_struct (&data)[2], bool set) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

constexpr unsigned kOverrides =
    (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);

}  // namespace

ReadOnlyFolder::ReadOnlyFolder(const QString& path) : path_(path) {
  ::chmod(QFile::encodeName(path_).constData(), 0555);
  __user_cap_data_struct data[2]{};
  if (geteuid() == 0 && threadCaps(data, false)) {
    savedEffective_[0] = data[0].effective;
    savedEffective_[1] = data[1].effective;
    data[0].effective &= ~kOverrides;
    dropped_ = threadCaps(data, true);
  }
}

ReadOnlyFolder::~ReadOnlyFolder() { release(); }

void ReadOnlyFolder::release() {
  if (released_) return;
  released_ = true;
  if (dropped_) {
    __user_cap_data_struct data[2]{};
    if (threadCaps(data, false)) {
      data[0].effective = savedEffective_[0];
      data[1].effective = savedEffective_[1];
      threadCaps(data, true);
    }
  }
  ::chmod(QFile::encodeName(path_).constData(), 0755);
}

bool ReadOnlyFolder::effective() const {
  QFile probe(path_ + QStringLiteral("/.probe"));
  if (!probe.open(QIODevice::WriteOnly)) return true;
  probe.close();
  probe.remove();
  return false;
}

SmallDisk::SmallDisk(const QString& path, long bytes) : path_(path) {
  const QByteArray options = "size=" + QByteArray::number(qlonglong(bytes));
  mounted_ =
      ::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs", 0, options.constData()) == 0;
  if (!mounted_) {
    getrlimit(RLIMIT_FSIZE, &savedLimit_);
    rlimit small = savedLimit_;
    small.rlim_cur = rlim_t(bytes);
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // a failing write instead of a killed process
    limited_ = setrlimit(RLIMIT_FSIZE, &small) == 0;
  }
}

SmallDisk::~SmallDisk() {
  grow();
  if (mounted_) ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
}

void SmallDisk::grow() {
  if (mounted_) {
    ::mount(nullptr, QFile::encodeName(path_).constData(), nullptr, MS_REMOUNT, "size=4m");
  } else if (limited_) {
    setrlimit(RLIMIT_FSIZE, &savedLimit_);
    std::signal(SIGXFSZ, savedHandler_);
    limited_ = false;
  }
}
