// A helper program the host runs beside the screen (the take-up, regvenda-sync --watch): its
// own process, so a touch never waits on it and a crash of either never takes the other down.
// Its messages are appended to a log file in the data directory; it is started again a while
// after it ends on its own, and told to stop (then killed, if it will not) when the host ends.
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

class ChildProgram : public QObject {
 public:
  // program: a file name beside the host's executable. Not started when it is missing.
  ChildProgram(const QString& program, const QStringList& arguments, const QString& logFile,
               int restartAfterMs = 30000);
  ~ChildProgram() override;

 private:
  void start();

  QProcess process_;
  int restartAfterMs_;
  bool stopping_ = false;
};
