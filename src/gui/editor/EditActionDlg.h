// TEditActionDlg "Aktion editieren": the modal dialog that sets up one action. It only holds
// controls; the editor window fills them before showing and reads them back after OK, so
// the dialog never touches an action entry itself.
#pragma once

#include "base/DateTime.h"

#include <QDialog>
#include <QSortFilterProxyModel>
#include <QString>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QVBoxLayout;
class QLineEdit;
class QPushButton;
class QToolButton;
class TCalendar;
class TMaskTimeEdit;
class TRxSpinEdit;
class TRunControlBox;

// The program file dialog's "Programme" choice over a QFileSystemModel: folders and
// executable files only while ProgramsOnly is set. Linux programs carry no extension, and
// the model's own permission filter hides readable and writable files instead of showing
// executable ones, so the test is made here.
class TProgramFileFilter : public QSortFilterProxyModel {
public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void SetProgramsOnly(bool value);
  bool ProgramsOnly() const { return FProgramsOnly; }

protected:
  bool filterAcceptsRow(int row, const QModelIndex &parent) const override;

private:
  bool FProgramsOnly = true;
};

// The value of a time field "hh:mm:ss" as a fraction of a day (0 ms); blanks read as 0.
TDateTime TimeFieldValue(const TMaskTimeEdit &field);

// The dialog for one action: time, kind, interval, date, start-up switch and action text.
class TEditActionDlg : public QDialog {
  Q_OBJECT
public:
  explicit TEditActionDlg(QWidget *parent = nullptr);

  // The help topic of this dialog.
  static constexpr int HelpContext = 2000;

  TMaskTimeEdit *TimeEdit = nullptr;
  TMaskTimeEdit *FreqEdit = nullptr;
  QLabel *FreqEditLabel = nullptr;
  QCheckBox *AllCallsBox = nullptr;
  QLabel *EditLastTimeLabel = nullptr;
  QToolButton *EraseLastTimeBtn = nullptr;
  QLabel *LastTimeLabel = nullptr;
  TRxSpinEdit *DayEdit = nullptr;
  TRxSpinEdit *MonthEdit = nullptr;
  TRxSpinEdit *YearEdit = nullptr;
  // The radio group "&Zeitpunkte" with the six kinds; see TimePointIndex.
  QGroupBox *TimePointsGroup = nullptr;
  TCalendar *Calendar = nullptr;
  QLabel *DateLabel = nullptr;
  QCheckBox *SuddenStartBox = nullptr;
  QLineEdit *ActionEdit = nullptr;
  QComboBox *CommandBox = nullptr;
  QToolButton *OpenBtn = nullptr;
  QPushButton *CancelBtn = nullptr;
  QPushButton *OKBtn = nullptr;
  QPushButton *HelpBtn = nullptr;
  // On/off, weekdays, too late, still running and time limit.
  TRunControlBox *RunControl = nullptr;

  // The selected kind, 0 ("Frequenz") to 5 ("Jährlich").
  int TimePointIndex() const;
  // Selects a kind and applies its visibility and date label, as a click would.
  void SetTimePointIndex(int index);
  // Shows or hides the last-run caption, its reset button and the last-run label together
  // (hidden for a new action, whose dialog then closes up the room they took).
  void SetLastRunVisible(bool visible);

  // Whether the values can be taken as an action: text not empty and at most MaxActionLength
  // characters, a frequency entry with an interval above 00:00:00. Otherwise says why through
  // ShowInputError, puts the focus on the field and returns false. Date fields still being
  // typed in are taken first, so the calendar holds the date shown.
  bool CheckInput();

  // DateLabel := the time-point text of the selected kind, the calendar date and the weekdays.
  void UpdateDateLabel();

  // Event handlers.
  void FormShow();
  void TimePointsGroupClick();
  // Spin edits to calendar, all three at once; a day the month lacks becomes its last day,
  // and the spin edits show the date the calendar took.
  void DateEditChange();
  // Calendar to spin edits.
  void CalendarChange();
  // Range corrections of the field that changed, repeated until it is in range.
  void TimeEditChange(TMaskTimeEdit *field);
  // The user picked command-list item index.
  void CommandBoxChange(int index);
  void OpenBtnClick();
  // LastTimeLabel := calendar day + time field, the start time as now set.
  void EraseLastTimeBtnClick();
  void HelpBtnClick();
  // F1: the topic of the run control that has the focus, else the dialog's.
  void HelpKeyPress();

  // Seams, replaced by tests.
  // Asks for a program file; the chosen full path, or an empty text on cancel.
  std::function<QString()> ChooseProgramFile;
  // Opens the help at a topic number.
  std::function<void(int topic)> ShowHelp;
  // Tells the user why OK cannot take the values; by default a warning box over the dialog.
  std::function<void(const QString &text)> ShowInputError;

  // The caption of the box that says why OK cannot take the values.
  static const QString InputErrorCaption;

protected:
  void showEvent(QShowEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;
  // OK ends the dialog only when CheckInput lets it.
  void done(int result) override;

private:
  // The constructor's steps: the time and date controls (left column), the action's
  // controls and buttons (bottom), the tab order, the handlers, and Arrange, which puts the
  // controls in layouts (a hidden last-run line takes no room).
  void CreateTimeControls();
  void CreateActionControls();
  void ChainTabOrder();
  void ConnectHandlers();
  void Arrange();
  // Resizes to the starting size, or larger where the controls need it.
  void FitStartSize();

  QLabel *FTimeLabel = nullptr;
  QLabel *FDateCaption = nullptr;
  QLabel *FActionLabel = nullptr;
  // The dialog's rows, top to bottom; a further group of controls is one line here.
  QVBoxLayout *FLayout = nullptr;
  bool FLastRunVisible = true;
  QButtonGroup *FTimePoints = nullptr;
  // Set while CalendarChange writes the spin edits, whose changes are then not user input.
  bool FCalendarWriting = false;
  // Set while TimeEditChange writes its corrections.
  bool FCorrectingTime = false;
  // The action text's selection when it last lost the focus (to the command list).
  QString FSavedText;
  int FSavedSelStart = 0;
  int FSavedSelLength = 0;
  bool FSavedSelection = false;
};
