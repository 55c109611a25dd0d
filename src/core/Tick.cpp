// The tick: the due check and the dispatch of its calls, within a time budget.
#include "core/Scheduler.h"

#include "platform/Process.h"

#include <QElapsedTimer>
#include <exception>

void TScheduler::TimerTimer() {
  if (FTickBusy)
    return; // dropped, not queued
  FTickBusy = true;
  struct TClearBusy {
    bool &Flag;
    ~TClearBusy() { Flag = false; }
  } clearBusy{FTickBusy};
  QElapsedTimer spent;
  spent.start();
  int dispatched = 0;
  bool collected = false;
  try {
    const TDateTime now = Clock();
    ReapFinishedProcesses();
    if (OnTick)
      OnTick(now);
    CollectDueActions(now);
    collected = true;
    const int n = FDueList.Count();
    // The count is taken once; the bound on the current count only guards against a list
    // that something during an action has emptied. A tick that has used its time leaves the
    // remaining calls to the next one.
    while (dispatched < n && dispatched < FDueList.Count() &&
           (dispatched == 0 || spent.elapsed() < TickTimeBudgetMs)) {
      TActionEntry &entry = *DueEntry(dispatched);
      ++dispatched; // taken, even if it fails: a failing call must not come back every tick
      ExecuteAction(entry);
    }
  } catch (const std::exception &error) {
    HandleAppException(error);
  } catch (...) {
    HandleAppException(QStringLiteral("Unbekannter Fehler"));
  }
  if (collected)
    KeepUndispatchedCalls(dispatched);
}
