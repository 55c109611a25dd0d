// The tray's picture and tooltip: the moon of the moment, the failures' mark and count, and
// the next action the plan names.
#include "gui/tray/SysTrayIconForm.h"

#include "core/journal/RunJournal.h"
#include "gui/moon/Moon.h"
#include "gui/tray/FailureMark.h"

#include <QApplication>

void TSysTrayIconForm::ShowIcon(const QIcon &icon) {
  // Each change of the application's icon touches every window; change it only when the
  // picture differs. The tray icon checks the same for itself.
  if (!TRxTrayIcon::SamePicture(icon, FShownIcon)) {
    FShownIcon = icon;
    QApplication::setWindowIcon(icon);
  }
  FTrayPicture = icon;
  ShowTrayPicture();
}

void TSysTrayIconForm::ShowTrayPicture() {
  if (FFailedCalls == 0) {
    FTrayIcon->SetIcon(FTrayPicture);
    return;
  }
  // The mark is the tray's alone: the windows keep the plain moon. Drawn again only when the
  // moon changes, not at every tick.
  if (FMarkedFrom.isNull() || FMarkedFrom.cacheKey() != FTrayPicture.cacheKey()) {
    FMarkedFrom = FTrayPicture;
    FMarkedPicture = FailureMarkedIcon(FTrayPicture);
  }
  FTrayIcon->SetIcon(FMarkedPicture);
}

void TSysTrayIconForm::ShowHint(const QString &hint) {
  FTrayHint = hint;
  const QString failures = FailureCountText(FFailedCalls);
  FTrayIcon->SetHint(failures.isEmpty() ? hint : hint + u'\n' + failures);
}

void TSysTrayIconForm::ShowFailures() {
  ShowTrayPicture();
  ShowHint(FTrayHint);
}

void TSysTrayIconForm::CallFailed(int entryNumber, const QString &action, const QString &result,
                                  std::int64_t callId) {
  ++FFailedCalls;
  ShowFailures();
  FNotifier->Notify(
      QStringLiteral("Aktion fehlgeschlagen"), FailureNotificationText(entryNumber, action, result),
      FMainMoon->IconImage(64), [this, callId] { ShowCallInHistory(callId); },
      QStringLiteral("Verlauf öffnen"));
}

void TSysTrayIconForm::FailuresSeen() {
  if (FFailedCalls == 0)
    return;
  FFailedCalls = 0;
  if (TRunJournal *journal = FScheduler.Journal())
    journal->FailuresSeen();
  ShowFailures();
}

void TSysTrayIconForm::ShowCallInHistory(std::int64_t callId) {
  Verlauf1Click();
  if (FHistory && callId != 0)
    FHistory->SelectCall(callId);
}

void TSysTrayIconForm::IconStep(TDateTime now) {
  FMainMoon->SetDate(now);
  ShowIcon(FMainMoon->GetIcon());
  // Each tick can move the next due point (a run recorded, an interval passed); a second is
  // as fine as the tooltip shows it, so shorter intervals need not work it out again.
  if (!Paused() && (FHintGeneration != FScheduler.ListGeneration() || FHintTime == 0 ||
                    now - FHintTime >= 1000.0 / MSecsPerDay || now < FHintTime ||
                    (FHintPoint != 0 && now >= FHintPoint)))
    ShowRunningHint(now);
}

QString TSysTrayIconForm::RunningHint(TDateTime now, TDateTime *shownPoint) const {
  const TActionEntry *next = nullptr;
  TDateTime nextPoint = 0;
  int off = 0;
  for (int i = 0; i < FScheduler.ActionList().Count(); ++i) {
    const TActionEntry *entry = FScheduler.ActionList()[i];
    off += entry->Active ? 0 : 1;
    // A call due now is made at this very wake: the one after it is next.
    const TDateTime point = TScheduler::NextRunShown(*entry, now);
    if (point != 0 && (next == nullptr || point < nextPoint)) {
      next = entry;
      nextPoint = point;
    }
  }
  if (shownPoint)
    *shownPoint = nextPoint;
  QString hint = AppTitle;
  if (next != nullptr) {
    // A tooltip is one glance: a long action is shortened at its end.
    constexpr int MaxShown = 60;
    QString action = next->Action.Text();
    if (action.size() > MaxShown)
      action = action.left(MaxShown - 1) + QStringLiteral("…");
    hint += QStringLiteral("\nNächste Aktion: ") + DateTimeText(nextPoint) + u'\n' + action;
  }
  // Switched off, an action is never next; the tooltip still says that some wait.
  if (off > 0)
    hint += off == 1 ? QStringLiteral("\n1 Aktion ausgeschaltet")
                     : QStringLiteral("\n%1 Aktionen ausgeschaltet").arg(off);
  return hint;
}

void TSysTrayIconForm::ShowRunningHint(TDateTime now) {
  FHintTime = now;
  FHintGeneration = FScheduler.ListGeneration();
  ShowHint(RunningHint(now, &FHintPoint));
}
