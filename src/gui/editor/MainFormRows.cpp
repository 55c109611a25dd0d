// The editor window's grid rows: the session's copies in and out, showing a row with its
// next run and its last call's mark, new, edit and delete, "Jetzt ausführen" and the history.
#include "gui/editor/MainForm.h"

#include "core/Scheduler.h"
#include "gui/editor/EditActionDlg.h"
#include "gui/editor/HistoryForm.h"
#include "gui/editor/RunControlBox.h"
#include "gui/widgets/Calendar.h"
#include "gui/widgets/StringAlignGrid.h"
#include "gui/widgets/TimeEdit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <algorithm>

namespace {

// hh:mm:ss of a value's time of day.
QString ClockText(TDateTime value) {
  return MsToTimeText(DateTimeToTimeStamp(value).Time);
}

} // namespace

TMainForm::TRowEntryPtr TMainForm::RowEntry(int row) const {
  if (row < 1 || row >= FActionsGrid->RowCount())
    return nullptr;
  return FActionsGrid->Objects(ColTime, row).value<TRowEntryPtr>();
}

void TMainForm::SetRowEntry(int row, const TRowEntryPtr &entry) {
  FActionsGrid->SetObject(ColTime, row, entry ? QVariant::fromValue(entry) : QVariant());
}

void TMainForm::ShowRow(int row) {
  const TRowEntryPtr entry = RowEntry(row);
  if (!entry)
    return;
  const TActionEntry &e = entry->Row.Entry;
  FActionsGrid->SetCell(ColTime, row, TimeText(e.FirstDate));
  FActionsGrid->SetCell(ColTimePoint, row, TimePointText(e.TimePoint, e.FirstDate, e.Weekdays));
  FActionsGrid->SetCell(ColAction, row, e.Action);
  ShowNextRun(row, FSeams.Now());
  ShowMark(row);
  ShowActiveState(row);
}

void TMainForm::ShowNextRun(int row, TDateTime now) {
  const TRowEntryPtr entry = RowEntry(row);
  const TDateTime next = entry ? TScheduler::NextRunShown(entry->Row.Entry, now) : 0;
  if (next != 0)
    FNextRunsChange = std::min(FNextRunsChange, next);
  // A dash for an entry that will not run again by time.
  FActionsGrid->SetCell(ColNextRun, row,
                        !entry      ? QString()
                        : next == 0 ? QStringLiteral("–")
                                    : DateTimeText(next));
}

void TMainForm::LoadSession(const TEditorSession &session) {
  std::vector<TEditorRow> rows = session.Rows;
  if (!session.Restored) {
    rows.clear();
    for (std::size_t i = 0; i < session.Copies.size(); ++i)
      rows.push_back({session.Copies[i], static_cast<int>(i), false,
                      i < session.JournalIds.size() ? session.JournalIds[i] : 0});
  }
  FActionsGrid->SetRowCount(1); // drops whatever rows were there
  FActionsGrid->SetRowCount(std::max<int>(2, static_cast<int>(rows.size()) + 1));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    auto entry = std::make_shared<TRowEntry>();
    entry->Row = rows[i];
    SetRowEntry(static_cast<int>(i) + 1, entry);
  }
  FRestored = session.Restored;
  FSeams.Journal = session.Journal;
  FSeams.RunNow = session.RunNow;
  FSeams.RunByAnother = session.RunByAnother;
  FSeams.HistoryShown = session.HistoryShown;
  for (int row = 1; row < FActionsGrid->RowCount(); ++row)
    ShowRow(row);
  FConfigFileName = session.ConfigFileName;
  FTimerEdit->SetText(MsToTimeText(static_cast<std::int64_t>(session.IntervalMs)));
}

std::vector<TEditorRow> TMainForm::Rows() const {
  std::vector<TEditorRow> rows;
  for (int row = 1; row < FActionsGrid->RowCount(); ++row)
    if (const TRowEntryPtr entry = RowEntry(row))
      rows.push_back(entry->Row);
  return rows;
}

std::vector<TActionEntry> TMainForm::Entries() const {
  std::vector<TActionEntry> entries;
  for (const TEditorRow &row : Rows())
    entries.push_back(row.Entry);
  return entries;
}

void TMainForm::ClearActions() {
  FActionsGrid->SetRowCount(2);
  FActionsGrid->ClearRow(1);
  ShowMarks();
  FModified = true;
}

void TMainForm::NewBtnClick() {
  TEditActionDlg dialog(this);
  dialog.SetLastRunVisible(false);
  const TDateTime now = FSeams.Now();
  const TTimeParts t = DecodeTime(now);
  // Numbers without leading zeros: the field aligns them itself.
  dialog.TimeEdit->SetText(QStringLiteral("%1:%2:%3").arg(t.Hour).arg(t.Minute).arg(t.Second));
  dialog.Calendar->SetCalendarDate(DateOf(now));
  dialog.SetTimePointIndex(tpFrequency);
  dialog.ActionEdit->clear();
  // A slow program started again while it still runs is rarely wanted: a new one skips.
  TActionEntry fresh;
  fresh.IfRunning = irSkip;
  dialog.RunControl->SetEntry(fresh);
  if (FSeams.ExecEditDialog(dialog) != QDialog::Accepted)
    return;

  int row = 1;
  while (row < FActionsGrid->RowCount() && RowEntry(row))
    ++row;
  if (row == FActionsGrid->RowCount())
    FActionsGrid->SetRowCount(row + 1);

  const auto kind = static_cast<TTimePoint>(dialog.TimePointIndex());
  auto entry = std::make_shared<TRowEntry>();
  TActionEntry &e = entry->Row.Entry;
  e = NewActionEntry(
      kind, ComposeDateTime(dialog.Calendar->CalendarDate(), TimeFieldValue(*dialog.TimeEdit)),
      dialog.ActionEdit->text());
  if (kind == tpFrequency)
    e.Freq = TimeFieldValue(*dialog.FreqEdit);
  dialog.RunControl->ApplyTo(e, FSeams.Now());
  e.AllCalls = dialog.AllCallsBox->isChecked();
  e.SuddenStart = dialog.SuddenStartBox->isChecked();
  // Shown as OK will take it: a new rule makes no call for the points before now.
  e.StartFrom = FSeams.Now();
  SetRowEntry(row, entry);
  ShowRow(row);
  FModified = true;
}

void TMainForm::EditBtnClick() {
  if (FActionsGrid->RowCount() > 1 && FActionsGrid->Row() >= 1)
    ActionsGridDblClick();
}

void TMainForm::ActionsGridDblClick() {
  const int row = FActionsGrid->Row();
  const TRowEntryPtr entry = RowEntry(row);
  if (!entry) {
    NewBtnClick();
    return;
  }
  TActionEntry &e = entry->Row.Entry;
  TEditActionDlg dialog(this);
  dialog.TimeEdit->SetText(ClockText(e.FirstDate));
  entry->ShownLastRun = DateTimeText(e.LastDate);
  dialog.LastTimeLabel->setText(entry->ShownLastRun);
  dialog.FreqEdit->SetText(ClockText(e.Freq));
  dialog.AllCallsBox->setChecked(e.AllCalls);
  dialog.SuddenStartBox->setChecked(e.SuddenStart);
  dialog.Calendar->SetCalendarDate(DateOf(e.FirstDate));
  dialog.SetTimePointIndex(std::min<int>(e.TimePoint, tpYearly));
  dialog.ActionEdit->setText(e.Action);
  dialog.RunControl->SetEntry(e);
  if (FSeams.ExecEditDialog(dialog) != QDialog::Accepted)
    return;

  const TActionEntry before = e;
  e.FirstDate = ComposeDateTime(dialog.Calendar->CalendarDate(), TimeFieldValue(*dialog.TimeEdit));
  // The label holds whole seconds only: reading it back unchanged would move the recorded
  // run, so only a reset or another text is taken over.
  const QString lastRun = dialog.LastTimeLabel->text();
  if (lastRun != entry->ShownLastRun) {
    e.LastDate = StrToDateTime(lastRun);
    entry->Row.LastDateChanged = true;
  }
  e.Freq = TimeFieldValue(*dialog.FreqEdit);
  // Switching on here starts from now, as in the grid.
  dialog.RunControl->ApplyTo(e, FSeams.Now());
  e.AllCalls = dialog.AllCallsBox->isChecked();
  e.SuddenStart = dialog.SuddenStartBox->isChecked();
  e.TimePoint = static_cast<TTimePoint>(dialog.TimePointIndex());
  e.Action = dialog.ActionEdit->text();
  if (TimeRuleChanged(before, e))
    e.StartFrom = FSeams.Now();
  ShowRow(row);
  FModified = true;
}

bool TMainForm::Ask(const QString &text, QMessageBox::Icon icon,
                    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton yes) {
  return FSeams.MessageBox(icon, text, buttons) == yes;
}

void TMainForm::DeleteBtnClick() {
  const int row = FActionsGrid->Row();
  if (!RowEntry(row))
    return;
  if (!Ask(QStringLiteral("Wollen Sie die ausgewählte Aktion wirklich löschen ?"),
           QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok))
    return;
  if (FActionsGrid->RowCount() > 2) {
    for (int r = row; r < FActionsGrid->RowCount() - 1; ++r)
      FActionsGrid->CopyRow(r + 1, r);
    FActionsGrid->SetRowCount(FActionsGrid->RowCount() - 1);
  } else {
    FActionsGrid->ClearRow(row);
  }
  ShowMarks();
  FModified = true;
}

void TMainForm::DeleteAllBtnClick() {
  if (!RowEntry(1))
    return;
  if (Ask(QStringLiteral("Wollen Sie wirklich alle Aktionen löschen ?"), QMessageBox::Warning,
          QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok))
    ClearActions();
}

void TMainForm::ActionsGridKeyUp(int key) {
  if (key == Qt::Key_Delete)
    DeleteBtnClick();
  else if (key == Qt::Key_Insert)
    NewBtnClick();
}

void TMainForm::ShowMark(int row) {
  if (row < 1 || row >= FActionsGrid->RowCount())
    return;
  const TRowEntryPtr entry = RowEntry(row);
  std::optional<TCallRecord> last;
  if (entry && FSeams.Journal && entry->Row.JournalId != 0)
    last = FSeams.Journal->LastCall(entry->Row.JournalId);
  const bool failed = last && last->Failed;
  const QString tip =
      failed ? QStringLiteral("Letzter Aufruf fehlgeschlagen (%1): %2")
                   .arg(last->Started != 0 ? DateTimeText(last->Started) : DateTimeText(last->Due),
                        CallResultText(*last))
             : QString();
  for (int col = 0; col < FActionsGrid->ColCount(); ++col)
    if (QTableWidgetItem *cell = FActionsGrid->item(row - 1, col)) {
      cell->setToolTip(tip);
      if (col == ColTimePoint)
        cell->setIcon(failed ? style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
    }
}

void TMainForm::ShowMarks() {
  // Also after rows moved up (a deletion), which copies texts but not the check.
  for (int row = 1; row < FActionsGrid->RowCount(); ++row) {
    ShowMark(row);
    ShowActiveState(row);
  }
}

void TMainForm::ShowActiveState(int row) {
  const TRowEntryPtr entry = RowEntry(row);
  FActionsGrid->SetCell(ColActive, row, QString()); // makes the cell
  QTableWidgetItem *check = FActionsGrid->item(row - 1, ColActive);
  if (!check)
    return;
  // The placeholder row has no entry to switch.
  check->setData(Qt::CheckStateRole,
                 entry ? QVariant(int(entry->Row.Entry.Active ? Qt::Checked : Qt::Unchecked))
                       : QVariant());
  const QVariant grey = entry && !entry->Row.Entry.Active
                            ? QVariant(palette().brush(QPalette::Disabled, QPalette::Text))
                            : QVariant();
  for (int col = 0; col < FActionsGrid->ColCount(); ++col)
    if (QTableWidgetItem *cell = FActionsGrid->item(row - 1, col))
      cell->setData(Qt::ForegroundRole, grey);
}

void TMainForm::SetRowActive(int row, bool active) {
  const TRowEntryPtr entry = RowEntry(row);
  if (!entry || !SetEntryActive(entry->Row.Entry, active, FSeams.Now()))
    return;
  ShowRow(row);
  FModified = true;
}

bool TMainForm::RunRow(int row) {
  const TRowEntryPtr entry = RowEntry(row);
  if (!entry || !FSeams.RunNow)
    return false;
  const TManualRun run = FSeams.RunNow(entry->Row.Entry, entry->Row.JournalId, row);
  // A new row gets its journal entry with its first call.
  if (run.EntryId != 0)
    entry->Row.JournalId = run.EntryId;
  ShowMark(row);
  return run.Done;
}

void TMainForm::RunNowBtnClick() {
  RunRow(FActionsGrid->Row());
}

void TMainForm::HistoryBtnClick() {
  std::vector<THistoryAction> actions;
  for (int row = 1; row < FActionsGrid->RowCount(); ++row)
    if (const TRowEntryPtr entry = RowEntry(row))
      actions.push_back(
          {row, entry->Row.Entry.Action, entry->Row.JournalId, entry->Row.Entry.Active});
  THistoryForm form(FSeams.Journal, this);
  form.SetActions(actions);
  if (const TRowEntryPtr entry = RowEntry(FActionsGrid->Row()))
    form.SelectAction(entry->Row.JournalId);
  form.RunNow = [this](std::int64_t entryId) {
    for (int row = 1; row < FActionsGrid->RowCount(); ++row)
      if (const TRowEntryPtr entry = RowEntry(row); entry && entry->Row.JournalId == entryId)
        return RunRow(row);
    return false;
  };
  if (FSeams.HistoryShown)
    FSeams.HistoryShown();
  FSeams.ExecHistory(form);
  ShowMarks();
}
