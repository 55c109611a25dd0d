#include "core/Scheduler.h"

#include "platform/Process.h"

#include <exception>

void TScheduler::TimerTimer() {
  if (FTickBusy)
    return; // dropped, not queued
  FTickBusy = true;
  struct TClearBusy {
    bool &Flag;
    ~TClearBusy() { Flag = false; }
  } clearBusy{FTickBusy};
  try {
    const TDateTime now = Clock();
    ReapFinishedProcesses();
    NoteProcessEnds();
    if (OnTick)
      OnTick(now);
    CollectDueActions(now);
    // Recorded before anything is carried out: a crash from here on never repeats a call.
    RecordDueCalls(now);
    const int n = FDueList.Count();
    // The count is taken once; the bound on the current count only guards against a list
    // that something during an action has emptied.
    for (int i = 0; i < n && i < FDueList.Count(); ++i) {
      FPendingCall = static_cast<std::size_t>(i) < FTickCalls.size() ? FTickCalls[i] : 0;
      FTickCallsTaken = static_cast<std::size_t>(i) + 1;
      ExecuteAction(*DueEntry(i));
    }
  } catch (const std::exception &error) {
    HandleAppException(error);
  } catch (...) {
    HandleAppException(QStringLiteral("Unbekannter Fehler"));
  }
  CloseTickCalls();
}
