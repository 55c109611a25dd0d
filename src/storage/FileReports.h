// What went wrong with a file we read or write, and the German texts that tell the user: a
// file we refuse or cannot understand, a system error while reading or writing, and the
// values a load could not take. Every such text of the program is made here.
#pragma once

#include "platform/OwnFiles.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// The largest schedule file we read: far beyond any real list (a thousand actions take some
// 300 KB), small enough that a wrong file such as /dev/zero or a disk image cannot fill the
// memory.
constexpr std::int64_t MaxIniFileBytes = 64LL * 1024 * 1024;

// Why bytes that could be read are still not a file of ours.
enum class TContentFault {
  None,
  NulCharacter,      // a NUL character: a binary file, or UTF-16 without a byte-order mark
  BrokenUtf16,       // a byte-order mark, then no valid UTF-16
  NoScheduleSection, // text, but neither [General] nor an [ActionN] section
};

// The reason, without the file's name, why an operation on a file failed or was refused.
QString FileResultReason(const TFileResult &result);
// The reason why a file's contents are not taken.
QString ContentFaultReason(TContentFault fault);

// A file we neither read nor write, for reason.
QString UnusableFileText(const QString &fileName, const QString &reason);
// A file that exists but could not be read, for reason.
QString ReadErrorText(const QString &fileName, const QString &reason);
// A file that could not be written, for reason; the old contents are still there.
QString WriteErrorText(const QString &fileName, const QString &reason);
// The log could not be written, for reason.
QString LogWriteErrorText(const QString &fileName, const QString &reason);

// One value a load could not take: what was wrong with it and what was taken instead.
struct TValueProblem {
  QString Fault;    // e.g. "FirstDate=1E12 ist kein Datum der Jahre 1 bis 9999"
  QString Fallback; // e.g. "es gilt 0"
};

// The values of one action section that a load could not take.
struct TEntryProblems {
  int Number = 0; // n of the section "Action" + n
  QString Action;
  std::vector<TValueProblem> Values;
  bool Dropped = false; // the entry was left out because of them
};

// Everything a load of a schedule file could not take, told to the user once per load.
struct TLoadReport {
  QString FileName;
  std::vector<TValueProblem> Settings; // section [General]
  std::vector<TEntryProblems> Entries;
  bool Withheld = false; // no action could be read, so the file is not saved over

  bool IsEmpty() const { return Settings.empty() && Entries.empty(); }
  // The caption, header and text of the one message that tells all of it.
  QString Caption() const;
  QString Header() const;
  QString Text() const;
};

// The faults a value can have, each as the text TValueProblem::Fault holds.
QString NoDateFault(const QString &key, const QString &text);
QString NotFiniteFault(const QString &key, const QString &text);
QString FreqRangeFault(const QString &text);
QString IntervalFault(const QString &text, const QString &maximum);
// A run-control value that is not of its kind; expected says what it should be, e.g.
// "keine Dauer hh:mm:ss".
QString RunControlFault(const QString &key, const QString &text, const QString &expected);
// An entry left out though each of its values could be read: without a start or an action.
QString UnusableEntryFault(bool noFirstDate);
// Why a configuration none of whose actions could be read is not saved over.
QString NoActionReadReason();
// The fallbacks: the value taken instead.
QString TakenInsteadText(const QString &value);
