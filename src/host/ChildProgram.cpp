#include "host/ChildProgram.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

ChildProgram::ChildProgram(const QString& program, const QStringList& arguments,
                           const QString& logFile, int restartAfterMs)
    : restartAfterMs_(restartAfterMs) {
  process_.setProgram(QCoreApplication::applicationDirPath() + QLatin1Char('/') + program);
  process_.setArguments(arguments);
  process_.setStandardOutputFile(QProcess::nullDevice());
  process_.setStandardErrorFile(logFile, QIODevice::Append);
  QObject::connect(&process_, &QProcess::finished, this, [this] {
    if (!stopping_) QTimer::singleShot(restartAfterMs_, this, [this] { start(); });
  });
  start();
}

ChildProgram::~ChildProgram() {
  stopping_ = true;
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(3000)) process_.kill();  // it is safe to cut at any step
  process_.waitForFinished(1000);
}

void ChildProgram::start() {
  if (stopping_ || !QFileInfo(process_.program()).isExecutable()) return;
  process_.start();
}
