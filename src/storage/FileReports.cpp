#include "storage/FileReports.h"

#include "platform/SystemError.h"

namespace {

// How many entries one message names before it only counts the rest: a damaged file may have
// thousands, and the message window must stay readable.
constexpr std::size_t MaxNamedEntries = 20;
// How much of an action text names its entry.
constexpr qsizetype MaxShownAction = 60;

QString Quoted(const QString &text) {
  return QStringLiteral("„%1“").arg(text);
}

QString ShownAction(const QString &action) {
  return action.size() <= MaxShownAction ? action : action.left(MaxShownAction) + u'…';
}

QString ValuesText(const std::vector<TValueProblem> &values, bool dropped) {
  QStringList parts;
  for (const TValueProblem &value : values)
    parts.append(dropped || value.Fallback.isEmpty()
                     ? value.Fault
                     : value.Fault + QStringLiteral(", ") + value.Fallback);
  QString text = parts.join(QStringLiteral("; "));
  if (dropped)
    text += QStringLiteral("; die Aktion wird ausgelassen");
  return text + u'.';
}

} // namespace

QString FileResultReason(const TFileResult &result) {
  switch (result.Refusal) {
  case TFileRefusal::None:
    break;
  case TFileRefusal::NotRegular:
    return QStringLiteral("sie ist keine gewöhnliche Datei");
  case TFileRefusal::TooLarge:
    return QStringLiteral("sie ist zu groß für eine Aktionsliste (mehr als %1 MB)")
        .arg(MaxIniFileBytes / (1024 * 1024));
  case TFileRefusal::Link:
    return QStringLiteral("sie ist ein symbolischer Verweis");
  case TFileRefusal::ForeignOwner:
    return QStringLiteral("sie gehört einem anderen Benutzer");
  case TFileRefusal::WritableByOthers:
    return QStringLiteral("andere Benutzer dürfen sie ändern (abhelfen mit „chmod go-w“)");
  case TFileRefusal::FolderForeignOwner:
    return QStringLiteral("der Ordner %1 gehört einem anderen Benutzer")
        .arg(Quoted(result.Culprit));
  case TFileRefusal::FolderWritableByOthers:
    return QStringLiteral("andere Benutzer dürfen im Ordner %1 Dateien ersetzen")
        .arg(Quoted(result.Culprit));
  }
  return SystemErrorText(result.Error);
}

QString ContentFaultReason(TContentFault fault) {
  switch (fault) {
  case TContentFault::None:
    break;
  case TContentFault::NulCharacter:
    return QStringLiteral("sie enthält NUL-Zeichen und ist keine Textdatei, die Kronolab lesen "
                          "kann");
  case TContentFault::BrokenUtf16:
    return QStringLiteral("ihr UTF-16-Text ist beschädigt");
  case TContentFault::NoScheduleSection:
    return QStringLiteral("sie enthält weder einen Abschnitt [General] noch [Action1], [Action2] "
                          "…; sie gehört wohl zu einem anderen Programm");
  }
  return {};
}

QString UnusableFileText(const QString &fileName, const QString &reason) {
  return QStringLiteral("Die Datei %1 wird weder gelesen noch überschrieben: %2.")
      .arg(Quoted(fileName), reason);
}

QString ReadErrorText(const QString &fileName, const QString &reason) {
  return QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2.")
      .arg(Quoted(fileName), reason);
}

QString WriteErrorText(const QString &fileName, const QString &reason) {
  return QStringLiteral("Die Datei %1 kann nicht geschrieben werden: %2. Ihr bisheriger Inhalt "
                        "ist unverändert.")
      .arg(Quoted(fileName), reason);
}

QString LogWriteErrorText(const QString &fileName, const QString &reason) {
  return QStringLiteral("Die Protokolldatei %1 kann nicht geschrieben werden: %2.")
      .arg(Quoted(fileName), reason);
}

QString TLoadReport::Caption() const {
  return QStringLiteral("Kronolab");
}

QString TLoadReport::Header() const {
  return QStringLiteral("Ungültige Werte in %1").arg(Quoted(FileName));
}

QString TLoadReport::Text() const {
  QStringList lines;
  if (!Settings.empty())
    lines.append(QStringLiteral("[General]: ") + ValuesText(Settings, false));
  std::size_t named = 0;
  for (const TEntryProblems &entry : Entries) {
    if (named++ == MaxNamedEntries) {
      lines.append(QStringLiteral("… und %1 weitere Aktionen mit ungültigen Werten.")
                       .arg(Entries.size() - MaxNamedEntries));
      break;
    }
    QString name = QStringLiteral("Aktion %1").arg(entry.Number);
    if (!entry.Action.isEmpty())
      name += QStringLiteral(" (%1)").arg(Quoted(ShownAction(entry.Action)));
    lines.append(name + QStringLiteral(": ") + ValuesText(entry.Values, entry.Dropped));
  }
  if (Withheld)
    lines.append(QStringLiteral("Kronolab überschreibt die Datei nicht, denn %1.")
                     .arg(NoActionReadReason()));
  return lines.join(u'\n');
}

QString NoDateFault(const QString &key, const QString &text) {
  return QStringLiteral("%1=%2 ist kein Datum der Jahre 1 bis 9999").arg(key, text.trimmed());
}

QString NotFiniteFault(const QString &key, const QString &text) {
  return QStringLiteral("%1=%2 ist keine darstellbare Zahl").arg(key, text.trimmed());
}

QString FreqRangeFault(const QString &text) {
  return QStringLiteral("Freq=%1 ist kein Abstand zwischen 1 ms und 9999 Jahren")
      .arg(text.trimmed());
}

QString IntervalFault(const QString &text, const QString &maximum) {
  return QStringLiteral("Interval=%1 liegt nicht zwischen 0 und %2 ms")
      .arg(text.trimmed(), maximum);
}

QString RunControlFault(const QString &key, const QString &text, const QString &expected) {
  return QStringLiteral("%1=%2 ist %3").arg(key, text.trimmed(), expected);
}

QString UnusableEntryFault(bool noFirstDate) {
  return noFirstDate ? QStringLiteral("FirstDate fehlt oder ist keine Zahl")
                     : QStringLiteral("Action ist leer");
}

QString NoActionReadReason() {
  return QStringLiteral("keine ihrer Aktionen ließ sich lesen");
}

QString TakenInsteadText(const QString &value) {
  return QStringLiteral("es gilt %1").arg(value);
}
