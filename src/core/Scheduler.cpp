#include "core/Scheduler.h"

#include "platform/Clock.h"
#include "platform/Process.h"

#include <QObject>

TScheduler::TScheduler(TPlatform &platform)
    : FPlatform(platform), FClock([&platform] { return platform.NowMoment(); }) {
  FActionList.FreeMode = fmFreeMem;
  FDueList.SetSorted(true);
  FDueList.Duplicates = true; // entries due at the same point all run in that tick
}

TScheduler::~TScheduler() {
  // Programs that ended since the last tick still get their result into the journal.
  FPlatform.ReapFinishedProcesses();
  NoteProcessEnds();
}

TActionEntry *TScheduler::DueEntry(int i) {
  return reinterpret_cast<TActionEntry *>(FDueList.GetData(i));
}

void TScheduler::SetActions(const std::vector<TActionEntry> &entries) {
  FDueList.Clear(); // its references would dangle once the old entries are gone
  FActionList.Clear();
  ++FListGeneration;
  for (const TActionEntry &entry : entries)
    AddAction(entry);
}

std::vector<TActionEntry> TScheduler::Actions() const {
  std::vector<TActionEntry> copies;
  copies.reserve(static_cast<std::size_t>(FActionList.Count()));
  for (int i = 0; i < FActionList.Count(); ++i)
    copies.push_back(*FActionList[i]);
  return copies;
}

TActionEntry *TScheduler::AddAction(const TActionEntry &entry) {
  auto *copy = new TActionEntry(entry);
  copy->DueFlag = copy->SuddenStart;
  FActionList.Add(copy);
  PlanChanged();
  return copy;
}
