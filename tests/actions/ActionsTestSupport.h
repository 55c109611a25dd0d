// Shared by the action tests: a recording message sink and waiting for ArgEcho's report.
#pragma once

#include "core/MessageSink.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QThread>
#include <vector>

// One message as the sink received it.
struct TRecordedMessage {
  QString Caption, Header, Message;
};

// Keeps every message for the test to inspect.
class TRecordingSink : public TMessageSink {
public:
  std::vector<TRecordedMessage> Messages;
  void Show(const QString &caption, const QString &header, const QString &message) override {
    Messages.push_back({caption, header, message});
  }
};

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
