// The tick: the due check, the journal's record of its calls, and their dispatch within a
// time budget.
#include "core/Scheduler.h"

#include "core/BusyScope.h"

#include <QElapsedTimer>
#include <algorithm>
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
    EnforceTimeLimits();
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
  if (collected) {
    JournalTickEnds(now);
    AdvancePlan(now);
  }
}

void TScheduler::AdvancePlan(const TMoment &now) {
  const bool wentBack = now.Wall < FLastCheck.Wall || now.UtcMs < FLastCheck.UtcMs;
  // The offset changed (the autumn hour begins again): points already passed come anew.
  const bool offsetChanged = FLastCheck.UtcMs != 0 && !wentBack &&
                             NextOffsetChange(FLastCheck.UtcMs, now.UtcMs).has_value();
  FLastCheck = now;
  if (wentBack || offsetChanged) {
    FWakePlan.Drop();
    return;
  }
  if (!FWakePlan.Fits(FListGeneration, FActionList.Count()))
    return; // made anew when next asked for
  std::vector<const TActionEntry *> ran;
  for (int i = 0; i < FDueList.Count(); ++i)
    ran.push_back(DueEntry(i));
  FWakePlan.Advance(ran, now);
}

std::pair<TDateTime, const TActionEntry *> TScheduler::NextPlannedCall(const TMoment &now) {
  if (!FWakePlan.Fits(FListGeneration, FActionList.Count()))
    FWakePlan.Rebuild(FActionList, FListGeneration, now);
  return FWakePlan.Earliest();
}

std::int64_t TScheduler::NextDueCheckUtcMs(const TMoment &now) {
  if (TimerInterval() == 0)
    return 0;
  std::int64_t at = NextMidnight(now);
  const auto [point, entry] = NextPlannedCall(now);
  if (entry != nullptr)
    at = std::min(at, point <= now.Wall ? now.UtcMs : WallInstantAfter(point, now.UtcMs));
  if (const std::optional<std::int64_t> change = NextOffsetChange(now.UtcMs, at))
    at = std::min(at, *change);
  // A message put off comes back at its moment.
  if (const TDateTime snooze = NextSnooze(); snooze != 0)
    at = std::min(at, snooze <= now.Wall ? now.UtcMs : WallInstantAfter(snooze, now.UtcMs));
  // A clock set back leaves the last check in the future: the spacing counts from now then.
  const std::int64_t last = std::min(FLastCheck.UtcMs, now.UtcMs);
  // The ends of started programs reach the journal with a check.
  if (!FRunningCalls.empty())
    at = std::min(at, last + std::max<std::int64_t>(FInterval, 1000));
  if (FLastCheck.UtcMs != 0)
    at = std::max(at, last + static_cast<std::int64_t>(FInterval));
  return at;
}
