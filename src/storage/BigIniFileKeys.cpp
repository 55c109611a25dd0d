// The INI engine's keys: finding, reading, writing and removing them, and the section lists.
#include "storage/BigIniFile.h"

#include <cstdint>
#include <limits>

namespace {

// The name of a raw line: the text before its first "=" (empty when there is none).
QString LineName(const QString &line) {
  const qsizetype p = line.indexOf(u'=');
  return p < 0 ? QString() : line.left(p);
}

// A 32-bit integer in the INI forms: decimal with optional sign, or hexadecimal after "$",
// "x", "X", "0x" or "0X" (at most 8 digits, taken as a bit pattern); leading blanks allowed.
bool ParseIniInteger(const QString &text, int &value) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && text[i] == u' ')
    ++i;
  if (i >= n)
    return false;
  bool hex = false;
  if (text[i] == u'$' || text[i] == u'x' || text[i] == u'X') {
    hex = true;
    ++i;
  } else if (text[i] == u'0' && i + 1 < n && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    hex = true;
    i += 2;
  }
  if (hex) {
    const qsizetype digits = n - i;
    if (digits < 1 || digits > 8)
      return false;
    std::uint32_t v = 0;
    for (; i < n; ++i) {
      const char16_t c = text[i].unicode();
      const bool isHex =
          (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
      if (!isHex)
        return false;
      v = v * 16 + static_cast<std::uint32_t>(c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10);
    }
    value = static_cast<int>(v);
    return true;
  }
  bool negative = false;
  if (text[i] == u'+' || text[i] == u'-') {
    negative = text[i] == u'-';
    ++i;
  }
  if (i >= n)
    return false;
  std::int64_t v = 0;
  for (; i < n; ++i) {
    const char16_t c = text[i].unicode();
    if (c < u'0' || c > u'9')
      return false;
    v = v * 10 + (c - u'0');
    if (v > static_cast<std::int64_t>(std::numeric_limits<int>::max()) + 1)
      return false;
  }
  if (negative)
    v = -v;
  if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min())
    return false;
  value = static_cast<int>(v);
  return true;
}

} // namespace

int TBigIniFile::LocateKey(const QString &section, const QString &key, bool create,
                           QStringList *&lines) {
  lines = nullptr;
  const int count = FSections.Count();
  if (FSectionCursor < 0 || FSectionCursor >= count)
    FSectionCursor = 0;
  const int found = FSections.Find(section, FSectionCursor);
  if (found >= 0)
    FSectionCursor = found;
  else {
    if (create) {
      FSectionCursor = FSections.Add(section);
      lines = &FSections.Lines(FSectionCursor);
    }
    return -1;
  }
  lines = &FSections.Lines(FSectionCursor);
  for (int i = 0; i < lines->size(); ++i) {
    const QString &line = lines->at(i);
    const qsizetype p = line.indexOf(u'=');
    if (p >= 0 && SameIniName(QStringView(line).left(p), key))
      return i;
  }
  return -1;
}

QString TBigIniFile::ReadString(const QString &section, const QString &key,
                                const QString &defaultValue) {
  QStringList *lines = nullptr;
  const int index = LocateKey(section, key, false, lines);
  if (lines == nullptr || index < 0)
    return defaultValue;
  const QString &line = lines->at(index);
  return line.mid(line.indexOf(u'=') + 1);
}

void TBigIniFile::WriteString(const QString &section, const QString &key, const QString &value) {
  if (key.isEmpty()) {
    if (!section.isEmpty() || !value.isEmpty())
      EraseSection(section);
    else
      UpdateFile();
    return;
  }
  const QString line = key + u'=' + value;
  QStringList *lines = nullptr;
  const int index = LocateKey(section, key, true, lines);
  if (index < 0) {
    lines->append(line);
    FDirty = true;
  } else if (lines->at(index) != line) {
    (*lines)[index] = line;
    FDirty = true;
  }
}

int TBigIniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) {
  QString text = ReadString(section, key, QString());
  if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
    text = u'$' + text.mid(2, 255);
  int value = 0;
  return ParseIniInteger(text, value) ? value : defaultValue;
}

void TBigIniFile::WriteInteger(const QString &section, const QString &key, int value) {
  WriteString(section, key, QString::number(value));
}

bool TBigIniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TBigIniFile::WriteBool(const QString &section, const QString &key, bool value) {
  WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TBigIniFile::ReadSection(const QString &section, QStringList &list) {
  const int index = FSections.IndexOf(section);
  if (index < 0)
    return;
  for (const QString &line : FSections.Lines(index))
    list.append(LineName(line));
}

void TBigIniFile::ReadSections(QStringList &list) {
  list.clear();
  for (int i = 0; i < FSections.Count(); ++i)
    list.append(FSections.Name(i));
}

void TBigIniFile::ReadSectionValues(const QString &section, QStringList &list) {
  const int index = FSections.IndexOf(section);
  if (index >= 0)
    list.append(FSections.Lines(index));
}

void TBigIniFile::EraseSection(const QString &section) {
  const int index = FSections.IndexOf(section);
  if (index >= 0) {
    FSections.Delete(index);
    FDirty = true;
  }
  if (FSectionCursor >= FSections.Count())
    FSectionCursor = 0;
}

void TBigIniFile::DeleteKey(const QString &section, const QString &key) {
  QStringList *lines = nullptr;
  const int index = LocateKey(section, key, true, lines);
  if (index >= 0) {
    FDirty = true;
    lines->removeAt(index);
  }
}
