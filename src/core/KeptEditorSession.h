// An editor session the program ended with before its OK: kept in a file beside the
// configuration until the user, at the next start, takes it back into the editor or drops it.
#pragma once

#include "base/DateTime.h"
#include "core/EditorSession.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// What the kept file holds.
struct TKeptEditorSession {
  // When the program ended with it (local wall clock).
  TDateTime KeptAt = 0;
  std::uint64_t IntervalMs = 0;
  // The file the editor had chosen as configuration (a loaded or saved-as one).
  QString ConfigFileName;
  // The rows as the editor held them; Origin indexes the action list the editor was opened
  // with, which the configuration still holds at the next start. JournalId is not kept.
  std::vector<TEditorRow> Rows;
};

// The kept session's file for a configuration: the same name with ".unsaved" appended.
QString KeptEditorSessionFile(const QString &configFileName);

// Writes the session's rows, interval and chosen file, replacing an older kept session, in the
// configuration's own format (atomically, mode 0600). Raises EInOutError naming the file.
void KeepEditorSession(const QString &configFileName, const TListEditSession &session,
                       TDateTime keptAt);

// The kept session of a configuration; nothing when there is none or it cannot be read (the
// file then stays as it is, so that nothing is lost unasked).
std::optional<TKeptEditorSession> ReadKeptEditorSession(const QString &configFileName);

// Removes the kept session once the user has answered for it.
void DiscardKeptEditorSession(const QString &configFileName);

// The question at the start.
QString KeptEditorSessionQuestion(TDateTime keptAt);
