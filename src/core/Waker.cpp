#include "core/Waker.h"

#include <algorithm>

TSchedulerWaker::TSchedulerWaker(TScheduler &scheduler)
    : FScheduler(scheduler), FTimer(scheduler.Platform().NewWakeTimer()) {}

void TSchedulerWaker::Woken() {
  if (!FTimer)
    return;
  FClockSet = FTimer->Take() == TWakeEvent::ClockSet || FClockSet;
  if (FScheduler.TickBusy()) {
    // Woken inside a running tick (a window's own event loop): look again in a second rather
    // than spin on a check that cannot run now; a clock set is still answered then.
    FTimer->ArmAt(FScheduler.Clock().UtcMs + 1000);
    return;
  }
  const bool clockSet = FClockSet;
  FClockSet = false;
  if (clockSet)
    FScheduler.PlanChanged(); // every point is to be looked at with the new time
  const TMoment now = FScheduler.Clock();
  const bool check = FDueCheckAt != 0 && (clockSet || now.UtcMs >= FDueCheckAt);
  if (check) {
    ++FChecks;
    FScheduler.TimerTimer();
  }
  if (OnWoken)
    OnWoken(check ? FScheduler.Clock() : now, check);
  Replan();
}

void TSchedulerWaker::Replan() {
  if (!FTimer)
    return;
  const TMoment now = FScheduler.Clock();
  FDueCheckAt = FScheduler.NextDueCheckUtcMs(now);
  std::int64_t at = FDueCheckAt;
  if (OtherWake) {
    const std::int64_t other = OtherWake(now);
    if (other != 0)
      at = at == 0 ? other : std::min(at, other);
  }
  // Armed also when nothing is to come, so that a clock set is still heard.
  FTimer->ArmAt(at != 0 ? at : now.UtcMs + 86400000);
}
