// TBigIniFile: one INI file held in memory as ordered sections of raw lines, with typed
// reads and writes of keys and a deferred, atomic rewrite of the whole file.
#pragma once

#include "storage/FileReports.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// The sections of an INI model in file order: each name owns its list of raw lines.
class TSectionList {
public:
  // The index IndexOf found last; always inside the list (0 when it is empty).
  int LastIndex = 0;

  int Count() const { return static_cast<int>(FItems.size()); }
  const QString &Name(int index) const { return FItems.at(static_cast<std::size_t>(index)).Name; }
  QStringList &Lines(int index) { return FItems.at(static_cast<std::size_t>(index)).Lines; }
  const QStringList &Lines(int index) const {
    return FItems.at(static_cast<std::size_t>(index)).Lines;
  }
  // Appends an empty section, even when one of that name exists; its index.
  int Add(const QString &name);
  // Removes the section at index with its lines.
  void Delete(int index);
  // Removes every section at once whose flag in drop is set, keeping the order of the rest.
  void DeleteMarked(const std::vector<bool> &drop);
  void Clear();
  // The index of the section named name (case-insensitive), searched from LastIndex on; −1.
  int IndexOf(const QString &name);
  // The index of the section named name (case-insensitive), searched cyclically from from
  // on (that matters only while two sections share a name); −1. Changes nothing.
  int Find(const QString &name, int from) const;

private:
  struct TSection {
    QString Name;
    QStringList Lines;
  };
  // Rebuilds FIndex after sections were removed.
  void Reindex();

  std::vector<TSection> FItems;
  // Case-folded name to the index of its section, so that a lookup does not walk thousands
  // of sections. Trusted only while no two sections share a name (FShared false).
  QHash<QString, int> FIndex;
  bool FShared = false;
};

// Decides which of two same-named sections survives a load: true keeps the earlier one.
// It may move lines between the two lists.
using TDuplicateSectionEvent =
    std::function<bool(const QString &name, QStringList &earlier, QStringList &later)>;

// True when two section or key names are equal without regard to case (umlauts included).
bool SameIniName(QStringView a, QStringView b);
// name with each character case-folded as SameIniName folds it: equal for exactly the names
// SameIniName finds equal.
QString FoldedIniName(QStringView name);

// The INI engine: loads its file at construction and writes it back (only when changed) by
// UpdateFile. Call UpdateFile before destruction to see a write error: the destructor
// flushes too, but swallows any error.
class TBigIniFile {
public:
  explicit TBigIniFile(const QString &fileName);
  virtual ~TBigIniFile();
  TBigIniFile(const TBigIniFile &) = delete;
  TBigIniFile &operator=(const TBigIniFile &) = delete;

  virtual QString ReadString(const QString &section, const QString &key,
                             const QString &defaultValue);
  virtual void WriteString(const QString &section, const QString &key, const QString &value);
  virtual int ReadInteger(const QString &section, const QString &key, int defaultValue);
  virtual void WriteInteger(const QString &section, const QString &key, int value);
  virtual bool ReadBool(const QString &section, const QString &key, bool defaultValue);
  virtual void WriteBool(const QString &section, const QString &key, bool value);
  // Appends the key names of a section's lines (the empty name for lines without "=").
  virtual void ReadSection(const QString &section, QStringList &list);
  // Replaces list by all section names, empty sections included.
  virtual void ReadSections(QStringList &list);
  // Appends a section's raw lines.
  virtual void ReadSectionValues(const QString &section, QStringList &list);
  virtual void EraseSection(const QString &section);
  // Removes a key's first line; a missing section is created empty.
  virtual void DeleteKey(const QString &section, const QString &key);
  // Appends the whole model in file form.
  virtual void GetStrings(QStringList &list);
  // Rewrites the file atomically when the model is dirty; raises EInOutError (the old file
  // is then untouched and the model stays dirty), also when the load of this file was refused.
  virtual void UpdateFile();
  // Parses a file into the model; a missing file leaves the model as it is. Raises
  // EInOutError when the file exists but cannot be read, or is not used: not a regular file,
  // larger than MaxIniFileBytes, changeable by others (ReadOwnFile), or not text (a NUL
  // character, broken UTF-16). The model is then unchanged.
  virtual void LoadFromFile(const QString &name);

  // Flushes the current file, then takes and loads another one.
  void SetFileName(const QString &name);
  // Releases all sections.
  void ClearSections();
  // The index of key's first line in section, or −1; lines receives the section's lines or
  // nullptr. With create, a missing section is appended empty.
  int LocateKey(const QString &section, const QString &key, bool create, QStringList *&lines);

  const QString &FileName() const { return FFileName; }
  // Whether the file loaded for FileName held a line besides blanks and comments (before any
  // header or in a section).
  bool LoadedText() const { return FLoadedText; }
  bool Dirty() const { return FDirty; }
  int SectionCursor() const { return FSectionCursor; }
  TSectionList &Sections() { return FSections; }

  TDuplicateSectionEvent OnDuplicateSection;
  // Positive: file input and output go through a buffer (its size is fixed).
  int TextBufferSize = 16384;
  bool IgnoreComments = false;
  bool RequireEquals = false;
  bool TrimAroundEquals = false;
  bool StripQuotes = false;
  bool TrimTrailing = false;

protected:
  // Refuses the file the engine was made for: raises EInOutError, and every later flush
  // raises the same instead of writing.
  [[noreturn]] void Refuse(TContentFault fault);
  // Of several same-named sections keeps one per name (see OnDuplicateSection); whether any
  // was dropped.
  bool RemoveDuplicateSections(const TDuplicateSectionEvent &event);

private:
  // Raises why the file name is not used; remembers it when name is the engine's own file.
  [[noreturn]] void RefuseFile(const QString &name, const QString &message, const QString &reason);
  // Replaces fileName by bytes atomically; the reason of a failure, empty on success.
  static QString WriteAtomically(const QString &fileName, const QByteArray &bytes);

  QString FFileName;
  bool FDirty = false;
  bool FFlushFailed = false;
  bool FLoadedText = false;
  // Set when a load refused the file: the message and reason every later flush raises.
  QString FRefusal;
  QString FRefusalReason;
  TSectionList FSections;
  int FSectionCursor = 0;
};

// The INI engine with no additions of its own; the base of TXIniFile.
class TBiggerIniFile : public TBigIniFile {
public:
  using TBigIniFile::TBigIniFile;
};

// Decodes file bytes: UTF-16 after its byte-order mark (fault BrokenUtf16 and the empty text
// when it is not valid), else UTF-8 when they are valid UTF-8 (a byte-order mark skipped),
// else Windows-1252 (older files).
QString DecodeIniText(const QByteArray &bytes, TContentFault *fault = nullptr);

// Removes what a killed save left beside fileName: QSaveFile's temporary files
// "<name>.XXXXXX" that are ours, regular and older than a minute. Call at start, once the
// file is ours to write (the instance lock is held).
void RemoveStaleSaveFiles(const QString &fileName);
