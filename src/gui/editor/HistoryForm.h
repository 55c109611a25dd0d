// THistoryForm: the window "Verlauf", the run journal's calls newest first with their due
// point, start, action, result and duration, filtered by action and to failures. The tray
// opens it on its own, the editor over itself; both hand in how to carry an action out now.
#pragma once

#include "core/journal/RunJournal.h"

#include <QDialog>
#include <cstdint>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimer;
class THistoryModel;

// An action the filter offers: its number in the list, its text and its journal entry
// (0 when the journal has none, so that its filter shows nothing).
struct THistoryAction {
  int Number = 0;
  QString Action;
  std::int64_t EntryId = 0;
  // Switched off actions are named so, since their calls end where they were switched off.
  bool Active = true;
};

// The history window.
class THistoryForm : public QDialog {
  Q_OBJECT
public:
  // journal may be nullptr: the window then says that there is no history.
  explicit THistoryForm(const TRunJournal *journal, QWidget *parent = nullptr);

  // How often the window looks for new calls, in milliseconds.
  static constexpr int RefreshMs = 1000;

  QComboBox *ActionFilter = nullptr;
  QCheckBox *FailedOnlyBox = nullptr;
  QTableView *CallsView = nullptr;
  // What the selected call's program wrote (read-only).
  QPlainTextEdit *OutputView = nullptr;
  QLabel *StatusLabel = nullptr;
  QPushButton *RunNowBtn = nullptr;
  QPushButton *CloseBtn = nullptr;
  THistoryModel *Model = nullptr;
  QTimer *RefreshTimer = nullptr;

  // Carries out the entry of a journal id now; false when no such entry is in the list.
  std::function<bool(std::int64_t entryId)> RunNow;

  void SetJournal(const TRunJournal *journal);
  // The actions the filter offers, in list order.
  void SetActions(const std::vector<THistoryAction> &actions);
  // Shows one action's calls (0: all).
  void SelectAction(std::int64_t entryId);
  // Selects the call with callId and scrolls to it, showing all calls when the filters hide
  // it; false when the journal has no such call.
  bool SelectCall(std::int64_t callId);

  void ApplyFilter();
  void RunNowBtnClick();
  // Reads the journal again when it changed since.
  void RefreshIfChanged();

private:
  // The table of calls, its columns as wide as their texts in the desktop's font.
  // Returns the width the table needs to show every column whole beside a readable action.
  int CreateCallsView();
  // The result column: as wide as its longest text shown, at most ResultWidthLimit.
  void FitResultColumn();
  int ResultWidthLimit() const;
  void UpdateButtons();
  void ShowOutput(const TCallRecord *call);
  void ShowProblem();
  // The row of the call with callId, reading further pages as far as its id; -1 when the
  // filtered calls do not hold it.
  int RowOfCall(std::int64_t callId);

  const TRunJournal *FJournal;
  std::uint64_t FSeenGeneration = 0;
};
