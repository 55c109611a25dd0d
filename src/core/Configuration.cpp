// The scheduler's configuration file: section "General" with the settings and one section
// "ActionN" per entry, read and written through TXIniFile.
#include "base/Errors.h"
#include "core/Scheduler.h"
#include "storage/ActionListFile.h"
#include "storage/FileReports.h"

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
  FActionList.Clear();
  ++FListGeneration;
  TLoadReport report;
  report.FileName = QFileInfo(fileName).absoluteFilePath();
  FLogging = ini.ReadBool(General, QStringLiteral("Logging"), false);
  FNoShiftReaction = ini.ReadBool(General, QStringLiteral("NoShiftReaction"), true);
  FDesktopNotifications = ini.ReadBool(General, QStringLiteral("DesktopNotifications"), true);
  FInterval = static_cast<unsigned>(ReadInterval(ini, report));
  const int count = ini.ReadInteger(General, QStringLiteral("Count"), 0);
  const std::vector<int> sections = ActionSectionNumbers(ini, count);
  for (const int n : sections) {
    TEntryProblems problems;
    const TActionEntry entry = ReadActionEntry(ini, n, problems);
    // The tray keeps only entries that can ever run; one it leaves out is always named.
    const bool kept = entry.FirstDate != 0 && !entry.Action.IsEmpty();
    if (!kept && problems.Values.empty())
      problems.Values.push_back({UnusableEntryFault(entry.FirstDate == 0), QString()});
    if (!problems.Values.empty()) {
      problems.Dropped = !kept;
      report.Entries.push_back(problems);
    }
    if (kept)
      AddAction(entry);
  }
  // A file none of whose actions could be read is more likely one we misunderstand than an
  // empty plan: saving the empty list over it would lose every action for good.
  FWithheldFile.clear();
  report.Withheld = !sections.empty() && FActionList.Count() == 0;
  if (report.Withheld)
    FWithheldFile = report.FileName;
  // One message for the whole load, however many values were wrong.
  if (!report.IsEmpty())
    ShowMessageWindow(report.Caption(), report.Header(), report.Text());
  return report;
}

void TScheduler::SaveConfiguration(const QString &fileName) {
  if (!FWithheldFile.isEmpty() && QFileInfo(fileName).absoluteFilePath() == FWithheldFile) {
    const QString reason = NoActionReadReason();
    throw EInOutError(UnusableFileText(FWithheldFile, reason), reason);
  }
  TScheduleIniFile ini(fileName);
  ini.WriteBool(General, QStringLiteral("Logging"), FLogging);
  ini.WriteBool(General, QStringLiteral("NoShiftReaction"), FNoShiftReaction);
  ini.WriteInteger(General, QStringLiteral("Interval"), static_cast<int>(FInterval));
  ini.WriteInteger(General, QStringLiteral("Count"), FActionList.Count());
  // Our own addition, after the keys every older file has.
  ini.WriteBool(General, QStringLiteral("DesktopNotifications"), FDesktopNotifications);
  for (int i = 0; i < FActionList.Count(); ++i)
    WriteActionEntry(ini, ActionSection(i + 1), *FActionList[i], TSectionKeyOrder::Configuration);
  // Flushed here so that a write error reaches the caller (the destructor swallows it).
  ini.UpdateFile();
}
