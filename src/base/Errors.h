// The exception types of the program. Every error we raise derives from EKronolabError,
// so a handler can catch ours apart from anything the standard library throws.
#pragma once

#include <QString>
#include <stdexcept>

// Base of all of our errors; carries the message as the user will read it.
class EKronolabError : public std::runtime_error {
public:
  explicit EKronolabError(const QString &message)
      : std::runtime_error(message.toStdString()), FMessage(message) {}
  // The message in full Unicode (what() holds the same text as UTF-8).
  const QString &Message() const { return FMessage; }

private:
  QString FMessage;
};

// A text that should hold a number, date or time does not.
class EConvertError : public EKronolabError {
public:
  using EKronolabError::EKronolabError;
};

// A file could not be read, written, created or found where it must exist.
class EInOutError : public EKronolabError {
public:
  using EKronolabError::EKronolabError;
  // reason: why, in a few words and without the file's name (the system's reason, or why we
  // refuse the file), for texts that name the file themselves.
  EInOutError(const QString &message, const QString &reason)
      : EKronolabError(message), FReason(reason) {}
  // Why the operation failed, without the file's name; empty when only the message says it.
  const QString &Reason() const { return FReason; }

private:
  QString FReason;
};

// An index, count or capacity outside what a TGeneralList allows.
class EXListError : public EKronolabError {
public:
  using EKronolabError::EKronolabError;
};

// The message text of any exception, ours or the standard library's.
inline QString ErrorMessage(const std::exception &error) {
  if (auto *own = dynamic_cast<const EKronolabError *>(&error))
    return own->Message();
  return QString::fromLocal8Bit(error.what());
}
