// Action sections and the editor's action-list files.
#include "storage/ActionListFile.h"

#include "storage/XIniFile.h"

#include <algorithm>

namespace {

const QString General = QStringLiteral("General");

} // namespace

QString ActionSection(int n) {
  return QStringLiteral("Action") + QString::number(n);
}

std::vector<int> ActionSectionNumbers(TXIniFile &ini, int count) {
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

TActionEntry ReadActionEntry(TXIniFile &ini, const QString &section) {
  TActionEntry entry;
  // Only the low byte is kept: a hand-edited kind above 255 wraps into the byte.
  entry.TimePoint = static_cast<TTimePoint>(
      static_cast<std::uint8_t>(ini.ReadInteger(section, QStringLiteral("TimePoint"), 0)));
  entry.SuddenStart = ini.ReadBool(section, QStringLiteral("SuddenStart"), false);
  entry.AllCalls = ini.ReadBool(section, QStringLiteral("AllCalls"), false);
  entry.Freq = ini.ReadFloat(section, QStringLiteral("Freq"), 0);
  entry.FirstDate = ini.ReadFloat(section, QStringLiteral("FirstDate"), 0);
  // Older files name the first date "Date".
  if (entry.FirstDate == 0)
    entry.FirstDate = ini.ReadFloat(section, QStringLiteral("Date"), 0);
  entry.LastDate = ini.ReadFloat(section, QStringLiteral("LastDate"), entry.FirstDate);
  entry.Action = ini.ReadString(section, QStringLiteral("Action"), QString());
  return entry;
}

void WriteActionEntry(TXIniFile &ini, const QString &s, const TActionEntry &entry,
                      TSectionKeyOrder order) {
  ini.WriteInteger(s, QStringLiteral("TimePoint"), entry.TimePoint);
  ini.WriteBool(s, QStringLiteral("SuddenStart"), entry.SuddenStart);
  if (order == TSectionKeyOrder::Configuration) {
    ini.WriteBool(s, QStringLiteral("AllCalls"), entry.AllCalls);
    ini.WriteFloat(s, QStringLiteral("Freq"), entry.Freq);
  }
  ini.WriteFloat(s, QStringLiteral("FirstDate"), entry.FirstDate);
  ini.WriteFloat(s, QStringLiteral("LastDate"), entry.LastDate);
  if (order == TSectionKeyOrder::ActionList) {
    ini.WriteFloat(s, QStringLiteral("Freq"), entry.Freq);
    ini.WriteBool(s, QStringLiteral("AllCalls"), entry.AllCalls);
  }
  ini.WriteString(s, QStringLiteral("Action"), entry.Action);
}

TActionListContents ReadActionListFile(const QString &fileName) {
  TXIniFile ini(fileName);
  TActionListContents contents;
  contents.IntervalMs = ini.ReadInteger(General, QStringLiteral("Interval"), 1000);
  const int count = ini.ReadInteger(General, QStringLiteral("Count"), 0);
  for (const int n : ActionSectionNumbers(ini, count))
    contents.Entries.push_back(ReadActionEntry(ini, ActionSection(n)));
  return contents;
}

void WriteActionListFile(const QString &fileName, std::int64_t intervalMs,
                         const std::vector<TActionEntry> &entries) {
  TXIniFile ini(fileName);
  ini.WriteInteger(General, QStringLiteral("Interval"), static_cast<int>(intervalMs));
  ini.WriteInteger(General, QStringLiteral("Count"), static_cast<int>(entries.size()));
  int n = 0;
  for (const TActionEntry &entry : entries)
    WriteActionEntry(ini, ActionSection(++n), entry, TSectionKeyOrder::ActionList);
  // Flushed here so that a write error reaches the caller (the destructor swallows it).
  ini.UpdateFile();
}
