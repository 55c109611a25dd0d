// What happens around a started program: a call that comes while the entry's previous
// program still runs (skipped, or kept to start after it), the time limit that stops a
// program's process group, and the messages the user put off ("Später erinnern").
#include "core/Scheduler.h"

#include "core/BusyScope.h"

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <utility>

namespace {

constexpr double MinutesPerDay = 24 * 60;

// How long a program asked to end at its time limit has before it is killed.
constexpr std::int64_t KillGraceMs = 10000;

bool IsProgramAction(const QString &stored) {
  if (stored.isEmpty())
    return false;
  const QChar kind = stored.front();
  return kind != u'"' && kind != u'\'' && kind != u'%';
}

int TimerMs(std::int64_t ms) {
  return static_cast<int>(std::clamp<std::int64_t>(ms, 0, INT_MAX));
}

} // namespace

TDateTime SnoozeMoment(TSnoozeDelay delay, TDateTime now) {
  switch (delay) {
  case TSnoozeDelay::Minutes5:
    return now + 5.0 / MinutesPerDay;
  case TSnoozeDelay::Minutes15:
    return now + 15.0 / MinutesPerDay;
  case TSnoozeDelay::Hour1:
    return now + 1.0 / 24;
  case TSnoozeDelay::Tomorrow:
    // The same time of day on the wall clock, whatever a change of daylight saving does.
    return now + 1;
  }
  return now;
}

QObject *TScheduler::TimerContext() {
  if (!FTimerContext)
    FTimerContext = std::make_unique<QObject>();
  return FTimerContext.get();
}

void TScheduler::WatchEnds() {
  // Without an event loop the tick is the only one to look.
  if (FEndNotifier || !QCoreApplication::instance())
    return;
  const int fd = FPlatform.ProcessEndEvents();
  if (fd < 0)
    return;
  FEndNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, TimerContext());
  QObject::connect(FEndNotifier, &QSocketNotifier::activated, [this] { ProgramsMayHaveEnded(); });
}

void TScheduler::ProgramsMayHaveEnded() {
  FPlatform.ReapFinishedProcesses();
  // Inside a tick (a window's event loop during an action) the tick itself looks next.
  if (FTickBusy)
    return;
  const TBusyScope busy(FTickBusy);
  NoteProcessEnds();
  StartWaitingCalls();
}

bool TScheduler::HoldForRunningCall(TActionEntry &entry) {
  FDispatchKey.clear();
  if (entry.IfRunning == irParallel || !IsProgramAction(entry.Action))
    return false;
  const std::vector<QString> &keys = ListKeys();
  const auto at = std::find(FKeyedEntries.begin(), FKeyedEntries.end(), &entry);
  if (at == FKeyedEntries.end())
    return false;
  FDispatchKey = keys[static_cast<std::size_t>(at - FKeyedEntries.begin())];
  const auto sameKey = [this](const auto &other) { return other.Key == FDispatchKey; };
  if (std::none_of(FRunningCalls.begin(), FRunningCalls.end(), sameKey))
    return false;
  const std::int64_t call = std::exchange(FPendingCall, 0);
  TakeDueCall(entry);
  // One call waits at most; it stays "recorded" in the journal until it starts.
  if (entry.IfRunning == irAfter &&
      std::none_of(FWaitingCalls.begin(), FWaitingCalls.end(), sameKey)) {
    FWaitingCalls.push_back({std::exchange(FDispatchKey, {}), call});
    return true;
  }
  FDispatchKey.clear();
  FinishJournalCall(call, {TCallState::Done, 0, 0, StillRunningText(), -1});
  return true;
}

void TScheduler::StartWaitingCalls() {
  for (std::size_t i = 0; i < FWaitingCalls.size();) {
    const TWaitingCall waiting = FWaitingCalls[i];
    if (std::any_of(
            FRunningCalls.begin(), FRunningCalls.end(),
            [&waiting](const TRunningProgram &running) { return running.Key == waiting.Key; })) {
      ++i;
      continue;
    }
    FWaitingCalls.erase(FWaitingCalls.begin() + static_cast<std::ptrdiff_t>(i));
    const std::vector<QString> &keys = ListKeys();
    const auto at = std::find(keys.begin(), keys.end(), waiting.Key);
    if (at == keys.end()) {
      // Changed or removed while it waited: what was asked for no longer exists.
      FinishJournalCall(waiting.Call, {TCallState::NotStarted, 0, 0,
                                       QStringLiteral("die Aktion wurde inzwischen geändert"), -1});
      continue;
    }
    // A copy: the list's entry keeps its own DueFlag.
    TActionEntry copy = *FKeyedEntries[static_cast<std::size_t>(at - keys.begin())];
    FPendingCall = waiting.Call;
    FDispatchKey = waiting.Key;
    try {
      ExecuteAction(copy);
    } catch (const std::exception &error) {
      HandleAppException(error);
    }
    FPendingCall = 0;
    FDispatchKey.clear();
    // The list may have changed under a window's event loop: start over.
    i = 0;
  }
}

void TScheduler::WatchProgram(std::int64_t processId, std::int64_t call, const QString &key,
                              std::int64_t limitMs) {
  TRunningProgram running;
  running.ProcessId = processId;
  running.Call = call;
  running.Key = key;
  running.LimitMs = limitMs;
  running.Since.start();
  FRunningCalls.push_back(std::move(running));
  WatchEnds();
  if (limitMs > 0)
    ArmTimeLimit(processId, limitMs);
}

void TScheduler::ArmTimeLimit(std::int64_t processId, std::int64_t inMs) {
  // A QTimer counts elapsed time, which is what a run time limit measures; a limit beyond
  // the timer's range is armed again when that much has passed.
  QTimer::singleShot(TimerMs(inMs), TimerContext(),
                     [this, processId] { TimeLimitReached(processId); });
}

TScheduler::TRunningProgram *TScheduler::RunningProgram(std::int64_t processId) {
  FPlatform.ReapFinishedProcesses();
  NoteProcessEnds();
  for (TRunningProgram &running : FRunningCalls)
    if (running.ProcessId == processId)
      return &running;
  return nullptr;
}

void TScheduler::TimeLimitReached(std::int64_t processId) {
  TRunningProgram *running = RunningProgram(processId);
  if (!running)
    return;
  const std::int64_t left = running->LimitMs - running->Since.elapsed();
  if (left > 0) {
    ArmTimeLimit(processId, left);
    return;
  }
  running->TimedOut = true;
  FPlatform.StopProcessGroup(processId, false);
  QTimer::singleShot(TimerMs(KillGraceMs), TimerContext(), [this, processId] {
    // The group goes whether its leader has ended meanwhile or not: what it started must
    // not outlive the limit either.
    RunningProgram(processId);
    FPlatform.StopProcessGroup(processId, true);
  });
}

void TScheduler::EnforceTimeLimits() {
  // kronolab-cli run has no event loop, so no timer above fires there: the due checks that
  // come about once a second while programs run stop those past their limit.
  for (TRunningProgram &running : FRunningCalls) {
    if (running.LimitMs <= 0)
      continue;
    const std::int64_t ran = running.Since.elapsed();
    if (!running.TimedOut && ran >= running.LimitMs) {
      running.TimedOut = true;
      FPlatform.StopProcessGroup(running.ProcessId, false);
    } else if (running.TimedOut && ran >= running.LimitMs + KillGraceMs) {
      FPlatform.StopProcessGroup(running.ProcessId, true);
    }
  }
}

void TScheduler::SnoozeMessage(const QString &caption, const QString &header,
                               const QString &message, TDateTime at) {
  TSnooze snooze{0, Clock().Wall, at, caption, header, message};
  if (FJournal)
    snooze.Id = FJournal->AddSnooze(snooze);
  const auto later =
      std::upper_bound(FSnoozes.begin(), FSnoozes.end(), at,
                       [](TDateTime due, const TSnooze &pending) { return due < pending.Due; });
  FSnoozes.insert(later, std::move(snooze));
}

TDateTime TScheduler::NextSnooze() const {
  return FSnoozes.empty() ? 0 : FSnoozes.front().Due;
}

void TScheduler::ShowDueSnoozes(TDateTime now) {
  while (!FSnoozes.empty() && FSnoozes.front().Due <= now) {
    const TSnooze snooze = FSnoozes.front();
    FSnoozes.erase(FSnoozes.begin());
    // Marked first: a message must not come back twice because its window failed.
    if (FJournal)
      FJournal->SnoozeShown(snooze.Id, now);
    ShowMessageWindow(snooze.Caption, snooze.Header, snooze.Message);
  }
}

void TScheduler::LoadSnoozes() {
  // Those not kept in a journal stay; those of another journal are that journal's.
  std::erase_if(FSnoozes, [](const TSnooze &snooze) { return snooze.Id != 0; });
  if (FJournal)
    for (TSnooze &snooze : FJournal->PendingSnoozes())
      FSnoozes.push_back(std::move(snooze));
  std::stable_sort(FSnoozes.begin(), FSnoozes.end(),
                   [](const TSnooze &a, const TSnooze &b) { return a.Due < b.Due; });
}
