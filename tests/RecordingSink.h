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

// One failed call as the sink was told of it.
struct TRecordedFailure {
  int EntryNumber = 0;
  QString Action, Result;
  std::int64_t CallId = 0;
};

// Keeps every message and failure for the test to inspect.
class TRecordingSink : public TMessageSink {
public:
  std::vector<TRecordedMessage> Messages;
  std::vector<TRecordedFailure> Failures;
  void Show(const QString &caption, const QString &header, const QString &message) override {
    Messages.push_back({caption, header, message});
  }
  void CallFailed(int entryNumber, const QString &action, const QString &result,
                  std::int64_t callId) override {
    Failures.push_back({entryNumber, action, result, callId});
  }
  // Each message as the window's title and text read together: "caption: message".
  QStringList Texts() const {
    QStringList texts;
    for (const TRecordedMessage &m : Messages)
      texts.append(m.Caption + QStringLiteral(": ") + m.Message);
    return texts;
  }
};
