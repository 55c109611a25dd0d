#include "base/ActionEntry.h"

#include "base/Errors.h"

#include <QLocale>
#include <QRegularExpression>
#include <array>
#include <cmath>

QString CutActionText(const QString &text) {
  if (text.size() <= MaxActionLength)
    return text;
  // Count whole characters: a surrogate pair is one character of two code units.
  qsizetype units = 0;
  for (int characters = 0; characters < MaxActionLength && units < text.size(); ++characters)
    units += (text.at(units).isHighSurrogate() && units + 1 < text.size() &&
              text.at(units + 1).isLowSurrogate())
                 ? 2
                 : 1;
  return text.left(units);
}

TActionEntry NewActionEntry(TTimePoint kind, TDateTime firstDate, const QString &action) {
  TActionEntry entry;
  entry.TimePoint = kind;
  entry.FirstDate = firstDate;
  entry.LastDate = firstDate - 0.1;
  entry.Action = action;
  return entry;
}

bool NeverRun(const TActionEntry &entry) {
  // A recorded call leaves LastDate at a due point plus RunMark; such a value is never within
  // half a RunMark of the markers below (the file's 15 digits may move them by far less).
  auto near = [](TDateTime a, TDateTime b) { return std::abs(a - b) < RunMark / 2; };
  const TDateTime last = entry.LastDate, first = entry.FirstDate;
  if (last <= 0 || near(last, first) || near(last, first - 0.1))
    return true;
  return (entry.TimePoint == tpFrequency || entry.TimePoint == tpOnce) && last < first;
}

QString TwoDigits(int n) {
  const QString digits = QString::number(n);
  return n < 10 ? u'0' + digits : digits;
}

QString MsToTimeText(std::int64_t ms) {
  const std::int64_t hours = ms / 3600000;
  const std::int64_t minutes = ms % 3600000 / 60000;
  const std::int64_t seconds = ms % 3600000 % 60000 / 1000;
  return TwoDigits(static_cast<int>(hours)) + u':' + TwoDigits(static_cast<int>(minutes)) + u':' +
         TwoDigits(static_cast<int>(seconds));
}

namespace {

// The runtime's integer conversion: optional blanks and sign, then decimal digits only.
std::int64_t ToInteger(const QString &field) {
  bool ok = false;
  const QString trimmed = field.trimmed();
  const std::int64_t value = trimmed.toLongLong(&ok, 10);
  if (!ok || trimmed.isEmpty())
    throw EConvertError(QStringLiteral("'%1' ist kein gültiger ganzzahliger Wert").arg(field));
  return value;
}

} // namespace

std::int64_t TimeTextToMs(const QString &text) {
  QString rest = text;
  rest.replace(u' ', u'0');
  const qsizetype p = rest.indexOf(u':') + 1; // counted from 1
  if (p == 0)
    return 0;
  const std::int64_t hours = ToInteger(rest.left(p - 1));
  rest.remove(0, p);
  const std::int64_t minutes = ToInteger(rest.left(2));
  rest.remove(0, p);
  const std::int64_t seconds = ToInteger(rest.left(2));
  return hours * 3600000 + minutes * 60000 + seconds * 1000;
}

QString TimePointText(TTimePoint kind, TDateTime date, std::uint8_t weekdays) {
  const QLocale locale;
  switch (kind) {
  case tpFrequency:
    return QStringLiteral("Frequenz");
  case tpOnce:
    return DateText(date);
  case tpDaily:
    return weekdays == AllWeekdays ? QStringLiteral("Täglich")
                                   : QStringLiteral("Täglich ") + WeekdaysDisplayText(weekdays);
  case tpWeekly:
    // Qt counts Monday = 1 ... Sunday = 7; we count Sunday = 1 ... Saturday = 7.
    return locale.dayName((DayOfWeek(date) + 5) % 7 + 1, QLocale::LongFormat);
  case tpMonthly:
    return TwoDigits(DecodeDate(date).Day) + QStringLiteral(". Tag");
  case tpYearly:
    return locale.monthName(DecodeDate(date).Month, QLocale::LongFormat);
  }
  return {};
}

namespace {

// Monday first, as the weekday bits count.
const std::array<QString, 7> WeekdayNames = {
    QStringLiteral("Mo"), QStringLiteral("Di"), QStringLiteral("Mi"), QStringLiteral("Do"),
    QStringLiteral("Fr"), QStringLiteral("Sa"), QStringLiteral("So")};

// The day index (0 = Monday) of a two-letter name in any case, or -1.
int WeekdayIndex(QStringView name) {
  for (int i = 0; i < 7; ++i)
    if (name.compare(WeekdayNames[static_cast<std::size_t>(i)], Qt::CaseInsensitive) == 0)
      return i;
  return -1;
}

} // namespace

std::uint8_t WeekdayBit(TDateTime date) {
  // DayOfWeek counts Sunday = 1 ... Saturday = 7.
  return static_cast<std::uint8_t>(1u << ((DayOfWeek(date) + 5) % 7));
}

QString WeekdaysText(std::uint8_t mask) {
  QStringList names;
  for (int i = 0; i < 7; ++i)
    if (mask & (1u << i))
      names.append(WeekdayNames[static_cast<std::size_t>(i)]);
  return names.join(u',');
}

std::uint8_t ParseWeekdays(const QString &text, bool *ok) {
  *ok = false;
  static const QRegularExpression dashes(QStringLiteral("\\s*([-\u2013])\\s*"));
  static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
  // "Mo - Fr" is one range, not three words.
  const QStringList items =
      QString(text).replace(dashes, QStringLiteral("-")).split(separators, Qt::SkipEmptyParts);
  unsigned mask = 0;
  for (const QString &item : items) {
    const qsizetype dash = item.indexOf(u'-');
    const int from = WeekdayIndex(dash < 0 ? QStringView(item) : QStringView(item).left(dash));
    const int to = dash < 0 ? from : WeekdayIndex(QStringView(item).mid(dash + 1));
    if (from < 0 || to < 0)
      return 0;
    for (int day = from;; day = (day + 1) % 7) {
      mask |= 1u << day;
      if (day == to)
        break;
    }
  }
  *ok = mask != 0;
  return static_cast<std::uint8_t>(mask);
}

QString WeekdaysDisplayText(std::uint8_t mask) {
  QStringList parts;
  for (int day = 0; day < 7;) {
    if (!(mask & (1u << day))) {
      ++day;
      continue;
    }
    int last = day;
    while (last + 1 < 7 && (mask & (1u << (last + 1))))
      ++last;
    const QString &first = WeekdayNames[static_cast<std::size_t>(day)];
    parts.append(last == day ? first
                             : first + u'\u2013' + WeekdayNames[static_cast<std::size_t>(last)]);
    day = last + 1;
  }
  return parts.join(QStringLiteral(", "));
}

std::int64_t ParseDurationText(const QString &text, bool *ok) {
  *ok = false;
  static const QRegularExpression form(
      QStringLiteral("^\\s*([0-9]{1,5}):([0-9]{1,2})(?::([0-9]{1,2}))?\\s*$"));
  const QRegularExpressionMatch match = form.match(text);
  if (!match.hasMatch())
    return 0;
  const std::int64_t hours = match.capturedView(1).toLongLong();
  const std::int64_t minutes = match.capturedView(2).toLongLong();
  const std::int64_t seconds = match.hasCaptured(3) ? match.capturedView(3).toLongLong() : 0;
  if (minutes > 59 || seconds > 59)
    return 0;
  *ok = true;
  return hours * 3600000 + minutes * 60000 + seconds * 1000;
}

QString IfRunningText(TIfRunning value) {
  switch (value) {
  case irSkip:
    return QStringLiteral("skip");
  case irAfter:
    return QStringLiteral("after");
  case irParallel:
    break;
  }
  return QStringLiteral("parallel");
}

TIfRunning ParseIfRunning(const QString &text, bool *ok) {
  *ok = true;
  for (const TIfRunning value : {irParallel, irSkip, irAfter})
    if (text.trimmed().compare(IfRunningText(value), Qt::CaseInsensitive) == 0)
      return value;
  *ok = false;
  return irParallel;
}
