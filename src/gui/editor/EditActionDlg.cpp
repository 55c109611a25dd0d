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
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
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
  // Fixed places, 418 pixels wide. The last-run line takes a band of its own below the time
  // fields; without it everything below moves up and the dialog is that much lower.
  constexpr int lastRunBand = 40;
  const int up = FLastRunVisible ? 0 : lastRunBand;
  FTimeLabel->setGeometry(8, 6, 74, 16);
  TimeEdit->setGeometry(8, 22, 74, 22);
  FreqEditLabel->setGeometry(88, 6, 74, 16);
  FreqEdit->setGeometry(88, 22, 74, 22);
  AllCallsBox->setGeometry(166, 24, 46, 18);
  EditLastTimeLabel->setGeometry(8, 50, 204, 16);
  EraseLastTimeBtn->setGeometry(8, 68, 17, 17);
  LastTimeLabel->setGeometry(30, 68, 182, 17);
  // The caption and the radio buttons are as wide as their texts in the desktop's font.
  const int caption = FDateCaption->sizeHint().width();
  FDateCaption->setGeometry(8, 96 - up, caption, 16);
  const int day = 8 + caption + 4;
  const int spin = (212 - day - 4) * 2 / 7; // day and month; the year gets the rest
  DayEdit->setGeometry(day, 93 - up, spin, 22);
  MonthEdit->setGeometry(day + spin + 2, 93 - up, spin, 22);
  YearEdit->setGeometry(day + 2 * spin + 4, 93 - up, 212 - (day + 2 * spin + 4), 22);
  TimePointsGroup->setGeometry(8, 120 - up, 204, 84);
  // Two columns, read downwards: Frequenz, Einmalig, Täglich | Wöchentlich, ...
  const QList<QAbstractButton *> radios = FTimePoints->buttons();
  int firstColumn = 0;
  for (int i = 0; i < 3 && i < radios.size(); ++i)
    firstColumn = std::max(firstColumn, radios.at(i)->sizeHint().width());
  for (int i = 0; i < radios.size(); ++i) {
    QAbstractButton *radio = radios.at(i);
    const int x = i < 3 ? 8 : 8 + firstColumn + 6;
    const int width = i < 3 ? firstColumn : std::max(radio->sizeHint().width(), 196 - x);
    radio->setGeometry(x, 21 + (i % 3) * 20, width, 19);
  }
  SuddenStartBox->setGeometry(8, 210 - up, 204, 18);
  // The calendar takes the height of the left column, so both end on one line.
  const int bottom = SuddenStartBox->geometry().bottom();
  DateLabel->setGeometry(216, bottom - 17, 194, 18);
  Calendar->setGeometry(216, 6, 194, DateLabel->y() - 8);
  const int top = bottom + 5;
  FActionLabel->setGeometry(8, top, 204, 16);
  ActionEdit->setGeometry(8, top + 16, 278, 23);
  CommandBox->setGeometry(290, top + 16, 94, 23);
  OpenBtn->setGeometry(388, top + 16, 23, 23);
  // The run controls take a band of their own below the action line.
  const int runBand = RunControl->sizeHint().height() + 5;
  RunControl->setGeometry(8, top + 44, 402, runBand - 5);
  const int buttons = top + 52 + runBand;
  OKBtn->setGeometry(170, buttons, 76, 26);
  CancelBtn->setGeometry(252, buttons, 76, 26);
  HelpBtn->setGeometry(334, buttons, 76, 26);
  setFixedSize(418, buttons + 34);
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
  Arrange();
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
    return refuse(FreqEdit, QStringLiteral("Bei \"Frequenz\" muss der Abstand länger als "
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
