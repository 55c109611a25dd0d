// A platform for tests of the engine's decisions: the clock is a value the test sets, program
// starts are recorded and answered as the test chooses (and end when the test says), and a copy
// can fail at a chosen step. Everything else is the system's, so files stay real.
#pragma once

#include "platform/Platform.h"

#include <deque>
#include <map>
#include <utility>
#include <vector>

// An alarm that fires when the test says: the test sets what Take reports and calls the
// owner's wake handler itself.
class TFakeWakeTimer : public TWakeTimer {
public:
  // What the next Take reports.
  TWakeEvent Next = TWakeEvent::Alarm;
  void ArmAt(std::int64_t utcMs) override { FArmed = utcMs; }
  std::int64_t ArmedAt() const override { return FArmed; }
  int Descriptor() const override { return -1; }
  TWakeEvent Take() override {
    const TWakeEvent event = Next;
    Next = TWakeEvent::Alarm;
    if (event == TWakeEvent::Alarm)
      FArmed = 0;
    return event;
  }

private:
  std::int64_t FArmed = 0;
};

// The system's platform with the clock, program starts and copies in the test's hands.
class TFakePlatform : public TPlatformWrapper {
public:
  // One program start as the engine asked for it.
  struct TLaunch {
    QString Folder;
    QStringList Words;
  };

  // What the clock shows.
  TMoment Moment;
  // Every start, oldest first.
  std::vector<TLaunch> Launches;
  // The results of the next starts, in order (a value above ExecStartedAbove is the started
  // program's process id); once they are used up, each start succeeds as process 1000 + n.
  std::deque<int> LaunchResults;
  // The ends TakeProcessEnd hands out, each once, by process id.
  std::map<std::int64_t, TProcessEnd> Ends;
  // Every copy fails at this step (None: copies are real).
  TCopyFailure CopyFailure = TCopyFailure::None;

  TMoment NowMoment() override { return Moment; }
  // The last alarm handed out (owned by whoever asked for it).
  TFakeWakeTimer *WakeTimer = nullptr;
  std::unique_ptr<TWakeTimer> NewWakeTimer() override {
    auto timer = std::make_unique<TFakeWakeTimer>();
    WakeTimer = timer.get();
    return timer;
  }

  bool CopyFileReplacing(const QString &source, const QString &target,
                         TCopyFailure *failure) override {
    if (CopyFailure == TCopyFailure::None)
      return TPlatformWrapper::CopyFileReplacing(source, target, failure);
    if (failure)
      *failure = CopyFailure;
    return false;
  }

  int LaunchProcess(const QString &folder, const QStringList &words,
                    std::int64_t *processId) override {
    Launches.push_back({folder, words});
    int result = 1000 + static_cast<int>(Launches.size());
    if (!LaunchResults.empty()) {
      result = LaunchResults.front();
      LaunchResults.pop_front();
    }
    if (result > ExecStartedAbove && processId)
      *processId = result;
    return result;
  }
  void ReapFinishedProcesses() override {}
  // Every group asked to stop, as (process id, forced); no signal ever leaves the test.
  std::vector<std::pair<std::int64_t, bool>> Stops;
  bool StopProcessGroup(std::int64_t processId, bool force) override {
    Stops.emplace_back(processId, force);
    return true;
  }
  int ProcessEndEvents() override { return -1; }
  std::optional<TProcessEnd> TakeProcessEnd(std::int64_t processId) override {
    const auto end = Ends.find(processId);
    if (end == Ends.end())
      return std::nullopt;
    const TProcessEnd taken = end->second;
    Ends.erase(end);
    return taken;
  }
};
