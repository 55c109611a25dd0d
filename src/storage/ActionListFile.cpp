// Action sections and the editor's action-list files.
#include "storage/ActionListFile.h"

#include <QFileInfo>
#include <algorithm>
#include <tuple>

namespace {

const QString General = QStringLiteral("General");

// The longest frequency, the days from 1 January 1 to 31 December 9999: a longer grid step
// means "never" as 0 does, and would overflow the editor's time arithmetic.
constexpr double MaxFreq = 3652058;

// A date-time of section: defaultValue when missing or malformed (as every reader takes it),
// and defaultValue with a problem recorded (fallback fallbackName) when it is a number but
// no date of the years 1 to 9999 (nor, with the run mark allowed, such a date plus it).
TDateTime ReadDate(TXIniFile &ini, const QString &section, const QString &key,
                   TDateTime defaultValue, const QString &fallbackName, TEntryProblems &problems,
                   bool runMarkAllowed = false) {
  bool outOfRange = false;
  const double value = ini.ReadFloat(section, key, defaultValue, &outOfRange);
  if (!outOfRange &&
      (IsEncodableDateTime(value) || (runMarkAllowed && IsEncodableDateTime(value - RunMark))))
    return value;
  const QString text = ini.ReadString(section, key, QString());
  problems.Values.push_back({outOfRange ? NotFiniteFault(key, text) : NoDateFault(key, text),
                             TakenInsteadText(fallbackName)});
  return defaultValue;
}

// The run-control keys of section into entry. A key that is absent keeps its default; one whose
// value is not of its kind keeps it too, with a problem recorded.
void ReadRunControl(TXIniFile &ini, const QString &section, TActionEntry &entry,
                    TEntryProblems &problems) {
  auto present = [&](const QString &key, QString &text) {
    text = ini.ReadString(section, key, QString());
    return !text.isNull();
  };
  auto fault = [&](const QString &key, const QString &text, const QString &expected,
                   const QString &fallback) {
    problems.Values.push_back({RunControlFault(key, text, expected), TakenInsteadText(fallback)});
  };
  QString text;
  const QString active = QStringLiteral("Active");
  if (present(active, text)) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (ok && (value == 0 || value == 1))
      entry.Active = value == 1;
    else
      fault(active, text, QStringLiteral("weder 0 noch 1"), QStringLiteral("1 (aktiv)"));
  }
  const QString weekdays = QStringLiteral("Weekdays");
  if (present(weekdays, text)) {
    bool ok = false;
    const std::uint8_t mask = ParseWeekdays(text, &ok);
    if (ok)
      entry.Weekdays = mask;
    else
      fault(weekdays, text, QStringLiteral("keine Liste von Wochentagen wie Mo,Di,Mi,Do,Fr"),
            QStringLiteral("jeder Tag"));
  }
  for (const auto &[key, field, fallback] :
       {std::tuple{QStringLiteral("LateLimit"), &entry.LateLimitMs, QStringLiteral("keine Grenze")},
        std::tuple{QStringLiteral("TimeLimit"), &entry.TimeLimitMs,
                   QStringLiteral("keine Grenze")}}) {
    if (present(key, text)) {
      bool ok = false;
      const std::int64_t ms = ParseDurationText(text, &ok);
      if (ok)
        *field = ms;
      else
        fault(key, text, QStringLiteral("keine Dauer hh:mm:ss bis 99999:59:59"), fallback);
    }
  }
  const QString ifRunning = QStringLiteral("IfRunning");
  if (present(ifRunning, text)) {
    bool ok = false;
    const TIfRunning value = ParseIfRunning(text, &ok);
    if (ok)
      entry.IfRunning = value;
    else
      fault(ifRunning, text, QStringLiteral("weder parallel noch skip noch after"),
            QStringLiteral("parallel"));
  }
  entry.StartFrom =
      ReadDate(ini, section, QStringLiteral("StartFrom"), 0, QStringLiteral("0"), problems);
}

// Writes the run-control keys that differ from their defaults, after the entry's other keys,
// and removes those that are back at their defaults, so that a file without them stays
// byte-identical and one the user switched back does not keep a stale value.
void WriteRunControl(TXIniFile &ini, const QString &s, const TActionEntry &entry) {
  auto put = [&](const QString &key, bool differs, const QString &value) {
    if (differs)
      ini.WriteString(s, key, value);
    else
      ini.DeleteKey(s, key);
  };
  put(QStringLiteral("Active"), !entry.Active, QStringLiteral("0"));
  put(QStringLiteral("Weekdays"), entry.Weekdays != AllWeekdays, WeekdaysText(entry.Weekdays));
  put(QStringLiteral("LateLimit"), entry.LateLimitMs != 0, MsToTimeText(entry.LateLimitMs));
  put(QStringLiteral("IfRunning"), entry.IfRunning != irParallel, IfRunningText(entry.IfRunning));
  put(QStringLiteral("TimeLimit"), entry.TimeLimitMs != 0, MsToTimeText(entry.TimeLimitMs));
  if (entry.StartFrom != 0)
    ini.WriteFloat(s, QStringLiteral("StartFrom"), entry.StartFrom);
  else
    ini.DeleteKey(s, QStringLiteral("StartFrom"));
}

// Whether a section name is one of a schedule file: General, or Action followed by digits.
bool IsScheduleSection(const QString &name) {
  if (SameIniName(name, General))
    return true;
  if (name.size() <= 6 || !SameIniName(QStringView(name).left(6), u"Action"))
    return false;
  return std::all_of(name.begin() + 6, name.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

TScheduleIniFile::TScheduleIniFile(const QString &fileName) : TXIniFile(fileName) {
  if (!LoadedText())
    return;
  QStringList names;
  ReadSections(names);
  if (std::none_of(names.begin(), names.end(), IsScheduleSection))
    Refuse(TContentFault::NoScheduleSection);
}

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

TActionEntry ReadActionEntry(TXIniFile &ini, int n, TEntryProblems &problems) {
  const QString section = ActionSection(n);
  TActionEntry entry;
  problems.Number = n;
  // Read first only to name the entry if one of its values is wrong.
  entry.Action = ini.ReadString(section, QStringLiteral("Action"), QString());
  problems.Action = entry.Action;
  // Only the low byte is kept: a hand-edited kind above 255 wraps into the byte.
  entry.TimePoint = static_cast<TTimePoint>(
      static_cast<std::uint8_t>(ini.ReadInteger(section, QStringLiteral("TimePoint"), 0)));
  entry.SuddenStart = ini.ReadBool(section, QStringLiteral("SuddenStart"), false);
  entry.AllCalls = ini.ReadBool(section, QStringLiteral("AllCalls"), false);

  bool outOfRange = false;
  entry.Freq = ini.ReadFloat(section, QStringLiteral("Freq"), 0, &outOfRange);
  // Below a millisecond a frequency entry would want millions of calls a tick.
  const double oneMs = 1 / MSecsPerDay;
  if (outOfRange || (entry.Freq != 0 && !(entry.Freq >= oneMs && entry.Freq <= MaxFreq))) {
    const QString text = ini.ReadString(section, QStringLiteral("Freq"), QString());
    problems.Values.push_back(
        {outOfRange ? NotFiniteFault(QStringLiteral("Freq"), text) : FreqRangeFault(text),
         TakenInsteadText(QStringLiteral("0 (nie nach der Zeit fällig)"))});
    entry.Freq = 0;
  }

  // A wrong FirstDate counts as a missing one: then "Date", which older files have instead.
  const QString zero = QStringLiteral("0");
  const std::size_t before = problems.Values.size();
  entry.FirstDate = ReadDate(ini, section, QStringLiteral("FirstDate"), 0, zero, problems);
  if (entry.FirstDate == 0) {
    entry.FirstDate = ReadDate(ini, section, QStringLiteral("Date"), 0, zero, problems);
    if (entry.FirstDate != 0 && problems.Values.size() > before)
      problems.Values[before].Fallback = TakenInsteadText(QStringLiteral("Date"));
  }
  // LastDate is a due point plus the run mark, so it may lie that much past the calendar's
  // last moment: a call at 31 December 9999, 23:59:59.95 records one there.
  entry.LastDate = ReadDate(ini, section, QStringLiteral("LastDate"), entry.FirstDate,
                            QStringLiteral("FirstDate"), problems, true);
  // A once entry written by hand without LastDate would count as run at its moment: it is
  // given the value the editor gives a new one, so that it runs once.
  if (entry.TimePoint == tpOnce && entry.FirstDate != 0 &&
      IsEncodableDateTime(entry.FirstDate - 0.1) &&
      ini.ReadString(section, QStringLiteral("LastDate"), QString()).isNull())
    entry.LastDate = entry.FirstDate - 0.1;
  ReadRunControl(ini, section, entry, problems);
  return entry;
}

std::int64_t ReadInterval(TXIniFile &ini, TLoadReport &report) {
  const int interval = ini.ReadInteger(General, QStringLiteral("Interval"), 1000);
  if (interval >= 0 && interval <= MaxIntervalMs)
    return interval;
  report.Settings.push_back(
      {IntervalFault(ini.ReadString(General, QStringLiteral("Interval"), QString()),
                     QString::number(MaxIntervalMs)),
       TakenInsteadText(QStringLiteral("1000"))});
  return 1000;
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
  WriteRunControl(ini, s, entry);
}

TActionListContents ReadActionListFile(const QString &fileName) {
  TScheduleIniFile ini(fileName);
  TActionListContents contents;
  contents.Report.FileName = QFileInfo(fileName).absoluteFilePath();
  contents.IntervalMs = ReadInterval(ini, contents.Report);
  const int count = ini.ReadInteger(General, QStringLiteral("Count"), 0);
  for (const int n : ActionSectionNumbers(ini, count)) {
    TEntryProblems problems;
    contents.Entries.push_back(ReadActionEntry(ini, n, problems));
    if (!problems.Values.empty())
      contents.Report.Entries.push_back(problems);
  }
  return contents;
}

void WriteActionListFile(const QString &fileName, std::int64_t intervalMs,
                         const std::vector<TActionEntry> &entries) {
  TScheduleIniFile ini(fileName);
  ini.WriteInteger(General, QStringLiteral("Interval"), static_cast<int>(intervalMs));
  ini.WriteInteger(General, QStringLiteral("Count"), static_cast<int>(entries.size()));
  int n = 0;
  for (const TActionEntry &entry : entries)
    WriteActionEntry(ini, ActionSection(++n), entry, TSectionKeyOrder::ActionList);
  // Flushed here so that a write error reaches the caller (the destructor swallows it).
  ini.UpdateFile();
}
