// The scheduler's configuration file: section "General" with the settings and one section
// "ActionN" per entry, read and written through TXIniFile.
#include "core/Scheduler.h"
#include "storage/XIniFile.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

const QString General = QStringLiteral("General");

QString ActionSection(int n) {
  return QStringLiteral("Action") + QString::number(n);
}

// The numbers n from 1 to count for which the file holds a section "Action" + n, ascending.
// A missing section gives only defaults, so its entry would be dropped anyway; going by the
// sections present keeps a hand-edited Count of millions from meaning millions of lookups.
std::vector<int> ActionNumbers(TXIniFile &ini, int count) {
  QStringList names;
  ini.ReadSections(names);
  std::vector<int> numbers;
  for (const QString &name : names) {
    qsizetype start = name.size();
    while (start > 0 && name[start - 1] >= u'0' && name[start - 1] <= u'9')
      --start;
    bool ok = false;
    const int n = QStringView(name).mid(start).toInt(&ok);
    if (ok && n >= 1 && n <= count && SameIniName(name, ActionSection(n)))
      numbers.push_back(n);
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

} // namespace

void TScheduler::LoadConfiguration(const QString &fileName) {
  ActionList.Clear();
  TXIniFile ini(fileName);
  Logging = ini.ReadBool(General, QStringLiteral("Logging"), false);
  NoShiftReaction = ini.ReadBool(General, QStringLiteral("NoShiftReaction"), true);
  Interval = static_cast<unsigned>(ini.ReadInteger(General, QStringLiteral("Interval"), 1000));
  const int count = ini.ReadInteger(General, QStringLiteral("Count"), 0);
  for (const int n : ActionNumbers(ini, count)) {
    const QString s = ActionSection(n);
    TActionEntry entry;
    // Only the low byte is kept: a hand-edited kind above 255 wraps into the byte.
    entry.TimePoint = static_cast<TTimePoint>(
        static_cast<std::uint8_t>(ini.ReadInteger(s, QStringLiteral("TimePoint"), 0)));
    entry.SuddenStart = ini.ReadBool(s, QStringLiteral("SuddenStart"), false);
    entry.AllCalls = ini.ReadBool(s, QStringLiteral("AllCalls"), false);
    entry.Freq = ini.ReadFloat(s, QStringLiteral("Freq"), 0);
    entry.FirstDate = ini.ReadFloat(s, QStringLiteral("FirstDate"), 0);
    // Older files name the first date "Date".
    if (entry.FirstDate == 0)
      entry.FirstDate = ini.ReadFloat(s, QStringLiteral("Date"), 0);
    if (entry.FirstDate == 0)
      continue;
    entry.LastDate = ini.ReadFloat(s, QStringLiteral("LastDate"), entry.FirstDate);
    entry.Action = ini.ReadString(s, QStringLiteral("Action"), QString());
    if (entry.Action.IsEmpty())
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
  for (int i = 0; i < ActionList.Count(); ++i) {
    const TActionEntry &entry = *ActionList[i];
    const QString s = ActionSection(i + 1);
    ini.WriteInteger(s, QStringLiteral("TimePoint"), entry.TimePoint);
    ini.WriteBool(s, QStringLiteral("SuddenStart"), entry.SuddenStart);
    ini.WriteBool(s, QStringLiteral("AllCalls"), entry.AllCalls);
    ini.WriteFloat(s, QStringLiteral("Freq"), entry.Freq);
    ini.WriteFloat(s, QStringLiteral("FirstDate"), entry.FirstDate);
    ini.WriteFloat(s, QStringLiteral("LastDate"), entry.LastDate);
    ini.WriteString(s, QStringLiteral("Action"), entry.Action);
  }
  // Flushed here so that a write error reaches the caller (the destructor swallows it).
  ini.UpdateFile();
}
