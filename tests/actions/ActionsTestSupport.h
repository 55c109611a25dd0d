// Shared by the action and process tests: a recording message sink, and ArgEcho's report.
#pragma once

#include "RecordingSink.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

// The lines ArgEcho wrote to file, waiting up to 30 seconds for them (a busy machine may be
// slow to start it); empty on time-out.
inline QStringList WaitForEcho(const QString &file) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 30000) {
    QFile f(file);
    if (f.open(QIODevice::ReadOnly))
      return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QThread::msleep(10);
  }
  return {};
}

// A temporary folder that ArgEcho reports into (file Out) for the programs a test starts.
class TEchoFolder : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  QString Out;
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Out = Dir.filePath(QStringLiteral("echo.txt"));
    qputenv("ARGECHO_OUT", Out.toUtf8());
  }
};
