// libFuzzer target over the INI engine and the configuration loader: any bytes as a file,
// read section by section and key by key, then loaded as the scheduler's configuration.
// Nothing is ever written back.
#include "base/Errors.h"
#include "core/Scheduler.h"
#include "storage/XIniFile.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

// One file per fuzzing process, rewritten for every input.
const QString &InputFileName() {
  static const QString name =
      QDir::temp().filePath(QStringLiteral("kronolab-inifuzz-%1.ini").arg(getpid()));
  return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const QString &fileName = InputFileName();
  {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
      std::abort();
    file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
  }
  try {
    TXIniFile ini(fileName);
    QStringList sections;
    ini.ReadSections(sections);
    for (const QString &section : sections) {
      QStringList keys, values;
      ini.ReadSection(section, keys);
      ini.ReadSectionValues(section, values);
      for (const QString &key : keys) {
        const QString value = ini.ReadString(section, key, QString());
        ini.ReadInteger(section, key, 0);
        ini.ReadBool(section, key, false);
        ini.ReadFloat(section, key, 0);
        (void)value;
      }
    }
    QStringList lines;
    ini.GetStrings(lines);
    // Only reads: the model must not want to rewrite the file.
    if (ini.Dirty())
      std::abort();
  } catch (const EInOutError &) {
    // A file we do not understand (NUL characters, broken UTF-16, no section of ours) is
    // refused as a whole; the loader below must refuse it the same way.
  }
  TScheduler scheduler;
  try {
    scheduler.LoadConfiguration(fileName);
  } catch (const EInOutError &) {
    if (scheduler.ActionList().Count() != 0)
      std::abort();
    return 0;
  }
  for (int i = 0; i < scheduler.ActionList().Count(); ++i) {
    const TActionEntry &entry = *scheduler.ActionList()[i];
    // The loader keeps only entries with a date and an action, each within its limit.
    if (entry.FirstDate == 0 || entry.Action.IsEmpty() ||
        entry.Action.Text().size() > MaxActionLength || entry.DueFlag != entry.SuddenStart)
      std::abort();
  }
  return 0;
}
