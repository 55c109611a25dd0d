#include "storage/BigIni.h"

#include "base/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <numeric>

bool SameIniName(QStringView a, QStringView b) {
  // Plain ASCII names, the usual case, without Qt's per-character folding. Up to the first
  // other character both names hold one code point per unit, so an ASCII mismatch there
  // decides; anything else goes to the full comparison.
  const qsizetype n = std::min(a.size(), b.size());
  qsizetype i = 0;
  for (; i < n; ++i) {
    char16_t x = a[i].unicode(), y = b[i].unicode();
    if (x >= 0x80 || y >= 0x80)
      return a.compare(b, Qt::CaseInsensitive) == 0;
    if (x >= u'A' && x <= u'Z')
      x += 0x20;
    if (y >= u'A' && y <= u'Z')
      y += 0x20;
    if (x != y)
      return false;
  }
  if (a.size() == b.size())
    return true;
  // One is a prefix of the other; only a non-ASCII rest could still fold in some other way.
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString FoldedIniName(QStringView name) {
  QString folded(name.size(), Qt::Uninitialized);
  char16_t *out = reinterpret_cast<char16_t *>(folded.data());
  qsizetype ascii = 0;
  for (; ascii < name.size() && name[ascii].unicode() < 0x80; ++ascii) {
    const char16_t c = name[ascii].unicode();
    out[ascii] = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
  }
  if (ascii == name.size())
    return folded;
  folded.truncate(ascii);
  for (qsizetype i = ascii; i < name.size(); ++i) {
    char32_t c = name[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(name[i].unicode(), name[i + 1].unicode());
      ++i;
    }
    const char32_t f = QChar::toCaseFolded(c);
    if (QChar::requiresSurrogates(f)) {
      folded.append(QChar(QChar::highSurrogate(f)));
      folded.append(QChar(QChar::lowSurrogate(f)));
    } else {
      folded.append(QChar(static_cast<char16_t>(f)));
    }
  }
  return folded;
}

// ---- TSectionList ----

int TSectionList::Add(const QString &name) {
  FItems.push_back({name, {}});
  const int index = Count() - 1;
  if (!FShared) {
    const QString key = FoldedIniName(name);
    if (FIndex.contains(key))
      FShared = true;
    else
      FIndex.insert(key, index);
  }
  return index;
}

void TSectionList::Delete(int index) {
  FItems.erase(FItems.begin() + index);
  LastIndex = 0;
  Reindex();
}

void TSectionList::DeleteMarked(const std::vector<bool> &drop) {
  std::vector<TSection> kept;
  kept.reserve(FItems.size());
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (!drop[i])
      kept.push_back(std::move(FItems[i]));
  FItems = std::move(kept);
  LastIndex = 0;
  Reindex();
}

void TSectionList::Clear() {
  FItems.clear();
  LastIndex = 0;
  Reindex();
}

void TSectionList::Reindex() {
  FIndex.clear();
  FShared = false;
  for (int i = 0; i < Count() && !FShared; ++i) {
    const QString key = FoldedIniName(FItems[static_cast<std::size_t>(i)].Name);
    if (FIndex.contains(key))
      FShared = true;
    else
      FIndex.insert(key, i);
  }
}

int TSectionList::Find(const QString &name, int from) const {
  const int count = Count();
  if (count == 0)
    return -1;
  // Reads and writes mostly stay in one section or move on to the next one.
  if (from >= 0 && from < count && SameIniName(FItems[static_cast<std::size_t>(from)].Name, name))
    return from;
  if (!FShared) {
    if (from + 1 < count && SameIniName(FItems[static_cast<std::size_t>(from + 1)].Name, name))
      return from + 1;
    const auto found = FIndex.constFind(FoldedIniName(name));
    return found == FIndex.constEnd() ? -1 : found.value();
  }
  if (from < 0 || from >= count)
    from = 0;
  for (int step = 0; step < count; ++step) {
    const int i = (from + step) % count;
    if (SameIniName(FItems[static_cast<std::size_t>(i)].Name, name))
      return i;
  }
  return -1;
}

int TSectionList::IndexOf(const QString &name) {
  const int index = Find(name, LastIndex);
  if (index >= 0)
    LastIndex = index;
  else if (LastIndex < 0 || LastIndex >= Count())
    LastIndex = 0;
  return index;
}

// ---- text decoding ----

namespace {

// Windows-1252 code points of the bytes 0x80 to 0x9F; the rest equals Latin-1. Unassigned
// bytes keep their Latin-1 control code.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString DecodeWindows1252(const QByteArray &bytes) {
  QString text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text.append(b >= 0x80 && b <= 0x9F ? QChar(Cp1252High[b - 0x80]) : QChar(b));
  }
  return text;
}

// The name of a raw line: the text before its first "=" (empty when there is none).
QString LineName(const QString &line) {
  const qsizetype p = line.indexOf(u'=');
  return p < 0 ? QString() : line.left(p);
}

bool IsBlankOrTab(QChar c) {
  return c == u' ' || c == u'\t';
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

QString DecodeIniText(const QByteArray &bytes) {
  QStringDecoder utf8(QStringConverter::Utf8);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError())
    return text;
  return DecodeWindows1252(bytes);
}

// ---- TBigIniFile ----

TBigIniFile::TBigIniFile(const QString &fileName) {
  SetFileName(fileName);
}

TBigIniFile::~TBigIniFile() {
  // A destructor must not throw; callers that need to see a write error flush first.
  try {
    UpdateFile();
  } catch (...) {
  }
  ClearSections();
}

void TBigIniFile::SetFileName(const QString &name) {
  UpdateFile();
  ClearSections();
  FFileName = name;
  if (!name.isEmpty())
    LoadFromFile(name);
  FDirty = false;
}

void TBigIniFile::ClearSections() {
  FSections.Clear();
  FSectionCursor = 0;
}

void TBigIniFile::LoadFromFile(const QString &name) {
  FSectionCursor = 0;
  QFile file(name);
  if (!file.exists())
    return;
  if (!file.open(QIODevice::ReadOnly))
    throw EInOutError(QStringLiteral("Die Datei „%1“ kann nicht gelesen werden: %2")
                          .arg(QFileInfo(name).absoluteFilePath(), file.errorString()));
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    throw EInOutError(QStringLiteral("Die Datei „%1“ kann nicht gelesen werden: %2")
                          .arg(QFileInfo(name).absoluteFilePath(), file.errorString()));
  file.close();
  const QString text = DecodeIniText(bytes);

  int current = -1;
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = text.indexOf(u'\n', start);
    if (end < 0)
      end = text.size();
    QString line = text.mid(start, end - start);
    start = end + 1;
    if (line.startsWith(QChar(26)))
      break;
    line.remove(u'\r');

    if (IgnoreComments && line.startsWith(u';'))
      line.clear();
    if (line.isEmpty())
      continue;
    if (line.startsWith(u'[') && line.endsWith(u']') && line.size() >= 2) {
      current = FSections.Add(line.mid(1, line.size() - 2));
      continue;
    }
    if (TrimAroundEquals) {
      qsizetype p = line.indexOf(u'=');
      if (p > 0) {
        while (p > 0 && IsBlankOrTab(line[p - 1])) {
          line.remove(p - 1, 1);
          --p;
        }
        while (p + 1 < line.size() && IsBlankOrTab(line[p + 1]))
          line.remove(p + 1, 1);
      }
    }
    if (StripQuotes) {
      const qsizetype p = line.indexOf(u'=') + 1; // 1-based position of "="
      const qsizetype length = line.size();
      if (p > 1 && length > p + 1) {
        const QChar last = line[length - 1];
        if (last == line[p] && (last == u'"' || last == u'\'')) {
          line.chop(1);
          line.remove(p, 1);
        }
      }
    }
    if (TrimTrailing) {
      while (!line.isEmpty() && line.back().unicode() <= 32)
        line.chop(1);
    }
    if (RequireEquals && !line.contains(u'='))
      continue;
    if (current >= 0)
      FSections.Lines(current).append(line);
  }
  if (RemoveDuplicateSections(OnDuplicateSection))
    FDirty = true;
}

bool TBigIniFile::RemoveDuplicateSections(const TDuplicateSectionEvent &event) {
  const int count = FSections.Count();
  if (count < 2)
    return false;
  std::vector<int> order(static_cast<std::size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
    return QString::compare(FSections.Name(a), FSections.Name(b), Qt::CaseInsensitive) < 0;
  });
  std::vector<bool> drop(static_cast<std::size_t>(count), false);
  bool removed = false;
  int survivor = order[0];
  for (std::size_t k = 1; k < order.size(); ++k) {
    const int candidate = order[k];
    if (!SameIniName(FSections.Name(survivor), FSections.Name(candidate))) {
      survivor = candidate;
      continue;
    }
    const int earlier = std::min(survivor, candidate);
    const int later = std::max(survivor, candidate);
    bool keepEarlier = true;
    if (event)
      keepEarlier =
          event(FSections.Name(earlier), FSections.Lines(earlier), FSections.Lines(later));
    const int kept = keepEarlier ? earlier : later;
    drop[static_cast<std::size_t>(keepEarlier ? later : earlier)] = true;
    survivor = kept;
    removed = true;
  }
  if (removed) {
    FSections.DeleteMarked(drop);
    FSectionCursor = 0;
  }
  return removed;
}

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

void TBigIniFile::GetStrings(QStringList &list) {
  for (int i = 0; i < FSections.Count(); ++i) {
    const QStringList &lines = FSections.Lines(i);
    if (lines.isEmpty())
      continue;
    list.append(u'[' + FSections.Name(i) + u']');
    list.append(lines);
    list.append(QString());
  }
}

void TBigIniFile::UpdateFile() {
  if (FDirty && !FFileName.isEmpty()) {
    QStringList all;
    GetStrings(all);
    QByteArray bytes;
    for (const QString &line : all) {
      bytes += line.toUtf8();
      bytes += "\r\n";
    }
    // Written to a temporary file and renamed over the old one, so a failure never leaves a
    // truncated configuration behind. Unbuffered, so that a short write (disk full) shows in
    // write()'s result instead of being lost in a buffered flush.
    QSaveFile file(FFileName);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                         file.write(bytes) == bytes.size();
    if (!written)
      file.cancelWriting();
    if (!written || !file.commit())
      throw EInOutError(QStringLiteral("Die Datei „%1“ kann nicht geschrieben werden: %2")
                            .arg(QFileInfo(FFileName).absoluteFilePath(), file.errorString()));
  }
  FDirty = false;
}
