// The scheduler's configuration file: section "General" with the settings and one section
// "ActionN" per entry, read and written through TXIniFile.
#include "core/Scheduler.h"
#include "storage/ActionListFile.h"

#include <QFileInfo>
#include <cstdint>

namespace {

const QString General = QStringLiteral("General");

} // namespace

TLoadReport TScheduler::LoadConfiguration(const QString &fileName) {
  // Opened first: a file that cannot be read or is refused leaves the running list as it
  // was, so that a wrong choice in "Aktionen laden..." cannot empty it (and the next save
  // write the empty list over the configuration).
  TScheduleIniFile ini(fileName);
  FDueList.Clear(); // its references would dangle once the old entries are gone
  ActionList.Clear();
  TLoadReport report;
  report.FileName = QFileInfo(fileName).absoluteFilePath();
  Logging = ini.ReadBool(General, QStringLiteral("Logging"), false);
  NoShiftReaction = ini.ReadBool(General, QStringLiteral("NoShiftReaction"), true);
  DesktopNotifications = ini.ReadBool(General, QStringLiteral("DesktopNotifications"), true);
  Interval = static_cast<unsigned>(ReadInterval(ini, report));
  const int count = ini.ReadInteger(General, QStringLiteral("Count"), 0);
  for (const int n : ActionSectionNumbers(ini, count)) {
    TEntryProblems problems;
    const TActionEntry entry = ReadActionEntry(ini, n, problems);
    // The tray keeps only entries that can ever run.
    const bool kept = entry.FirstDate != 0 && !entry.Action.IsEmpty();
    if (!problems.Values.empty()) {
      problems.Dropped = !kept;
      report.Entries.push_back(problems);
    }
    if (kept)
      AddAction(entry);
  }
  // One message for the whole load, however many values were wrong.
  if (!report.IsEmpty())
    ShowMessageWindow(report.Caption(), report.Header(), report.Text());
  return report;
}

void TScheduler::SaveConfiguration(const QString &fileName) {
  TScheduleIniFile ini(fileName);
  ini.WriteBool(General, QStringLiteral("Logging"), Logging);
  ini.WriteBool(General, QStringLiteral("NoShiftReaction"), NoShiftReaction);
  ini.WriteInteger(General, QStringLiteral("Interval"), static_cast<int>(Interval));
  ini.WriteInteger(General, QStringLiteral("Count"), ActionList.Count());
  // Our own addition, after the keys every older file has.
  ini.WriteBool(General, QStringLiteral("DesktopNotifications"), DesktopNotifications);
  for (int i = 0; i < ActionList.Count(); ++i)
    WriteActionEntry(ini, ActionSection(i + 1), *ActionList[i], TSectionKeyOrder::Configuration);
  // Flushed here so that a write error reaches the caller (the destructor swallows it).
  ini.UpdateFile();
}
