// The message sink the tests share: it keeps every message the engine shows.
#pragma once

#include "core/MessageSink.h"

#include <QStringList>
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
  // Each message as the window's title and text read together: "caption: message".
  QStringList Texts() const {
    QStringList texts;
    for (const TRecordedMessage &m : Messages)
      texts.append(m.Caption + QStringLiteral(": ") + m.Message);
    return texts;
  }
};
