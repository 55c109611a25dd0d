// Wakes a scheduler at the moments its plan names, on a wall-clock alarm of its platform: the
// tray program watches the alarm's descriptor in its event loop, kronolab-cli run in its wait,
// and both call Woken when it turns readable. Nothing else wakes them while nothing is due.
#pragma once

#include "core/Scheduler.h"
#include "platform/WakeTimer.h"

#include <cstdint>
#include <functional>
#include <memory>

// The alarm of one scheduler and what each wake does.
class TSchedulerWaker {
public:
  // scheduler (not owned) outlives the waker; the alarm comes from its platform.
  explicit TSchedulerWaker(TScheduler &scheduler);

  // Whether there is an alarm at all; without, the owner keeps ticking on a timer.
  bool Valid() const { return FTimer != nullptr; }
  // Readable when Woken is to be called; -1 without one.
  int Descriptor() const { return FTimer ? FTimer->Descriptor() : -1; }
  // Another moment to wake at besides the due checks (the tray's picture), as an instant;
  // 0 for none.
  std::function<std::int64_t(const TMoment &now)> OtherWake;
  // After each wake, with the clock then and whether a due check ran.
  std::function<void(const TMoment &now, bool checked)> OnWoken;

  // The alarm fired or the clock was set: a due check runs when its time has come, at once
  // after a clock set (a step either way, a resume), then the next wake is armed.
  void Woken();
  // Arms the alarm for the plan as it is now; after anything that changes the list, the
  // interval or the pause.
  void Replan();
  // The instant armed (0: none) and the due check's part of it (0: no check to come).
  std::int64_t ArmedAt() const { return FTimer ? FTimer->ArmedAt() : 0; }
  std::int64_t DueCheckAt() const { return FDueCheckAt; }
  // Due checks run by wakes so far.
  int Checks() const { return FChecks; }

private:
  TScheduler &FScheduler;
  std::unique_ptr<TWakeTimer> FTimer;
  std::int64_t FDueCheckAt = 0;
  int FChecks = 0;
  // A clock set not yet answered by a due check.
  bool FClockSet = false;
};
