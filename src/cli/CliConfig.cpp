#include "cli/CliConfig.h"

#include "base/Errors.h"
#include "core/CmdLine.h"
#include "core/MessageSink.h"
#include "core/Scheduler.h"

#include <QDir>
#include <QFileInfo>

void TCliErrSink::Show(const QString &, const QString &header, const QString &message) {
  FErr << FCommand << ": " << header << "\n"
       << QString(message).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) << "\n";
}

std::optional<QString> CliConfigFileName(const QString &command, const QString &given,
                                         bool mayBeNew, QTextStream &err) {
  QString fileName;
  try {
    fileName =
        StartupFileNames(given.isEmpty() ? QStringList() : QStringList{given}, QDir::currentPath())
            .ConfigFileName;
  } catch (const std::exception &error) {
    err << command << ": " << ErrorMessage(error) << "\n";
    return std::nullopt;
  }
  // A typing error in a named file must not look like an empty action list.
  if (!given.isEmpty() && !mayBeNew && !QFileInfo::exists(fileName)) {
    err << command << ": " << fileName << ": Datei nicht gefunden\n";
    return std::nullopt;
  }
  return fileName;
}

bool LoadCliConfiguration(const QString &command, const QString &given, TScheduler &scheduler,
                          QTextStream &err) {
  const std::optional<QString> name = CliConfigFileName(command, given, false, err);
  if (!name)
    return false;
  const QString &fileName = *name;
  TCliErrSink sink(command, err);
  TMessageSink *const previous = scheduler.MessageSink();
  scheduler.SetMessageSink(&sink);
  bool loaded = true;
  try {
    scheduler.SetConfigFileName(fileName);
    scheduler.LoadConfiguration(fileName);
  } catch (const std::exception &error) {
    err << command << ": " << ErrorMessage(error) << "\n";
    loaded = false;
  }
  scheduler.SetMessageSink(previous);
  return loaded;
}
