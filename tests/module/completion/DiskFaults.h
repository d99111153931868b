// Real write failures for the output folder: a folder this process may not write into,
// and a disk that fills up during a save.
#pragma once

#include <sys/resource.h>

#include <QString>
#include <csignal>

// The folder's write permission is taken away. Root ignores permissions, so the calling
// thread also gives up its permission override while the object lives.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const QString& path);
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
  // Whether creating a file there really fails now.
  bool effective() const;
  void release();  // writable again

 private:
  QString path_;
  bool dropped_ = false;
  bool released_ = false;
  unsigned savedEffective_[2] = {0, 0};
};

// A tiny file system mounted over the folder when the process may mount one; otherwise a
// limit on the size of any file the process writes. Either way a save that grows past
// about `bytes` fails in the middle of writing.
class SmallDisk {
 public:
  SmallDisk(const QString& path, long bytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  void grow();  // room enough again
  bool mounted() const { return mounted_; }

 private:
  QString path_;
  bool mounted_ = false;
  bool limited_ = false;
  rlimit savedLimit_{};
  void (*savedHandler_)(int) = SIG_DFL;
};
