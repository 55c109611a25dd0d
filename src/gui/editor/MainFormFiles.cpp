// The editor window's action-list files: adding one to the grid, saving the grid to one,
// and the buttons that choose them.
#include "gui/editor/MainForm.h"

#include "core/InstanceLock.h"
#include "gui/widgets/StringAlignGrid.h"
#include "gui/widgets/TimeEdit.h"
#include "storage/ActionListFile.h"

void TMainForm::AppendActionFile(const QString &fileName) {
  const TActionListContents contents = ReadActionListFile(fileName);
  // What the file held that no entry may hold has been replaced; the user learns which.
  if (!contents.Report.IsEmpty())
    FSeams.MessageBox(QMessageBox::Warning,
                      contents.Report.Header() + u'\n' + contents.Report.Text(), QMessageBox::Ok);
  FTimerEdit->SetText(MsToTimeText(contents.IntervalMs));
  const int count = static_cast<int>(contents.Entries.size());
  if (count <= 0)
    return;
  int rows = FActionsGrid->RowCount();
  // A grid showing only the placeholder row: its row is filled by the first new entry. The
  // row is asked for its entry rather than for its text, since an entry of an unknown kind
  // shows an empty time-point text and must not be overwritten.
  if (!RowEntry(1))
    --rows;
  FActionsGrid->SetRowCount(rows + count);
  for (int n = 1; n <= count; ++n) {
    auto entry = std::make_shared<TRowEntry>();
    entry->Row.Entry = contents.Entries[static_cast<std::size_t>(n - 1)];
    SetRowEntry(rows - 1 + n, entry);
    ShowRow(rows - 1 + n);
  }
}

bool TMainForm::SaveActionFile(const QString &fileName) {
  // That scheduler would write its own list over ours when it ends, and the edit were lost.
  if (FSeams.RunByAnother && FSeams.RunByAnother(fileName)) {
    FSeams.MessageBox(QMessageBox::Warning, NotSavedForAnotherSchedulerText(fileName),
                      QMessageBox::Ok);
    return false;
  }
  WriteActionListFile(fileName, TimeTextToMs(FTimerEdit->Text()), Entries());
  return true;
}

void TMainForm::OpenBtnClick() {
  const QString file = FSeams.ChooseFile(false, QStringLiteral("Aktionen laden"), QString());
  if (file.isEmpty())
    return;
  AppendActionFile(file);
  // The file becomes the configuration only with OK; Abbruch asks, as after any change.
  FConfigFileName = file;
  UpdateCaption();
  FModified = true;
}

void TMainForm::SaveAsBtnClick() {
  const QString file = FSeams.ChooseFile(true, QStringLiteral("Aktionen sichern"), FConfigFileName);
  if (file.isEmpty() || !SaveActionFile(file))
    return;
  FConfigFileName = file;
  UpdateCaption();
  FModified = true;
}

void TMainForm::SaveBtnClick() {
  SaveActionFile(FConfigFileName);
}
