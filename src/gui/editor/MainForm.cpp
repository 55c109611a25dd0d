// The editor window: grid rows, the dialog round trips, the clock and the action-list files.
#include "gui/editor/MainForm.h"

#include "base/Errors.h"
#include "core/InstanceLock.h"
#include "core/Scheduler.h"
#include "gui/editor/ActionFileDialog.h"
#include "gui/editor/EditActionDlg.h"
#include "gui/editor/EditRules.h"
#include "gui/editor/HelpViewer.h"
#include "gui/editor/HistoryForm.h"
#include "gui/moon/Moon.h"
#include "gui/moon/MoonForm.h"
#include "gui/widgets/Application.h"
#include "gui/widgets/Calendar.h"
#include "gui/widgets/StringAlignGrid.h"
#include "gui/widgets/TimeEdit.h"
#include "platform/Clock.h"
#include "storage/ActionListFile.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace {

const QString ConfirmCaption = QStringLiteral("Bestätigen");
constexpr int ClientWidth = 588;
constexpr int ClientHeight = 362;
constexpr int PanelWidth = 97;
constexpr int TimePointWidth = 78;
constexpr int TimeWidth = 80;
constexpr int ActionWidth = 324;
// What a grid cell needs beside its text: the item's margins and the grid line.
constexpr int CellMargins = 10;

// hh:mm:ss of a value's time of day.
QString ClockText(TDateTime value) {
  return MsToTimeText(DateTimeToTimeStamp(value).Time);
}

QToolButton *GlyphButton(QWidget *parent, QStyle::StandardPixmap glyph, const QString &hint) {
  auto *button = new QToolButton(parent);
  button->setIcon(parent->style()->standardIcon(glyph));
  button->setToolTip(hint);
  button->setAutoRaise(false);
  return button;
}

} // namespace

TMainForm::TMainForm(QWidget *parent) : QDialog(parent) {
  MessageBox = [this](QMessageBox::Icon icon, const QString &text,
                      QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, ConfirmCaption, text, buttons, this);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  };
  ExecEditDialog = [](TEditActionDlg &dialog) { return dialog.exec(); };
  ChooseFile = [this](bool save, const QString &title, const QString &preset) {
    return ChooseActionFile(this, save, title, preset);
  };
  ShowHelp = [this](int topic) { ShowHelpTopic(topic, this); };
  ShowBigMoon = [this] {
    TLunaForm form(this);
    form.exec();
  };
  Now = [] { return ::Now(); };
  OnError = [](const std::exception &error) { ReportAppException(error); };
  ShowInputError = [this](const QString &text) {
    QMessageBox::warning(this, ApplicationTitle, text);
  };
  ExecHistory = [](THistoryForm &form) { form.exec(); };
  BuildControls();
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildControls() {
  setFont(DesktopFont(13));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setMinimumSize(ClientWidth - 120, 330);

  ActionsGrid = new TStringAlignGrid(this);
  ActionsGrid->SetColCount(4);
  ActionsGrid->SetRowCount(2);
  ActionsGrid->SetColWidth(ColAction, ActionWidth);
  ActionsGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  ActionsGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  ActionsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ActionsGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ActionsGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ActionsGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  ActionsGrid->horizontalHeader()->setStretchLastSection(false);

  ButtonPanel = new QWidget(this);
  ButtonPanel->setFixedWidth(PanelWidth);
  ButtonPanel->installEventFilter(this);

  TimeLabel = new QLabel(QStringLiteral("00:00:00"), ButtonPanel);
  DateLabel = new QLabel(QStringLiteral("000"), ButtonPanel);
  Moon = new TMoon(ButtonPanel);
  Moon->SetMoonSize(ms32);
  Moon->setToolTip(QStringLiteral("Der Mond in groß"));
  Moon->installEventFilter(this);
  Label1 = new QLabel(QStringLiteral("&Intervall"), ButtonPanel);
  TimerEdit = new TMaskTimeEdit(ButtonPanel);
  TimerEdit->setToolTip(QStringLiteral("Aktualisierungsintervall"));
  TimerEdit->DeleteKeyEnabled = false;
  Label1->setBuddy(TimerEdit);

  NewBtn = GlyphButton(ButtonPanel, QStyle::SP_FileIcon, QStringLiteral("Neue Aktion erstellen"));
  EditBtn = GlyphButton(ButtonPanel, QStyle::SP_FileDialogDetailedView,
                        QStringLiteral("Aktion bearbeiten"));
  DeleteBtn = GlyphButton(ButtonPanel, QStyle::SP_TrashIcon, QStringLiteral("Aktion löschen"));
  DeleteAllBtn = new QPushButton(QStringLiteral("&Alle löschen"), ButtonPanel);
  DeleteAllBtn->setToolTip(QStringLiteral("Alle Aktionen löschen"));
  OpenBtn = GlyphButton(ButtonPanel, QStyle::SP_DialogOpenButton,
                        QStringLiteral("Aktionenliste hinzuladen"));
  SaveBtn = GlyphButton(ButtonPanel, QStyle::SP_DialogSaveButton,
                        QStringLiteral("Aktionenlisten sichern;\r\nWird bei \"Ok\" automatisch "
                                       "durchgeführt."));
  SaveAsBtn = GlyphButton(ButtonPanel, QStyle::SP_DriveFDIcon,
                          QStringLiteral("Aktionenliste sichern unter"));
  RunNowBtn = GlyphButton(ButtonPanel, QStyle::SP_MediaPlay, QStringLiteral("Jetzt ausführen"));
  HistoryBtn =
      GlyphButton(ButtonPanel, QStyle::SP_FileDialogContentsView, QStringLiteral("Verlauf"));
  OKBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"),
                          ButtonPanel);
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              QStringLiteral("Abbruch"), ButtonPanel);
  HelpBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogHelpButton),
                            QStringLiteral("&Hilfe"), ButtonPanel);

  // The panel, top to bottom: clock, moon, interval, the action and file buttons, the
  // dialog buttons at the foot.
  constexpr int inner = PanelWidth - 8;
  TimeLabel->setGeometry(4, 4, inner, 16);
  DateLabel->setGeometry(4, 20, inner, 16);
  TimeLabel->setAlignment(Qt::AlignHCenter);
  DateLabel->setAlignment(Qt::AlignHCenter);
  Moon->move((PanelWidth - 32) / 2, 40);
  Label1->setGeometry(4, 78, inner, 16);
  TimerEdit->setGeometry(4, 94, inner, 22);
  NewBtn->setGeometry(4, 124, 27, 25);
  EditBtn->setGeometry(35, 124, 27, 25);
  DeleteBtn->setGeometry(66, 124, 27, 25);
  DeleteAllBtn->setGeometry(4, 153, inner, 25);
  OpenBtn->setGeometry(4, 186, 27, 25);
  SaveBtn->setGeometry(35, 186, 27, 25);
  SaveAsBtn->setGeometry(66, 186, 27, 25);
  RunNowBtn->setGeometry(4, 215, 27, 25);
  HistoryBtn->setGeometry(35, 215, 27, 25);
  for (QToolButton *button :
       {NewBtn, EditBtn, DeleteBtn, OpenBtn, SaveBtn, SaveAsBtn, RunNowBtn, HistoryBtn})
    button->setIconSize(QSize(16, 16));

  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ActionsGrid, 1);
  layout->addWidget(ButtonPanel);

  QWidget::setTabOrder(TimerEdit, NewBtn);
  QWidget::setTabOrder(NewBtn, EditBtn);
  QWidget::setTabOrder(EditBtn, DeleteBtn);
  QWidget::setTabOrder(DeleteBtn, DeleteAllBtn);
  QWidget::setTabOrder(DeleteAllBtn, OpenBtn);
  QWidget::setTabOrder(OpenBtn, SaveBtn);
  QWidget::setTabOrder(SaveBtn, SaveAsBtn);
  QWidget::setTabOrder(SaveAsBtn, RunNowBtn);
  QWidget::setTabOrder(RunNowBtn, HistoryBtn);
  QWidget::setTabOrder(HistoryBtn, OKBtn);
  QWidget::setTabOrder(OKBtn, CancelBtn);
  QWidget::setTabOrder(CancelBtn, HelpBtn);

  Timer = new QTimer(this);
  Timer->setInterval(100);

  const auto guard = [this](void (TMainForm::*handler)()) {
    return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
  };
  connect(Timer, &QTimer::timeout, this, guard(&TMainForm::TimerTimer));
  connect(NewBtn, &QToolButton::clicked, this, guard(&TMainForm::NewBtnClick));
  connect(EditBtn, &QToolButton::clicked, this, guard(&TMainForm::EditBtnClick));
  connect(DeleteBtn, &QToolButton::clicked, this, guard(&TMainForm::DeleteBtnClick));
  connect(DeleteAllBtn, &QPushButton::clicked, this, guard(&TMainForm::DeleteAllBtnClick));
  connect(OpenBtn, &QToolButton::clicked, this, guard(&TMainForm::OpenBtnClick));
  connect(SaveBtn, &QToolButton::clicked, this, guard(&TMainForm::SaveBtnClick));
  connect(SaveAsBtn, &QToolButton::clicked, this, guard(&TMainForm::SaveAsBtnClick));
  connect(RunNowBtn, &QToolButton::clicked, this, guard(&TMainForm::RunNowBtnClick));
  connect(HistoryBtn, &QToolButton::clicked, this, guard(&TMainForm::HistoryBtnClick));
  RowMenu = new QMenu(this);
  RunNowItem = RowMenu->addAction(QStringLiteral("&Jetzt ausführen"));
  EditItem = RowMenu->addAction(QStringLiteral("&Bearbeiten..."));
  HistoryItem = RowMenu->addAction(QStringLiteral("&Verlauf..."));
  connect(RunNowItem, &QAction::triggered, this, guard(&TMainForm::RunNowBtnClick));
  connect(EditItem, &QAction::triggered, this, guard(&TMainForm::EditBtnClick));
  connect(HistoryItem, &QAction::triggered, this, guard(&TMainForm::HistoryBtnClick));
  ActionsGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ActionsGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
    const QModelIndex cell = ActionsGrid->indexAt(at);
    if (!cell.isValid())
      return;
    ActionsGrid->SetRow(cell.row() + 1);
    const bool entry = RowEntry(cell.row() + 1) != nullptr;
    RunNowItem->setEnabled(entry && RunNow);
    HistoryItem->setEnabled(entry);
    RowMenu->popup(ActionsGrid->viewport()->mapToGlobal(at));
  });
  connect(HelpBtn, &QPushButton::clicked, this, guard(&TMainForm::HelpBtnClick));
  connect(ActionsGrid, &TStringAlignGrid::DblClick, this, guard(&TMainForm::ActionsGridDblClick));
  connect(ActionsGrid, &TStringAlignGrid::KeyUp, this, [this](int key, Qt::KeyboardModifiers) {
    Guarded([this, key] { ActionsGridKeyUp(key); });
  });
  connect(TimerEdit, &TMaskTimeEdit::Change, this, guard(&TMainForm::TimerEditChange));
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  // The classic three headers are written when the window is shown.
  ActionsGrid->SetCell(ColNextRun, 0, QStringLiteral("Nächste Ausführung"));
  TimerEdit->SetText(MsToTimeText(1000));
  FitColumns();
}

void TMainForm::FitColumns() {
  const QFontMetrics metrics = ActionsGrid->fontMetrics();
  const auto widest = [&metrics](const QStringList &texts) {
    int width = 0;
    for (const QString &text : texts)
      width = std::max(width, metrics.horizontalAdvance(text));
    return width + CellMargins;
  };
  // Every text the first column can show: the kinds' names, a date, the longest day of the
  // month, and each weekday and month name of the locale.
  const TDateTime sunday = EncodeDate(2028, 1, 2);
  QStringList timePoints = {TimePointText(tpFrequency, sunday), TimePointText(tpDaily, sunday),
                            TimePointText(tpOnce, EncodeDate(2028, 12, 28)),
                            TimePointText(tpMonthly, EncodeDate(2028, 12, 28))};
  for (int day = 0; day < 7; ++day)
    timePoints.append(TimePointText(tpWeekly, sunday + day));
  for (int month = 1; month <= 12; ++month)
    timePoints.append(TimePointText(tpYearly, EncodeDate(2028, month, 1)));
  const TDateTime late = EncodeDate(2028, 12, 28) + EncodeTime(23, 58, 58, 0);
  // The classic columns keep their widths unless the desktop's font needs more; our fourth
  // column is as wide as its header and a date-time. The window is wider by what this adds,
  // so the action column keeps its room.
  const int timePointWidth = std::max(TimePointWidth, widest(timePoints));
  const int timeWidth = std::max(TimeWidth, widest({TimeText(late)}));
  const int nextRunWidth = std::max(ActionsGrid->horizontalHeader()->sectionSizeHint(ColNextRun),
                                    widest({DateTimeText(late)}));
  ActionsGrid->SetColWidth(ColTimePoint, timePointWidth);
  ActionsGrid->SetColWidth(ColTime, timeWidth);
  ActionsGrid->SetColWidth(ColNextRun, nextRunWidth);
  resize(ClientWidth + (timePointWidth - TimePointWidth) + (timeWidth - TimeWidth) + nextRunWidth,
         ClientHeight);
}

void TMainForm::Guarded(const std::function<void()> &handler) {
  try {
    handler();
  } catch (const std::exception &error) {
    if (OnError)
      OnError(error);
  }
}

TMainForm::TRowEntryPtr TMainForm::RowEntry(int row) const {
  if (row < 1 || row >= ActionsGrid->RowCount())
    return nullptr;
  return ActionsGrid->Objects(ColTime, row).value<TRowEntryPtr>();
}

void TMainForm::SetRowEntry(int row, const TRowEntryPtr &entry) {
  ActionsGrid->SetObject(ColTime, row, entry ? QVariant::fromValue(entry) : QVariant());
}

void TMainForm::ShowRow(int row) {
  const TRowEntryPtr entry = RowEntry(row);
  if (!entry)
    return;
  const TActionEntry &e = entry->Row.Entry;
  ActionsGrid->SetCell(ColTime, row, TimeText(e.FirstDate));
  ActionsGrid->SetCell(ColTimePoint, row, TimePointText(e.TimePoint, e.FirstDate));
  ActionsGrid->SetCell(ColAction, row, e.Action);
  ShowNextRun(row, Now());
  ShowMark(row);
}

void TMainForm::ShowNextRun(int row, TDateTime now) {
  const TRowEntryPtr entry = RowEntry(row);
  const TDateTime next = entry ? TScheduler::NextDuePoint(entry->Row.Entry, now) : 0;
  // A dash for an entry that will not run again by time.
  ActionsGrid->SetCell(ColNextRun, row,
                       !entry      ? QString()
                       : next == 0 ? QStringLiteral("–")
                                   : DateTimeText(next));
}

void TMainForm::LoadSession(const TEditorSession &session) {
  ActionsGrid->SetRowCount(1); // drops whatever rows were there
  ActionsGrid->SetRowCount(std::max<int>(2, static_cast<int>(session.Copies.size()) + 1));
  for (int i = 0; i < static_cast<int>(session.Copies.size()); ++i) {
    auto entry = std::make_shared<TRowEntry>();
    entry->Row.Entry = session.Copies[static_cast<std::size_t>(i)];
    entry->Row.Origin = i;
    if (static_cast<std::size_t>(i) < session.JournalIds.size())
      entry->Row.JournalId = session.JournalIds[static_cast<std::size_t>(i)];
    SetRowEntry(i + 1, entry);
  }
  Journal = session.Journal;
  RunNow = session.RunNow;
  RunByAnother = session.RunByAnother;
  for (int row = 1; row < ActionsGrid->RowCount(); ++row)
    ShowRow(row);
  ConfigFileName = session.ConfigFileName;
  TimerEdit->SetText(MsToTimeText(static_cast<std::int64_t>(session.IntervalMs)));
}

std::vector<TEditorRow> TMainForm::Rows() const {
  std::vector<TEditorRow> rows;
  for (int row = 1; row < ActionsGrid->RowCount(); ++row)
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

std::int64_t TMainForm::IntervalMs() const {
  return TimeTextToMs(TimerEdit->Text());
}

void TMainForm::UpdateCaption() {
  setWindowTitle(ApplicationTitle + QStringLiteral(" -- ") + ConfigFileName);
}

void TMainForm::ClearActions() {
  ActionsGrid->SetRowCount(2);
  ActionsGrid->ClearRow(1);
  ShowMarks();
  Modified = true;
}

void TMainForm::ShowClock() {
  const TDateTime now = Now();
  TimeLabel->setText(TimeText(TimeOf(now)));
  // The moon shows the day at midnight: worked out again only when the day changes.
  if (Moon->Date() != DateOf(now))
    Moon->SetDate(DateOf(now));
  DateLabel->setText(DateText(Moon->Date()));
  // The next runs change at most once a second.
  const QString second = TimeLabel->text();
  if (second != FClockSecond) {
    FClockSecond = second;
    // Results arrive with the ticks, so the marks follow once a second too.
    for (int row = 1; row < ActionsGrid->RowCount(); ++row) {
      ShowNextRun(row, now);
      ShowMark(row);
    }
  }
}

void TMainForm::FormShow() {
  FClockSecond.clear();
  ShowClock();
  ActionsGrid->SetDefaultRowHeight(QFontMetrics(ActionsGrid->font()).height() + 6);
  ActionsGrid->SetCell(ColTimePoint, 0, QStringLiteral("Datum"));
  ActionsGrid->SetCell(ColTime, 0, QStringLiteral("Zeitpunkt"));
  ActionsGrid->SetCell(ColAction, 0, QStringLiteral("Vorgang"));
  UpdateCaption();
  raise();
  activateWindow();
  OKBtn->setFocus();
  Timer->start();
  FormResize();
  Modified = false;
}

void TMainForm::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  Guarded([this] { FormShow(); });
}

void TMainForm::FormResize() {
  // Our fourth column keeps its width; the action column takes what is left.
  const int width = ActionsGrid->ClientWidth() - 4 * ActionsGrid->GridLineWidth() -
                    ActionsGrid->ColWidths(ColTimePoint) - ActionsGrid->ColWidths(ColTime) -
                    ActionsGrid->ColWidths(ColNextRun);
  if (width > 0)
    ActionsGrid->SetColWidth(ColAction, width);
}

void TMainForm::resizeEvent(QResizeEvent *event) {
  QDialog::resizeEvent(event);
  // The grid's client width follows the layout, which settles after this event.
  QTimer::singleShot(0, this, [this] { FormResize(); });
}

void TMainForm::TimerTimer() {
  ShowClock();
}

void TMainForm::NewBtnClick() {
  TEditActionDlg dialog(this);
  dialog.SetLastRunVisible(false);
  const TDateTime now = Now();
  const TTimeParts t = DecodeTime(now);
  // Numbers without leading zeros: the field aligns them itself.
  dialog.TimeEdit->SetText(QStringLiteral("%1:%2:%3").arg(t.Hour).arg(t.Minute).arg(t.Second));
  dialog.Calendar->SetCalendarDate(DateOf(now));
  dialog.SetTimePointIndex(tpFrequency);
  dialog.ActionEdit->clear();
  if (ExecEditDialog(dialog) != QDialog::Accepted)
    return;

  int row = 1;
  while (row < ActionsGrid->RowCount() && RowEntry(row))
    ++row;
  if (row == ActionsGrid->RowCount())
    ActionsGrid->SetRowCount(row + 1);

  const auto kind = static_cast<TTimePoint>(dialog.TimePointIndex());
  auto entry = std::make_shared<TRowEntry>();
  TActionEntry &e = entry->Row.Entry;
  e = NewActionEntry(
      kind, ComposeDateTime(dialog.Calendar->CalendarDate(), TimeFieldValue(*dialog.TimeEdit)),
      dialog.ActionEdit->text());
  if (kind == tpFrequency)
    e.Freq = TimeFieldValue(*dialog.FreqEdit);
  e.AllCalls = dialog.AllCallsBox->isChecked();
  e.SuddenStart = dialog.SuddenStartBox->isChecked();
  SetRowEntry(row, entry);
  ShowRow(row);
  Modified = true;
}

void TMainForm::EditBtnClick() {
  if (ActionsGrid->RowCount() > 1 && ActionsGrid->Row() >= 1)
    ActionsGridDblClick();
}

void TMainForm::ActionsGridDblClick() {
  const int row = ActionsGrid->Row();
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
  if (ExecEditDialog(dialog) != QDialog::Accepted)
    return;

  e.FirstDate = ComposeDateTime(dialog.Calendar->CalendarDate(), TimeFieldValue(*dialog.TimeEdit));
  // The label holds whole seconds only: reading it back unchanged would move the recorded
  // run, so only a reset or another text is taken over.
  const QString lastRun = dialog.LastTimeLabel->text();
  if (lastRun != entry->ShownLastRun) {
    e.LastDate = StrToDateTime(lastRun);
    entry->Row.LastDateChanged = true;
  }
  e.Freq = TimeFieldValue(*dialog.FreqEdit);
  e.AllCalls = dialog.AllCallsBox->isChecked();
  e.SuddenStart = dialog.SuddenStartBox->isChecked();
  e.TimePoint = static_cast<TTimePoint>(dialog.TimePointIndex());
  e.Action = dialog.ActionEdit->text();
  ShowRow(row);
  Modified = true;
}

bool TMainForm::Ask(const QString &text, QMessageBox::Icon icon,
                    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton yes) {
  return MessageBox(icon, text, buttons) == yes;
}

void TMainForm::DeleteBtnClick() {
  const int row = ActionsGrid->Row();
  if (!RowEntry(row))
    return;
  if (!Ask(QStringLiteral("Wollen Sie die ausgewählte Aktion wirklich löschen ?"),
           QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok))
    return;
  if (ActionsGrid->RowCount() > 2) {
    for (int r = row; r < ActionsGrid->RowCount() - 1; ++r)
      ActionsGrid->CopyRow(r + 1, r);
    ActionsGrid->SetRowCount(ActionsGrid->RowCount() - 1);
  } else {
    ActionsGrid->ClearRow(row);
  }
  ShowMarks();
  Modified = true;
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

void TMainForm::TimerEditChange() {
  // Writing a correction is a change again; the outer call repeats the check until the
  // minutes and seconds are in range.
  if (FCorrecting)
    return;
  FCorrecting = true;
  CorrectTimeField(*TimerEdit, false);
  FCorrecting = false;
  Modified = true;
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event) {
  if (watched == Moon && event->type() == QEvent::MouseButtonDblClick) {
    Guarded([this] { MoonDblClick(); });
    return true;
  }
  if (watched == ButtonPanel && event->type() == QEvent::Resize) {
    // The dialog buttons stand at the foot of the panel.
    const int y = ButtonPanel->height();
    HelpBtn->setGeometry(4, y - 29, PanelWidth - 8, 25);
    CancelBtn->setGeometry(4, y - 58, PanelWidth - 8, 25);
    OKBtn->setGeometry(4, y - 87, PanelWidth - 8, 25);
  }
  return QDialog::eventFilter(watched, event);
}

void TMainForm::MoonDblClick() {
  if (ShowBigMoon)
    ShowBigMoon();
}

void TMainForm::HelpBtnClick() {
  if (ShowHelp)
    ShowHelp(HelpContext);
}

bool TMainForm::CheckInput() {
  try {
    IntervalMs();
  } catch (const EConvertError &) {
    if (ShowInputError)
      ShowInputError(QStringLiteral("Das Intervall \"%1\" ist keine Zeit der Form "
                                    "Stunden:Minuten:Sekunden.")
                         .arg(TimerEdit->Text()));
    TimerEdit->setFocus(Qt::OtherFocusReason);
    return false;
  }
  return true;
}

void TMainForm::done(int result) {
  // OK takes the values here, while the window is still open: one that cannot be taken
  // keeps it open, with every change still in it.
  if (result == QDialog::Accepted && !CheckInput())
    return;
  // Cancel, Esc and the close box all end here; OK never asks.
  if (result != QDialog::Accepted && Modified &&
      !Ask(QStringLiteral("Wollen Sie wirklich alle Änderungen verwerfen ?"), QMessageBox::Question,
           QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes))
    return;
  Timer->stop();
  QDialog::done(result);
}

void TMainForm::AppendActionFile(const QString &fileName) {
  const TActionListContents contents = ReadActionListFile(fileName);
  // What the file held that no entry may hold has been replaced; the user learns which.
  if (!contents.Report.IsEmpty())
    MessageBox(QMessageBox::Warning, contents.Report.Header() + u'\n' + contents.Report.Text(),
               QMessageBox::Ok);
  TimerEdit->SetText(MsToTimeText(contents.IntervalMs));
  const int count = static_cast<int>(contents.Entries.size());
  if (count <= 0)
    return;
  int rows = ActionsGrid->RowCount();
  // A grid showing only the placeholder row: its row is filled by the first new entry. The
  // row is asked for its entry rather than for its text, since an entry of an unknown kind
  // shows an empty time-point text and must not be overwritten.
  if (!RowEntry(1))
    --rows;
  ActionsGrid->SetRowCount(rows + count);
  for (int n = 1; n <= count; ++n) {
    auto entry = std::make_shared<TRowEntry>();
    entry->Row.Entry = contents.Entries[static_cast<std::size_t>(n - 1)];
    SetRowEntry(rows - 1 + n, entry);
    ShowRow(rows - 1 + n);
  }
}

bool TMainForm::SaveActionFile(const QString &fileName) {
  // That scheduler would write its own list over ours when it ends, and the edit were lost.
  if (RunByAnother && RunByAnother(fileName)) {
    MessageBox(QMessageBox::Warning, NotSavedForAnotherSchedulerText(fileName), QMessageBox::Ok);
    return false;
  }
  WriteActionListFile(fileName, TimeTextToMs(TimerEdit->Text()), Entries());
  return true;
}

void TMainForm::OpenBtnClick() {
  const QString file = ChooseFile(false, QStringLiteral("Aktionen laden"), QString());
  if (file.isEmpty())
    return;
  AppendActionFile(file);
  // The file becomes the configuration only with OK; Abbruch asks, as after any change.
  ConfigFileName = file;
  UpdateCaption();
  Modified = true;
}

void TMainForm::SaveAsBtnClick() {
  const QString file = ChooseFile(true, QStringLiteral("Aktionen sichern"), ConfigFileName);
  if (file.isEmpty() || !SaveActionFile(file))
    return;
  ConfigFileName = file;
  UpdateCaption();
  Modified = true;
}

void TMainForm::SaveBtnClick() {
  SaveActionFile(ConfigFileName);
}

void TMainForm::ShowMark(int row) {
  if (row < 1 || row >= ActionsGrid->RowCount())
    return;
  const TRowEntryPtr entry = RowEntry(row);
  std::optional<TCallRecord> last;
  if (entry && Journal && entry->Row.JournalId != 0)
    last = Journal->LastCall(entry->Row.JournalId);
  const bool failed = last && last->Failed;
  const QString tip =
      failed ? QStringLiteral("Letzter Aufruf fehlgeschlagen (%1): %2")
                   .arg(last->Started != 0 ? DateTimeText(last->Started) : DateTimeText(last->Due),
                        CallResultText(*last))
             : QString();
  for (int col = 0; col < ActionsGrid->ColCount(); ++col)
    if (QTableWidgetItem *cell = ActionsGrid->item(row - 1, col)) {
      cell->setToolTip(tip);
      if (col == ColTimePoint)
        cell->setIcon(failed ? style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
    }
}

void TMainForm::ShowMarks() {
  for (int row = 1; row < ActionsGrid->RowCount(); ++row)
    ShowMark(row);
}

bool TMainForm::RunRow(int row) {
  const TRowEntryPtr entry = RowEntry(row);
  if (!entry || !RunNow)
    return false;
  const TManualRun run = RunNow(entry->Row.Entry, entry->Row.JournalId, row);
  // A new row gets its journal entry with its first call.
  if (run.EntryId != 0)
    entry->Row.JournalId = run.EntryId;
  ShowMark(row);
  return run.Done;
}

void TMainForm::RunNowBtnClick() {
  RunRow(ActionsGrid->Row());
}

void TMainForm::HistoryBtnClick() {
  std::vector<THistoryAction> actions;
  for (int row = 1; row < ActionsGrid->RowCount(); ++row)
    if (const TRowEntryPtr entry = RowEntry(row))
      actions.push_back({row, entry->Row.Entry.Action, entry->Row.JournalId});
  THistoryForm form(Journal, this);
  form.SetActions(actions);
  if (const TRowEntryPtr entry = RowEntry(ActionsGrid->Row()))
    form.SelectAction(entry->Row.JournalId);
  form.RunNow = [this](std::int64_t entryId) {
    for (int row = 1; row < ActionsGrid->RowCount(); ++row)
      if (const TRowEntryPtr entry = RowEntry(row); entry && entry->Row.JournalId == entryId)
        return RunRow(row);
    return false;
  };
  ExecHistory(form);
  ShowMarks();
}
