#include "storage/BigIniFile.h"

#include "base/Errors.h"
#include "platform/OwnFiles.h"
#include "platform/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
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

QString DecodeIniText(const QByteArray &bytes, TContentFault *fault) {
  if (fault)
    *fault = TContentFault::None;
  // Notepad's "Unicode" and "Unicode Big Endian": UTF-16 behind a byte-order mark.
  const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 &&
      ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
    const bool little = byte(0) == 0xFF;
    QString text;
    bool broken = bytes.size() % 2 != 0;
    text.reserve(bytes.size() / 2);
    for (qsizetype i = 2; !broken && i + 1 < bytes.size(); i += 2) {
      const char16_t unit = little ? static_cast<char16_t>(byte(i) | byte(i + 1) << 8)
                                   : static_cast<char16_t>(byte(i) << 8 | byte(i + 1));
      text.append(QChar(unit));
    }
    // Every surrogate must be one half of a pair, in order.
    for (qsizetype i = 0; !broken && i < text.size(); ++i) {
      if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        ++i;
      else if (text[i].isSurrogate())
        broken = true;
    }
    if (broken) {
      if (fault)
        *fault = TContentFault::BrokenUtf16;
      return {};
    }
    return text;
  }
  // A UTF-8 byte-order mark is skipped by the decoder.
  QStringDecoder utf8(QStringConverter::Utf8);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError())
    return text;
  if (bytes.startsWith("\xEF\xBB\xBF"))
    return DecodeWindows1252(bytes.mid(3));
  return DecodeWindows1252(bytes);
}

void RemoveStaleSaveFiles(const QString &fileName) {
  // QSaveFile writes beside the file, under the file's name, a dot and six letters or digits,
  // and renames that over the file; a kill between the two leaves it. A minute is far longer
  // than any save of ours takes, so a younger one may still be another save in progress.
  constexpr int MinAgeSeconds = 60;
  const QFileInfo file(fileName);
  const QString prefix = file.fileName() + u'.';
  const QDir folder = file.absoluteDir();
  // Matched by hand: the file's own name may hold characters a name filter would read as
  // wildcards.
  for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    if (name.size() != prefix.size() + 6 || !name.startsWith(prefix))
      continue;
    const QStringView tail = QStringView(name).mid(prefix.size());
    const bool ours = std::all_of(tail.begin(), tail.end(), [](QChar c) {
      return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
    });
    if (ours)
      RemoveStaleOwnFile(folder.filePath(name), MinAgeSeconds);
  }
}

// ---- TBigIniFile ----

TBigIniFile::TBigIniFile(const QString &fileName) {
  SetFileName(fileName);
}

TBigIniFile::~TBigIniFile() {
  // A destructor must not throw; callers that need to see a write error flush first, and
  // after a failed flush nothing is written any more.
  try {
    if (!FFlushFailed)
      UpdateFile();
  } catch (...) {
  }
  ClearSections();
}

void TBigIniFile::SetFileName(const QString &name) {
  UpdateFile();
  ClearSections();
  FFileName = name;
  FFlushFailed = false;
  FLoadedText = false;
  FRefusal.clear();
  FRefusalReason.clear();
  if (!name.isEmpty())
    LoadFromFile(name);
  FDirty = false;
}

void TBigIniFile::ClearSections() {
  FSections.Clear();
  FSectionCursor = 0;
}

namespace {

// Whether a line says something: it is not blank and not a comment.
bool IsContentLine(const QString &line) {
  const QString trimmed = line.trimmed();
  return !trimmed.isEmpty() && !trimmed.startsWith(u';') && !trimmed.startsWith(u'#');
}

} // namespace

void TBigIniFile::LoadFromFile(const QString &name) {
  FSectionCursor = 0;
  const QString shownName = QFileInfo(name).absoluteFilePath();
  const TOwnFileContents file = ReadOwnFile(name, MaxIniFileBytes);
  // Refused also when it is missing: a file we would create in a folder others may write is
  // no more ours than one that is there already.
  if (file.Refusal != TFileRefusal::None) {
    const QString reason = FileResultReason(file);
    RefuseFile(name, UnusableFileText(shownName, reason), reason);
  }
  if (!file.Exists)
    return;
  if (file.Error != 0) {
    const QString reason = FileResultReason(file);
    throw EInOutError(ReadErrorText(shownName, reason), reason);
  }
  TContentFault fault = TContentFault::None;
  const QString text = DecodeIniText(file.Bytes, &fault);

  // What is not text we must not write back: a NUL character means a binary file or UTF-16
  // without a byte-order mark, whose lines we would mangle.
  const int sectionsBefore = FSections.Count();
  bool content = false;
  int current = -1;
  qsizetype start = 0;
  while (fault == TContentFault::None && start < text.size()) {
    // A line ends at CR LF, LF or CR alone (old Mac files, and some Windows tools).
    qsizetype end = start;
    while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
      ++end;
    QString line = text.mid(start, end - start);
    start = end + 1;
    if (end < text.size() && text[end] == u'\r' && start < text.size() && text[start] == u'\n')
      ++start;
    if (line.startsWith(QChar(26)))
      break;
    if (line.contains(QChar(0))) {
      fault = TContentFault::NulCharacter;
      break;
    }
    content = content || IsContentLine(line);

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
  if (name == FFileName)
    FLoadedText = content;
  if (fault != TContentFault::None) {
    // The model stays as it was before this load.
    std::vector<bool> added(static_cast<std::size_t>(FSections.Count()), false);
    std::fill(added.begin() + sectionsBefore, added.end(), true);
    FSections.DeleteMarked(added);
    FSectionCursor = 0;
    const QString reason = ContentFaultReason(fault);
    RefuseFile(name, UnusableFileText(shownName, reason), reason);
  }
  if (RemoveDuplicateSections(OnDuplicateSection))
    FDirty = true;
}

void TBigIniFile::RefuseFile(const QString &name, const QString &message, const QString &reason) {
  if (name == FFileName) {
    FRefusal = message;
    FRefusalReason = reason;
  }
  throw EInOutError(message, reason);
}

void TBigIniFile::Refuse(TContentFault fault) {
  const QString reason = ContentFaultReason(fault);
  RefuseFile(FFileName, UnusableFileText(QFileInfo(FFileName).absoluteFilePath(), reason), reason);
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
    // A file whose load was refused is never written over, whatever happened since.
    if (!FRefusal.isEmpty())
      throw EInOutError(FRefusal, FRefusalReason);
    QStringList all;
    GetStrings(all);
    QByteArray bytes;
    for (const QString &line : all) {
      bytes += line.toUtf8();
      bytes += "\r\n";
    }
    const QString error = WriteAtomically(FFileName, bytes);
    // A later flush (the destructor's) must not try again behind the caller's back: the
    // caller has been told the save failed, so the file must stay as it was.
    FFlushFailed = !error.isEmpty();
    if (FFlushFailed)
      throw EInOutError(WriteErrorText(QFileInfo(FFileName).absoluteFilePath(), error), error);
  }
  FDirty = false;
}

QString TBigIniFile::WriteAtomically(const QString &fileName, const QByteArray &bytes) {
  // Written to a temporary file and renamed over the old one, so a failure never leaves a
  // truncated file behind. The writes go straight to the descriptor, so that the system's
  // reason for a failure (a full disk, a quota, a size limit) is ours to tell.
  QSaveFile file(fileName);
  errno = 0;
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    const int error = errno;
    return error != 0 ? SystemErrorText(error) : file.errorString();
  }
  int error = SetSavedFileMode(file.handle(), fileName);
  if (error == 0)
    error = WriteAllBytes(file.handle(), bytes);
  // A full disk may show only when the data reaches it.
  if (error == 0)
    error = SyncFile(file.handle());
  if (error != 0) {
    file.cancelWriting();
    return SystemErrorText(error);
  }
  errno = 0;
  if (!file.commit()) {
    error = errno;
    return error != 0 ? SystemErrorText(error) : file.errorString();
  }
  return {};
}
