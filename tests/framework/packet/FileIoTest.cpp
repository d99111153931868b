// The one writer: each step that fails leaves the earlier file whole and says why; an
// append that fails is cut back; leftovers of killed saves go, and only ours.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#include "framework/core/Error.h"
#include "framework/packet/FileIo.h"
#include "support/FullDisk.h"

namespace fw {
namespace {

// Fails `step` of writes to `path` with `err` while it lives.
class Fault {
 public:
  Fault(WriteStep step, const QString& path, int err = ENOSPC) {
    setWriteFault([=](WriteStep s, const QString& p) { return s == step && p == path ? err : 0; });
  }
  ~Fault() { setWriteFault({}); }
};

QString failureOf(const std::function<void()>& write) {
  try {
    write();
  } catch (const Error& e) {
    return e.message();
  }
  return {};
}

QString files(const QTemporaryDir& dir) {
  QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
  names.sort();
  return names.join(QLatin1Char(' '));
}

void touch(const QString& path) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("half of a killed save");
}

TEST(FileWriter, EveryFailingStepIsReportedAndLeavesTheEarlierFileWhole) {
  QTemporaryDir dir;
  const QString path = dir.filePath("Venda.cds");
  writeFileAtomically(path, "earlier");
  for (WriteStep step : {WriteStep::Create, WriteStep::Write, WriteStep::Sync, WriteStep::Verify,
                         WriteStep::Close, WriteStep::Rename}) {
    Fault fault(step, path);
    const QString failure = failureOf([&] { writeFileAtomically(path, "the new content"); });
    // What the cashier can do comes first, the file after it.
    EXPECT_EQ(failure,
              "Disco cheio: libere espaço no disco e toque de novo. (Não foi possível "
              "gravar o arquivo '" +
                  path + "': não há espaço livre no disco.)")
        << int(step);
    EXPECT_EQ(readWholeFile(path), "earlier") << int(step);
    EXPECT_EQ(files(dir), "Venda.cds") << int(step);
  }
  // The system call itself fails, or the file changes before it is read back.
  const SyncCall failing = [](int) {
    errno = EIO;
    return -1;
  };
  const SyncCall changing = [](int fd) { return ::pwrite(fd, "X", 1, 2) == 1 ? ::fsync(fd) : -1; };
  for (const SyncCall call : {failing, changing}) {
    setSyncCall(call);
    const QString failure = failureOf([&] { writeFileAtomically(path, "the new content"); });
    setSyncCall(nullptr);
    EXPECT_TRUE(failure.endsWith("erro de leitura ou gravação no disco.")) << failure.toStdString();
    EXPECT_EQ(readWholeFile(path), "earlier");
    EXPECT_EQ(files(dir), "Venda.cds");
  }
  {
    // The folder is synced after the rename: the new content is in place, yet the failure is told.
    Fault fault(WriteStep::SyncFolder, path, EIO);
    EXPECT_TRUE(failureOf([&] {
                  writeFileAtomically(path, "newer");
                }).endsWith("erro de leitura ou gravação no disco."));
    EXPECT_EQ(readWholeFile(path), "newer");
  }
  writeFileAtomically(path, "once there is room");
  EXPECT_EQ(readWholeFile(path), "once there is room");
}

TEST(FileWriter, AFailedAppendIsCutBackAndAnAppendCanBeUndone) {
  QTemporaryDir dir;
  const QString path = dir.filePath("Bobina.txt");
  EXPECT_EQ(appendToFile(path, "line 1\n"), 0);
  for (WriteStep step : {WriteStep::Create, WriteStep::Write, WriteStep::Sync, WriteStep::Verify,
                         WriteStep::Close}) {
    Fault fault(step, path);
    EXPECT_TRUE(failureOf([&] {
                  appendToFile(path, "line 2, long enough to be cut in half\n");
                }).contains(path));
    EXPECT_EQ(readWholeFile(path), "line 1\n") << int(step);
  }
  {
    // Nothing is left of a file the failed append would have created.
    const QString fresh = dir.filePath("nova.txt");
    Fault fault(WriteStep::Write, fresh);
    EXPECT_FALSE(failureOf([&] { appendToFile(fresh, "x\n"); }).isEmpty());
    EXPECT_FALSE(QFile::exists(fresh));
  }
  const qint64 earlier = appendToFile(path, "line 2\n");
  EXPECT_EQ(earlier, 7);
  truncateFile(path, earlier);
  EXPECT_EQ(readWholeFile(path), "line 1\n");
}

TEST(FileWriter, LeftoversOfKilledSavesGoAtTheNextSaveAndAtStartUpButOnlyOurs) {
  QTemporaryDir dir;
  const QString path = dir.filePath("Venda1.cds");
  touch(path + ".tmp-Ab12Cd");
  touch(dir.filePath("Venda2.cds.tmp-Zz99Yy"));
  touch(dir.filePath("Venda2.cds.tmp-curto"));  // not a name the writer makes
  touch(dir.filePath("outro.cds.bak"));
  touch(dir.filePath("Venda3.cds.tmp-Qw34Er"));  // a save still running holds it
  const int running =
      ::open(QFile::encodeName(dir.filePath("Venda3.cds.tmp-Qw34Er")).constData(), O_RDONLY);
  ASSERT_GE(running, 0);
  ASSERT_EQ(::flock(running, LOCK_EX), 0);

  writeFileAtomically(path, "sale");
  EXPECT_FALSE(QFile::exists(path + ".tmp-Ab12Cd"));
  EXPECT_TRUE(
      QFile::exists(dir.filePath("Venda2.cds.tmp-Zz99Yy")));  // another file's: its own save

  EXPECT_EQ(removeLeftoverTemporaries(dir.path()), 1);
  EXPECT_EQ(files(dir), "Venda1.cds Venda2.cds.tmp-curto Venda3.cds.tmp-Qw34Er outro.cds.bak");
  ::close(running);
}

TEST(FileWriter, ASmallDiskThatFillsUpKeepsEveryFileWhole) {
  QTemporaryDir dir;
  testsupport::FullDisk disk(dir.path(), 64 * 1024);
  const QString table = dir.filePath("Venda.cds");
  const QString tape = dir.filePath("Bobina.txt");
  writeFileAtomically(table, QByteArray(20000, 'a'));
  appendToFile(tape, "line 1\n");

  disk.fill();
  EXPECT_TRUE(failureOf([&] {
                writeFileAtomically(table, QByteArray(20000, 'b'));
              }).contains("não há espaço livre"));
  EXPECT_TRUE(failureOf([&] {
                appendToFile(tape, QByteArray(9000, 'x') + '\n');
              }).contains("não há espaço livre"));
  EXPECT_EQ(readWholeFile(table), QByteArray(20000, 'a'));
  EXPECT_EQ(readWholeFile(tape), "line 1\n");
  EXPECT_FALSE(files(dir).contains(".tmp-"));

  disk.free();
  writeFileAtomically(table, QByteArray(20000, 'b'));
  appendToFile(tape, "line 2\n");
  EXPECT_EQ(readWholeFile(table), QByteArray(20000, 'b'));
  EXPECT_EQ(readWholeFile(tape), "line 1\nline 2\n");
}

// The screen and the take-up hold the output folder in turn; a holder that does not let go
// is waited for only so long.
TEST(FileWriter, AFolderIsHeldByOneAtATimeAndAStuckHolderIsNotWaitedForLong) {
  QTemporaryDir dir;
  {
    const FolderLock first(dir.path(), 0);
    ASSERT_TRUE(first.held());
    const FolderLock second(dir.path(), 50);
    EXPECT_FALSE(second.held());
  }
  EXPECT_TRUE(FolderLock(dir.path(), 0).held());
  EXPECT_FALSE(FolderLock(dir.filePath("nao-existe"), 0).held());
  EXPECT_EQ(files(dir), QString());
}

}  // namespace
}  // namespace fw
