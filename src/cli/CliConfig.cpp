#include "cli/CliConfig.h"

#include "base/Errors.h"
#include "core/CmdLine.h"
#include "core/MessageSink.h"
#include "core/Scheduler.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Tells what the load could not take on stderr, beside the command's own output.
class TLoadMessageSink : public TMessageSink {
public:
  TLoadMessageSink(const QString &command, QTextStream &err) : FCommand(command), FErr(err) {}
  void Show(const QString &, const QString &header, const QString &message) override {
    FErr << FCommand << ": " << header << "\n" << message << "\n";
  }

private:
  QString FCommand;
  QTextStream &FErr;
};

} // namespace

bool LoadCliConfiguration(const QString &command, const QString &given, TScheduler &scheduler,
                          QTextStream &err) {
  QString fileName;
  try {
    fileName =
        StartupFileNames(given.isEmpty() ? QStringList() : QStringList{given}, QDir::currentPath())
            .ConfigFileName;
  } catch (const std::exception &error) {
    err << command << ": " << ErrorMessage(error) << "\n";
    return false;
  }
  // A typing error in a named file must not look like an empty action list.
  if (!given.isEmpty() && !QFileInfo::exists(fileName)) {
    err << command << ": " << fileName << ": Datei nicht gefunden\n";
    return false;
  }
  TLoadMessageSink sink(command, err);
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
