// The scheduler's configuration file: section "General" with the settings and one section
// "ActionN" per entry, read and written through TXIniFile.
#include "core/Scheduler.h"
#include "storage/ActionListFile.h"
#include "storage/XIniFile.h"

#include <cstdint>

namespace {

const QString General = QStringLiteral("General");

} // namespace

void TScheduler::LoadConfiguration(const QString &fileName) {
  ActionList.Clear();
  TXIniFile ini(fileName);
  Logging = ini.ReadBool(General, QStringLiteral("Logging"), false);
  NoShiftReaction = ini.ReadBool(General, QStringLiteral("NoShiftReaction"), true);
  DesktopNotifications = ini.ReadBool(General, QStringLiteral("DesktopNotifications"), true);
  Interval = static_cast<unsigned>(ini.ReadInteger(General, QStringLiteral("Interval"), 1000));
  const int count = ini.ReadInteger(General, QStringLiteral("Count"), 0);
  for (const int n : ActionSectionNumbers(ini, count)) {
    const TActionEntry entry = ReadActionEntry(ini, ActionSection(n));
    // The tray keeps only entries that can ever run.
    if (entry.FirstDate == 0 || entry.Action.IsEmpty())
      continue;
    AddAction(entry);
  }
}

void TScheduler::SaveConfiguration(const QString &fileName) {
  TXIniFile ini(fileName);
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
