// The message sink the tests share: it keeps every message the engine shows.
#pragma once

#include "core/MessageSink.h"

#include <QStringList>
#include <cstdint>
#include <vector>

// One message as the sink received it.
struct TRecordedMessage {
  QString Caption, Header, Message;
};

// Keeps every message, and every failed call as "number|action|result|call id", for the test.
class TRecordingSink : public TMessageSink {
public:
  std::vector<TRecordedMessage> Messages;
  QStringList Failures;
  void Show(const QString &caption, const QString &header, const QString &message) override {
    Messages.push_back({caption, header, message});
  }
  void CallFailed(int number, const QString &action, const QString &result,
                  std::int64_t call) override {
    Failures.append(QStringLiteral("%1|%2|%3|%4").arg(number).arg(action, result).arg(call));
  }
  // Each message as the window's title and text read together: "caption: message".
  QStringList Texts() const {
    QStringList texts;
    for (const TRecordedMessage &m : Messages)
      texts.append(m.Caption + QStringLiteral(": ") + m.Message);
    return texts;
  }
};
