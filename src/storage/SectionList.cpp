// The sections of the INI model, and the comparison of section and key names without regard
// to case.
#include "storage/BigIniFile.h"

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
