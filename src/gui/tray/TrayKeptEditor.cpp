// The editor's changes kept when the program ended with them open, and offered again at the
// next start.
#include "gui/tray/SysTrayIconForm.h"

#include "core/KeptEditorSession.h"

#include <QMessageBox>

void TSysTrayIconForm::OfferKeptEditorSession() {
  // An editor already open (a second start asked for it) has the user's attention; the kept
  // session waits for the next start.
  const QString config = FScheduler.ConfigFileName();
  if (FOpenEditor || FExitSaved || config.isEmpty())
    return;
  const std::optional<TKeptEditorSession> kept = ReadKeptEditorSession(config);
  if (!kept)
    return;
  const QMessageBox::StandardButton answer =
      FSeams.MessageBox(QMessageBox::Question, KeptEditorSessionQuestion(kept->KeptAt),
                        QMessageBox::Yes | QMessageBox::No);
  // No answer: the program is ending while it asks, and the next start asks again.
  if ((answer != QMessageBox::Yes && answer != QMessageBox::No) || FExitSaved)
    return;
  DiscardKeptEditorSession(config);
  if (answer == QMessageBox::No || FOpenEditor)
    return;
  TEditorSession session = NewEditorSession();
  session.Restored = true;
  session.IntervalMs = kept->IntervalMs;
  session.ConfigFileName = kept->ConfigFileName;
  session.Rows = kept->Rows;
  // The rows' origins are places in the list the editor was opened with, which the
  // configuration saved at that end still holds; a row whose place is gone is a new one.
  for (TEditorRow &row : session.Rows) {
    if (row.Origin < 0 || static_cast<std::size_t>(row.Origin) >= session.Copies.size())
      row.Origin = -1;
    else if (static_cast<std::size_t>(row.Origin) < session.JournalIds.size())
      row.JournalId = session.JournalIds[static_cast<std::size_t>(row.Origin)];
  }
  RunEditorSession(session);
}

void TSysTrayIconForm::KeepOpenEditor() {
  if (FEditorKept || !FOpenEditor || !FOpenEditor->Unsaved)
    return;
  TListEditSession unsaved = *FOpenEditor;
  if (!FOpenEditor->Unsaved(unsaved))
    return;
  try {
    KeepEditorSession(FScheduler.ConfigFileName(), unsaved, FScheduler.Clock().Wall);
    FEditorKept = true;
  } catch (const std::exception &error) {
    // The program is ending: no window can tell it any more.
    std::fprintf(stderr, "kronolab: %s\n", error.what());
  }
}
