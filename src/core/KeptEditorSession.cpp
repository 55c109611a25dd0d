// The kept editor session: a configuration file of its own, with the rows' origins and the
// editor's chosen file as keys that only it has.
#include "core/KeptEditorSession.h"

#include "storage/ActionListFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

const QString General = QStringLiteral("General");
const QString KeptAtKey = QStringLiteral("KeptAt");
const QString FileKey = QStringLiteral("ConfigFile");
const QString OriginKey = QStringLiteral("Origin");
const QString LastDateChangedKey = QStringLiteral("LastDateChanged");

} // namespace

QString KeptEditorSessionFile(const QString &configFileName) {
  return configFileName + QStringLiteral(".unsaved");
}

void KeepEditorSession(const QString &configFileName, const TListEditSession &session,
                       TDateTime keptAt) {
  const QString fileName = KeptEditorSessionFile(configFileName);
  // The engine keeps what a file holds besides what it writes: an older session's rows
  // would outlive the new one's.
  if (QFileInfo(fileName).isFile())
    QFile::remove(fileName);
  TScheduleIniFile ini(fileName);
  ini.WriteInteger(General, QStringLiteral("Interval"),
                   static_cast<int>(std::min<std::uint64_t>(session.IntervalMs, MaxIntervalMs)));
  ini.WriteInteger(General, QStringLiteral("Count"), static_cast<int>(session.Rows.size()));
  ini.WriteFloat(General, KeptAtKey, keptAt);
  ini.WriteString(General, FileKey, session.ConfigFileName);
  for (std::size_t i = 0; i < session.Rows.size(); ++i) {
    const TEditorRow &row = session.Rows[i];
    const QString section = ActionSection(static_cast<int>(i) + 1);
    WriteActionEntry(ini, section, row.Entry, TSectionKeyOrder::Configuration);
    ini.WriteInteger(section, OriginKey, row.Origin);
    ini.WriteBool(section, LastDateChangedKey, row.LastDateChanged);
  }
  ini.UpdateFile();
}

std::optional<TKeptEditorSession> ReadKeptEditorSession(const QString &configFileName) {
  const QString fileName = KeptEditorSessionFile(configFileName);
  if (!QFileInfo(fileName).isFile())
    return std::nullopt;
  try {
    TScheduleIniFile ini(fileName);
    TKeptEditorSession kept;
    TLoadReport report;
    kept.IntervalMs = static_cast<std::uint64_t>(ReadInterval(ini, report));
    kept.KeptAt = ini.ReadFloat(General, KeptAtKey, 0);
    kept.ConfigFileName = ini.ReadString(General, FileKey, configFileName);
    const int count = ini.ReadInteger(General, QStringLiteral("Count"), 0);
    for (const int n : ActionSectionNumbers(ini, count)) {
      TEditorRow row;
      TEntryProblems problems;
      row.Entry = ReadActionEntry(ini, n, problems);
      row.Origin = ini.ReadInteger(ActionSection(n), OriginKey, -1);
      row.LastDateChanged = ini.ReadBool(ActionSection(n), LastDateChangedKey, false);
      kept.Rows.push_back(row);
    }
    return kept;
  } catch (const std::exception &) {
    return std::nullopt;
  }
}

void DiscardKeptEditorSession(const QString &configFileName) {
  QFile::remove(KeptEditorSessionFile(configFileName));
}

QString KeptEditorSessionQuestion(TDateTime keptAt) {
  return QStringLiteral("Ungesicherte Änderungen vom %1 wiederherstellen?")
      .arg(DateTimeText(keptAt));
}
