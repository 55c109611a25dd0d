#include "gui/editor/EditActionDlg.h"

#include "base/ActionEntry.h"
#include "gui/editor/EditRules.h"
#include "gui/editor/HelpViewer.h"
#include "gui/editor/RunControlBox.h"
#include "gui/widgets/Application.h"
#include "gui/widgets/Calendar.h"
#include "gui/widgets/RxSpinEdit.h"
#include "gui/widgets/TimeEdit.h"
#include "platform/PathSyntax.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// A time field's text with unfilled positions read as the digit 0.
QString FilledTimeText(const TMaskTimeEdit &field) {
  QString s = field.Text();
  s.replace(u' ', u'0');
  return s;
}

int FieldNumber(const QString &s, int position) {
  return s.mid(position, 2).toInt(); // a part that is no number reads as 0
}

QLabel *MakeLabel(const QString &caption, QWidget *buddy, QWidget *parent) {
  auto *label = new QLabel(caption, parent);
  label->setBuddy(buddy);
  return label;
}

// The name of the file-type choice that shows programs only.
const QString ProgramsFilter = QStringLiteral("Programme (*)");
const QString AllFilesFilter = QStringLiteral("Alle (*)");

// The open dialog for a program file: "Programme" shows executable files, "Alle" all files.
QString AskForProgramFile(QWidget *parent) {
  QFileDialog dialog(parent, QStringLiteral("Öffnen"));
  dialog.setOption(QFileDialog::DontUseNativeDialog); // a proxy model needs Qt's own dialog
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  auto *filter = new TProgramFileFilter(&dialog);
  dialog.setProxyModel(filter);
  dialog.setNameFilters({ProgramsFilter, AllFilesFilter});
  dialog.selectNameFilter(ProgramsFilter);
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [filter](const QString &name) {
    filter->SetProgramsOnly(name == ProgramsFilter);
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return QString();
  return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

} // namespace

void TProgramFileFilter::SetProgramsOnly(bool value) {
  FProgramsOnly = value;
  invalidateFilter();
}

bool TProgramFileFilter::filterAcceptsRow(int row, const QModelIndex &parent) const {
  const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
  if (!FProgramsOnly || !files)
    return true;
  const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
  return info.isDir() || info.isExecutable();
}

TDateTime TimeFieldValue(const TMaskTimeEdit &field) {
  const QString s = FilledTimeText(field);
  // Computed directly, so even an uncorrected 24 or more hours gives a value, not an error.
  const int seconds = FieldNumber(s, 0) * 3600 + FieldNumber(s, 3) * 60 + FieldNumber(s, 6);
  return seconds / 86400.0;
}

const QString TEditActionDlg::InputErrorCaption = QStringLiteral("Aktion editieren");

TEditActionDlg::TEditActionDlg(QWidget *parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Aktion editieren"));
  setFont(DesktopFont(13));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  CreateTimeControls();
  // Right column: the calendar and the kind's text for its date.
  Calendar = new TCalendar(this);
  Calendar->setFont(DesktopFont(11)); // compact, so six weeks fit beside the left column
  DateLabel = new QLabel(this);
  DateLabel->setAlignment(Qt::AlignCenter);

  CreateActionControls();
  RunControl = new TRunControlBox(this);
  Arrange();
  FitStartSize();
  ChainTabOrder();
  ChooseProgramFile = [this] { return AskForProgramFile(this); };
  ShowHelp = [this](int topic) { ShowHelpTopic(topic, this); };
  ShowInputError = [this](const QString &text) {
    QMessageBox::warning(this, InputErrorCaption, text);
  };

  ConnectHandlers();
  CalendarChange(); // the spin edits start at the calendar's date
  OKBtn->setFocus();
}

void TEditActionDlg::CreateTimeControls() {
  // Left column: time, interval, last run, date spin edits, kinds.
  TimeEdit = new TMaskTimeEdit(this);
  TimeEdit->setToolTip(QStringLiteral("Uhrzeit der Aktion"));
  FTimeLabel = MakeLabel(QStringLiteral("&Uhrzeit"), TimeEdit, this);
  FreqEdit = new TMaskTimeEdit(this);
  FreqEdit->setToolTip(QStringLiteral("Frequenzintervalle"));
  FreqEditLabel = MakeLabel(QStringLiteral("&Abstände"), FreqEdit, this);
  AllCallsBox = new QCheckBox(QStringLiteral("Alle"), this);

  EraseLastTimeBtn = new QToolButton(this);
  EraseLastTimeBtn->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
  EraseLastTimeBtn->setIconSize(QSize(11, 11));
  EraseLastTimeBtn->setToolTip(QStringLiteral("Setzt die Zeit der zuletzt durchgeführten \r\n"
                                              "Aktion auf die Startzeit."));
  EditLastTimeLabel =
      MakeLabel(QStringLiteral("Zu&letzt durchgeführte Aktion:"), EraseLastTimeBtn, this);
  LastTimeLabel = new QLabel(this);

  DayEdit = new TRxSpinEdit(this);
  MonthEdit = new TRxSpinEdit(this);
  YearEdit = new TRxSpinEdit(this);
  // Only values a date can have can be typed; the calendar makes the day fit the month.
  DayEdit->setRange(1, 31);
  MonthEdit->setRange(1, 12);
  YearEdit->setRange(TCalendar::FirstYear, TCalendar::LastYear);
  FDateCaption = MakeLabel(QStringLiteral("&Datum"), DayEdit, this);

  TimePointsGroup = new QGroupBox(QStringLiteral("&Zeitpunkte"), this);
  FTimePoints = new QButtonGroup(this);
  const QStringList kinds = {QStringLiteral("Frequenz"),  QStringLiteral("Einmalig"),
                             QStringLiteral("Täglich"),   QStringLiteral("Wöchentlich"),
                             QStringLiteral("Monatlich"), QStringLiteral("Jährlich")};
  for (int i = 0; i < kinds.size(); ++i) {
    auto *radio = new QRadioButton(kinds.at(i), TimePointsGroup);
    FTimePoints->addButton(radio, i);
  }
  FTimePoints->button(0)->setChecked(true);
}

void TEditActionDlg::CreateActionControls() {
  // Bottom: start-up switch, action text with its aids, buttons.
  SuddenStartBox = new QCheckBox(QStringLiteral("Bei Programm&start"), this);
  SuddenStartBox->setToolTip(
      QStringLiteral("markiert: Diese Aktion wird bei Programmstart in jedem Fall ausgeführt.\r\n"
                     "sonst: Diese Aktion wird erst bei Erreichen des nächsten Termins "
                     "ausgeführt."));
  ActionEdit = new QLineEdit(this);
  const QString prefix(RandomChoicePrefix);
  ActionEdit->setToolTip(
      QStringLiteral("XXX..X : Text wird als Programmaufruf ausgeführt\r\n") + u'"' +
      QStringLiteral("XX..XX : Text wird angezeigt\r\n"
                     "%XX..XX : Interner Befehl\r\n"
                     "%XX..XX  ") +
      prefix + QStringLiteral("XX..X?X : Interner Befehl; \r\n") + QString(26, u' ') + u'\'' +
      prefix + QStringLiteral("' bedeutet zufällige Auswahl aus allen möglichen Dateien"));
  LimitActionLength(*ActionEdit);
  FActionLabel = MakeLabel(QStringLiteral("Auszu&führende Aktion"), ActionEdit, this);
  ActionEdit->installEventFilter(this);
  CommandBox = new QComboBox(this);
  CommandBox->setEditable(false);
  CommandBox->addItems(CommandBoxItems());
  CommandBox->setCurrentIndex(-1);
  CommandBox->setToolTip(QStringLiteral("Interne Kommandos"));
  OpenBtn = new QToolButton(this);
  OpenBtn->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  OpenBtn->setToolTip(QStringLiteral("Vorlage laden"));

  CancelBtn = new QPushButton(QStringLiteral("Abbruch"), this);
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setDefault(true);
  HelpBtn = new QPushButton(QStringLiteral("&Hilfe"), this);
}

void TEditActionDlg::ChainTabOrder() {
  // Tab order: time, interval, Alle, reset, day, month, year, kinds, calendar, start-up
  // switch, action, commands, open, Abbruch, OK, Hilfe.
  QList<QWidget *> chain = {TimeEdit, FreqEdit,  AllCallsBox, EraseLastTimeBtn,
                            DayEdit,  MonthEdit, YearEdit};
  for (QAbstractButton *radio : FTimePoints->buttons())
    chain.append(radio);
  chain.append({Calendar, SuddenStartBox, ActionEdit, CommandBox, OpenBtn});
  chain.append(RunControl->ActiveBox());
  for (int day = 0; day < 7; ++day)
    chain.append(RunControl->DayBox(day));
  chain.append({RunControl->WorkdaysBtn(), RunControl->LateBox(), RunControl->LateEdit(),
                RunControl->IfRunningBox(), RunControl->TimeLimitBox(), RunControl->TimeLimitEdit(),
                CancelBtn, OKBtn, HelpBtn});
  for (qsizetype i = 1; i < chain.size(); ++i)
    setTabOrder(chain.at(i - 1), chain.at(i));
}

void TEditActionDlg::ConnectHandlers() {
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(HelpBtn, &QPushButton::clicked, this, &TEditActionDlg::HelpBtnClick);
  connect(OpenBtn, &QToolButton::clicked, this, &TEditActionDlg::OpenBtnClick);
  connect(EraseLastTimeBtn, &QToolButton::clicked, this, &TEditActionDlg::EraseLastTimeBtnClick);
  connect(FTimePoints, &QButtonGroup::idClicked, this, &TEditActionDlg::TimePointsGroupClick);
  connect(TimeEdit, &TMaskTimeEdit::Change, this, [this] { TimeEditChange(TimeEdit); });
  connect(FreqEdit, &TMaskTimeEdit::Change, this, [this] { TimeEditChange(FreqEdit); });
  for (TRxSpinEdit *edit : {DayEdit, MonthEdit, YearEdit})
    connect(edit, &TRxSpinEdit::Change, this, &TEditActionDlg::DateEditChange);
  connect(Calendar, &TCalendar::Change, this, &TEditActionDlg::CalendarChange);
  // activated, not currentIndexChanged: only the user's pick writes into the text.
  connect(CommandBox, &QComboBox::activated, this, &TEditActionDlg::CommandBoxChange);
  connect(ActionEdit, &QLineEdit::textChanged, RunControl, &TRunControlBox::SetActionText);
  connect(RunControl, &TRunControlBox::WeekdaysChanged, this, &TEditActionDlg::UpdateDateLabel);
  connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
          &TEditActionDlg::HelpKeyPress);
}

void TEditActionDlg::Arrange() {
  // Left column: times, last run, date, kinds, start-up switch; right column: the calendar
  // and its date's text. The action line, its aids and the buttons run below both.
  auto *times = new QGridLayout;
  times->setContentsMargins(0, 0, 0, 0);
  times->setHorizontalSpacing(4);
  times->setVerticalSpacing(0);
  times->addWidget(FTimeLabel, 0, 0);
  times->addWidget(FreqEditLabel, 0, 1);
  times->addWidget(TimeEdit, 1, 0);
  times->addWidget(FreqEdit, 1, 1);
  times->addWidget(AllCallsBox, 1, 2);
  times->setColumnStretch(3, 1);

  EraseLastTimeBtn->setFixedSize(17, 17);
  auto *lastRun = new QHBoxLayout;
  lastRun->addWidget(EraseLastTimeBtn);
  lastRun->addWidget(LastTimeLabel, 1);

  auto *date = new QHBoxLayout;
  date->setSpacing(2);
  date->addWidget(FDateCaption);
  date->addSpacing(2);
  date->addWidget(DayEdit, 2);
  date->addWidget(MonthEdit, 2);
  date->addWidget(YearEdit, 3);

  // Two columns, read downwards: Frequenz, Einmalig, Täglich | Wöchentlich, ...
  auto *kinds = new QGridLayout(TimePointsGroup);
  kinds->setContentsMargins(3, 0, 3, 2);
  kinds->setHorizontalSpacing(4);
  kinds->setVerticalSpacing(0);
  const QList<QAbstractButton *> radios = FTimePoints->buttons();
  for (int i = 0; i < radios.size(); ++i)
    kinds->addWidget(radios.at(i), i % 3, i / 3);

  auto *left = new QVBoxLayout;
  left->setSpacing(3);
  left->addLayout(times);
  left->addWidget(EditLastTimeLabel);
  left->addLayout(lastRun);
  left->addLayout(date);
  // The kinds' box takes any height the calendar needs beyond the column's, so no gap opens
  // between the left column's lines.
  left->addWidget(TimePointsGroup, 1);
  left->addWidget(SuddenStartBox);

  auto *right = new QVBoxLayout;
  right->setSpacing(2);
  // Qt's calendar asks for wide margins around its cells; the classic one is 12 pixels
  // narrower and still shows every day whole.
  Calendar->setMinimumWidth(Calendar->minimumSizeHint().width() - 12);
  right->addWidget(Calendar, 1);
  right->addWidget(DateLabel);

  auto *columns = new QHBoxLayout;
  columns->setSpacing(4);
  columns->addLayout(left, 0);
  columns->addLayout(right, 1);

  auto *action = new QHBoxLayout;
  action->setSpacing(4);
  action->addWidget(ActionEdit, 1);
  action->addWidget(CommandBox);
  action->addWidget(OpenBtn);

  auto *buttons = new QHBoxLayout;
  buttons->setSpacing(6);
  buttons->addStretch(1);
  for (QPushButton *button : {OKBtn, CancelBtn, HelpBtn}) {
    button->setMinimumWidth(76);
    buttons->addWidget(button);
  }

  FLayout = new QVBoxLayout(this);
  FLayout->setContentsMargins(6, 6, 6, 6);
  FLayout->setSpacing(4);
  FLayout->addLayout(columns, 1);
  FLayout->addWidget(FActionLabel);
  FLayout->addLayout(action);
  FLayout->addWidget(RunControl);
  FLayout->addLayout(buttons);
}

void TEditActionDlg::FitStartSize() {
  // The classic dialog is 418 × 318, 40 pixels lower without the last-run line, with the run
  // controls' band below; a larger font or a wider text makes it as large as its controls need.
  FLayout->activate();
  const int runBand = RunControl->sizeHint().height() + FLayout->spacing();
  resize(StartingSize(this, QSize(418, (FLastRunVisible ? 318 : 278) + runBand)));
  // Placed now, not at the first show: the dialog's size and places hold from the start.
  FLayout->invalidate();
  FLayout->activate();
}

int TEditActionDlg::TimePointIndex() const {
  const int id = FTimePoints->checkedId();
  return id < 0 ? 0 : id;
}

void TEditActionDlg::SetTimePointIndex(int index) {
  if (QAbstractButton *button = FTimePoints->button(index))
    button->setChecked(true);
  TimePointsGroupClick();
}

void TEditActionDlg::SetLastRunVisible(bool visible) {
  EditLastTimeLabel->setVisible(visible);
  EraseLastTimeBtn->setVisible(visible);
  LastTimeLabel->setVisible(visible);
  FLastRunVisible = visible;
  FitStartSize();
}

void TEditActionDlg::UpdateDateLabel() {
  DateLabel->setText(TimePointText(static_cast<TTimePoint>(TimePointIndex()),
                                   Calendar->CalendarDate(),
                                   RunControl ? RunControl->Weekdays() : AllWeekdays));
}

void TEditActionDlg::FormShow() {
  TimePointsGroupClick();
}

void TEditActionDlg::TimePointsGroupClick() {
  const bool frequency = TimePointIndex() == tpFrequency;
  FreqEdit->setVisible(frequency);
  FreqEditLabel->setVisible(FreqEdit->isVisibleTo(this));
  AllCallsBox->setVisible(FreqEdit->isVisibleTo(this));
  RunControl->SetTimePoint(TimePointIndex());
  UpdateDateLabel();
}

void TEditActionDlg::DateEditChange() {
  // Writing the calendar fires CalendarChange, which writes the spin edits back; those
  // nested changes are not new input and must not start this handler again.
  if (FCalendarWriting)
    return;
  Calendar->SetDateParts(YearEdit->Value(), MonthEdit->Value(), DayEdit->Value());
  // Also when the calendar kept its date (the 31st typed into a 30-day month that it already
  // showed on the 30th): the fields show the date it holds.
  CalendarChange();
}

void TEditActionDlg::CalendarChange() {
  const bool wasWriting = FCalendarWriting;
  FCalendarWriting = true;
  YearEdit->SetValue(Calendar->Year());
  MonthEdit->SetValue(Calendar->Month());
  DayEdit->SetValue(Calendar->Day());
  FCalendarWriting = wasWriting;
  UpdateDateLabel();
}

void TEditActionDlg::TimeEditChange(TMaskTimeEdit *field) {
  // Each correction is a change again; CorrectTimeField repeats the check itself, so the
  // nested change events are ignored.
  if (FCorrectingTime)
    return;
  FCorrectingTime = true;
  CorrectTimeField(*field, true);
  FCorrectingTime = false;
}

bool TEditActionDlg::eventFilter(QObject *watched, QEvent *event) {
  // A line edit drops its selection when the focus moves to the command list; keep it, so
  // that a placeholder still replaces what the user had selected.
  if (watched == ActionEdit && event->type() == QEvent::FocusOut) {
    FSavedText = ActionEdit->text();
    FSavedSelStart =
        ActionEdit->hasSelectedText() ? ActionEdit->selectionStart() : ActionEdit->cursorPosition();
    FSavedSelLength = ActionEdit->hasSelectedText() ? int(ActionEdit->selectedText().size()) : 0;
    FSavedSelection = true;
  }
  return QDialog::eventFilter(watched, event);
}

void TEditActionDlg::CommandBoxChange(int index) {
  if (index < 0 || index >= CommandBoxItems().size())
    return;
  const QString text = ActionEdit->text();
  int selStart = ActionEdit->cursorPosition();
  int selLength = 0;
  if (ActionEdit->hasSelectedText()) {
    selStart = ActionEdit->selectionStart();
    selLength = int(ActionEdit->selectedText().size());
  } else if (!ActionEdit->hasFocus() && FSavedSelection && FSavedText == text) {
    selStart = FSavedSelStart;
    selLength = FSavedSelLength;
  }
  int caret = 0;
  const QString result = CommandBoxText(text, index, selStart, selLength, &caret);
  ActionEdit->setText(result);
  ActionEdit->setCursorPosition(caret);
  FSavedSelection = false;
  if (isVisible())
    ActionEdit->setFocus(Qt::OtherFocusReason);
}

void TEditActionDlg::OpenBtnClick() {
  const QString path = ChooseProgramFile ? ChooseProgramFile() : QString();
  if (path.isEmpty())
    return;
  // Unquoted also with blanks: a leading quote makes the action a message, and the program
  // start finds a path with blanks by itself.
  ActionEdit->setText(path);
}

void TEditActionDlg::EraseLastTimeBtnClick() {
  LastTimeLabel->setText(
      DateTimeText(ComposeDateTime(Calendar->CalendarDate(), TimeFieldValue(*TimeEdit))));
}

void TEditActionDlg::HelpBtnClick() {
  if (ShowHelp)
    ShowHelp(HelpContext);
}

void TEditActionDlg::HelpKeyPress() {
  const int topic = RunControl->HelpTopicOf(focusWidget());
  if (ShowHelp)
    ShowHelp(topic != 0 ? topic : HelpContext);
}

bool TEditActionDlg::CheckInput() {
  // A number still being typed into a date field counts as typed: the date shown is saved.
  for (TRxSpinEdit *edit : {YearEdit, MonthEdit, DayEdit})
    edit->interpretText();
  const auto refuse = [this](QWidget *field, const QString &text) {
    if (ShowInputError)
      ShowInputError(text);
    field->setFocus(Qt::OtherFocusReason);
    return false;
  };
  if (TimePointIndex() == tpFrequency && TimeFieldValue(*FreqEdit) == 0)
    return refuse(FreqEdit, QStringLiteral("Bei „Frequenz“ muss der Abstand länger als "
                                           "00:00:00 sein, sonst wird die Aktion nie ausgeführt."));
  const QString action = ActionEdit->text();
  if (action.trimmed().isEmpty())
    return refuse(ActionEdit, QStringLiteral("Bitte geben Sie die auszuführende Aktion ein."));
  if (const int length = ActionTextLength(action); length > MaxActionLength)
    return refuse(ActionEdit, QStringLiteral("Die Aktion ist %1 Zeichen lang; erlaubt sind "
                                             "höchstens %2 Zeichen.")
                                  .arg(length)
                                  .arg(MaxActionLength));
  QWidget *runField = nullptr;
  if (const QString why = RunControl->CheckInput(&runField); !why.isEmpty())
    return refuse(runField, why);
  return true;
}

void TEditActionDlg::done(int result) {
  if (result == QDialog::Accepted && !CheckInput())
    return;
  QDialog::done(result);
}

void TEditActionDlg::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  FormShow();
  OKBtn->setFocus();
}
