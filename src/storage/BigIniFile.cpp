// The INI engine's file side: decoding, loading and refusing a file, one section per name,
// and the atomic rewrite.
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
#include <numeric>

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

bool IsBlankOrTab(QChar c) {
  return c == u' ' || c == u'\t';
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
