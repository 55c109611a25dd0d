// The tick: the due check, the journal's record of its calls, and their dispatch within a
// time budget.
#include "core/Scheduler.h"

#include "core/BusyScope.h"

#include <QElapsedTimer>
#include <exception>

void TScheduler::TimerTimer() {
  if (FTickBusy)
    return; // dropped, not queued
  const TBusyScope busy(FTickBusy);
  QElapsedTimer spent;
  spent.start();
  int dispatched = 0;
  bool collected = false;
  TMoment now;
  try {
    now = Clock();
    JournalTickBegins();
    FPlatform.ReapFinishedProcesses();
    NoteProcessEnds();
    StartWaitingCalls();
    if (FOnTick)
      FOnTick(now);
    ShowDueSnoozes(now.Wall);
    CollectDueActions(now);
    collected = true;
    // Recorded before anything is carried out: a crash from here on never repeats a call.
    RecordDueCalls(now);
    // Calls held back for a locked journal come again at the next tick.
    const int n = FTickCallsHeld ? 0 : FDueList.Count();
    // The count is taken once; the bound on the current count only guards against a list
    // that something during an action has emptied. A tick that has used its time leaves the
    // remaining calls to the next one.
    while (dispatched < n && dispatched < FDueList.Count() &&
           (dispatched == 0 || spent.elapsed() < FTickTimeBudgetMs)) {
      TActionEntry &entry = *DueEntry(dispatched);
      const auto index = static_cast<std::size_t>(dispatched);
      FPendingCall = index < FTickCalls.size() ? FTickCalls[index] : 0;
      ++dispatched; // taken, even if it fails: a failing call must not come back every tick
      FTickCallsTaken = static_cast<std::size_t>(dispatched);
      if (!HoldForRunningCall(entry))
        ExecuteAction(entry);
    }
  } catch (const std::exception &error) {
    HandleAppException(error);
  } catch (...) {
    HandleAppException(QStringLiteral("Unbekannter Fehler"));
  }
  if (collected)
    KeepUndispatchedCalls(dispatched);
  CloseTickCalls();
  if (collected)
    JournalTickEnds(now);
}
