#include "storage/XIniFile.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

// Whether text is a plain decimal number: blanks, sign, digits with an optional "." (or ",")
// and fraction, an optional exponent; nothing else. The comma is read because an earlier
// version wrote the process locale's separator, so German users' files hold
// "4,63643750000000E+0004"; dropping those would empty their lists.
bool IsIniFloatText(const QString &text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  const auto digit = [&](qsizetype k) { return k < n && text[k] >= u'0' && text[k] <= u'9'; };
  while (i < n && text[i] == u' ')
    ++i;
  if (i < n && (text[i] == u'+' || text[i] == u'-'))
    ++i;
  int digits = 0;
  while (digit(i)) {
    ++i;
    ++digits;
  }
  if (i < n && (text[i] == u'.' || text[i] == u',')) {
    ++i;
    while (digit(i)) {
      ++i;
      ++digits;
    }
  }
  if (digits == 0)
    return false;
  if (i < n && (text[i] == u'E' || text[i] == u'e')) {
    ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
      ++i;
    if (!digit(i))
      return false;
    while (digit(i))
      ++i;
  }
  return i == n;
}

} // namespace

double TXIniFile::ReadFloat(const QString &section, const QString &key, double defaultValue,
                            bool *outOfRange) {
  const QString text = ReadString(section, key, QString());
  if (outOfRange)
    *outOfRange = false;
  if (!IsIniFloatText(text))
    return defaultValue;
  // The text is plain ASCII now; from_chars reads it without QLocale's cost, which
  // dominated loading a long action list. Overflow and underflow go the old way, so that
  // the edge cases stay exactly as they were.
  char buffer[64];
  const QStringView number = QStringView(text).trimmed();
  if (number.size() < static_cast<qsizetype>(sizeof buffer)) {
    qsizetype length = 0;
    for (const QChar c : number)
      if (length > 0 || c != u'+')
        buffer[length++] = c == u',' ? '.' : static_cast<char>(c.unicode());
    double value = 0;
    const auto [end, error] = std::from_chars(buffer, buffer + length, value);
    if (error == std::errc() && end == buffer + length && std::isfinite(value))
      return value;
  }
  bool ok = false;
  const double value = QLocale::c().toDouble(number.toString().replace(u',', u'.'), &ok);
  if (ok && std::isfinite(value))
    return value;
  if (outOfRange)
    *outOfRange = true;
  return defaultValue;
}

void TXIniFile::WriteFloat(const QString &section, const QString &key, double value) {
  WriteString(section, key, FloatIniText(value));
}

QString FloatIniText(double value) {
  if (!std::isfinite(value))
    return QString::number(value);
  // to_chars never looks at the locale: a file must read back the same under any LC_NUMERIC,
  // which printf's "%E" does not promise once Qt has set the process locale.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                    std::chars_format::scientific, 14);
  // text is "d.ddddddddddddddE±xx"; the exponent gets four digits.
  const QString text = QString::fromLatin1(buffer, result.ptr - buffer).toUpper();
  const qsizetype e = text.indexOf(u'E');
  const int exponent = text.mid(e + 1).toInt();
  return QStringLiteral("%1%2E%3%4")
      .arg(value < 0 ? QStringLiteral("-") : QStringLiteral(" "), text.left(e),
           exponent < 0 ? QStringLiteral("-") : QStringLiteral("+"))
      .arg(std::abs(exponent), 4, 10, QChar(u'0'));
}
