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
  FSeams.MessageBox = [this](QMessageBox::Icon icon, const QString &text,
                             QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, ConfirmCaption, text, buttons, this);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  };
  FSeams.ExecEditDialog = [](TEditActionDlg &dialog) { return dialog.exec(); };
  FSeams.ChooseFile = [this](bool save, const QString &title, const QString &preset) {
    return ChooseActionFile(this, save, title, preset);
  };
  FSeams.ShowHelp = [this](int topic) { ShowHelpTopic(topic, this); };
  FSeams.ShowBigMoon = [this] {
    TLunaForm form(this);
    form.exec();
  };
  FSeams.Now = [] { return ::Now(); };
  FSeams.OnError = [](const std::exception &error) { ReportAppException(error); };
  FSeams.ShowInputError = [this](const QString &text) {
    QMessageBox::warning(this, FApplicationTitle, text);
  };
  FSeams.ExecHistory = [](THistoryForm &form) { form.exec(); };
  BuildControls();
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildControls() {
  setFont(DesktopFont(13));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setMinimumSize(ClientWidth - 120, 330);

  FActionsGrid = new TStringAlignGrid(this);
  FActionsGrid->SetColCount(4);
  FActionsGrid->SetRowCount(2);
  FActionsGrid->SetColWidth(ColAction, ActionWidth);
  FActionsGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  FActionsGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  FActionsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FActionsGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  FActionsGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  FActionsGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  FActionsGrid->horizontalHeader()->setStretchLastSection(false);

  FButtonPanel = new QWidget(this);
  FButtonPanel->setFixedWidth(PanelWidth);
  FButtonPanel->installEventFilter(this);

  CreateButtons();
  PlaceButtons();

  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(FActionsGrid, 1);
  layout->addWidget(FButtonPanel);

  ChainTabOrder();
  FTimer = new QTimer(this);
  FTimer->setInterval(100);

  ConnectHandlers();
  ConnectRowMenu();

  // The classic three headers are written when the window is shown.
  FActionsGrid->SetCell(ColNextRun, 0, QStringLiteral("Nächste Ausführung"));
  FTimerEdit->SetText(MsToTimeText(1000));
  FitColumns();
}

std::function<void()> TMainForm::Guard(void (TMainForm::*handler)()) {
  return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
}

void TMainForm::CreateButtons() {
  FTimeLabel = new QLabel(QStringLiteral("00:00:00"), FButtonPanel);
  FDateLabel = new QLabel(QStringLiteral("000"), FButtonPanel);
  FMoon = new TMoon(FButtonPanel);
  FMoon->SetMoonSize(ms32);
  FMoon->setToolTip(QStringLiteral("Der Mond in groß"));
  FMoon->installEventFilter(this);
  FIntervalLabel = new QLabel(QStringLiteral("&Intervall"), FButtonPanel);
  FTimerEdit = new TMaskTimeEdit(FButtonPanel);
  FTimerEdit->setToolTip(QStringLiteral("Aktualisierungsintervall"));
  FTimerEdit->DeleteKeyEnabled = false;
  FIntervalLabel->setBuddy(FTimerEdit);

  FNewBtn = GlyphButton(FButtonPanel, QStyle::SP_FileIcon, QStringLiteral("Neue Aktion erstellen"));
  FEditBtn = GlyphButton(FButtonPanel, QStyle::SP_FileDialogDetailedView,
                         QStringLiteral("Aktion bearbeiten"));
  FDeleteBtn = GlyphButton(FButtonPanel, QStyle::SP_TrashIcon, QStringLiteral("Aktion löschen"));
  FDeleteAllBtn = new QPushButton(QStringLiteral("&Alle löschen"), FButtonPanel);
  FDeleteAllBtn->setToolTip(QStringLiteral("Alle Aktionen löschen"));
  FOpenBtn = GlyphButton(FButtonPanel, QStyle::SP_DialogOpenButton,
                         QStringLiteral("Aktionenliste hinzuladen"));
  FSaveBtn = GlyphButton(FButtonPanel, QStyle::SP_DialogSaveButton,
                         QStringLiteral("Aktionenlisten sichern;\r\nWird bei \"Ok\" automatisch "
                                        "durchgeführt."));
  FSaveAsBtn = GlyphButton(FButtonPanel, QStyle::SP_DriveFDIcon,
                           QStringLiteral("Aktionenliste sichern unter"));
  FRunNowBtn = GlyphButton(FButtonPanel, QStyle::SP_MediaPlay, QStringLiteral("Jetzt ausführen"));
  FHistoryBtn =
      GlyphButton(FButtonPanel, QStyle::SP_FileDialogContentsView, QStringLiteral("Verlauf"));
  FOKBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"),
                           FButtonPanel);
  FOKBtn->setDefault(true);
  FCancelBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                               QStringLiteral("Abbruch"), FButtonPanel);
  FHelpBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogHelpButton),
                             QStringLiteral("&Hilfe"), FButtonPanel);
}

void TMainForm::PlaceButtons() {
  // The panel, top to bottom: clock, moon, interval, the action and file buttons, the
  // dialog buttons at the foot.
  constexpr int inner = PanelWidth - 8;
  FTimeLabel->setGeometry(4, 4, inner, 16);
  FDateLabel->setGeometry(4, 20, inner, 16);
  FTimeLabel->setAlignment(Qt::AlignHCenter);
  FDateLabel->setAlignment(Qt::AlignHCenter);
  FMoon->move((PanelWidth - 32) / 2, 40);
  FIntervalLabel->setGeometry(4, 78, inner, 16);
  FTimerEdit->setGeometry(4, 94, inner, 22);
  FNewBtn->setGeometry(4, 124, 27, 25);
  FEditBtn->setGeometry(35, 124, 27, 25);
  FDeleteBtn->setGeometry(66, 124, 27, 25);
  FDeleteAllBtn->setGeometry(4, 153, inner, 25);
  FOpenBtn->setGeometry(4, 186, 27, 25);
  FSaveBtn->setGeometry(35, 186, 27, 25);
  FSaveAsBtn->setGeometry(66, 186, 27, 25);
  FRunNowBtn->setGeometry(4, 215, 27, 25);
  FHistoryBtn->setGeometry(35, 215, 27, 25);
  for (QToolButton *button :
       {FNewBtn, FEditBtn, FDeleteBtn, FOpenBtn, FSaveBtn, FSaveAsBtn, FRunNowBtn, FHistoryBtn})
    button->setIconSize(QSize(16, 16));
}

void TMainForm::ChainTabOrder() {
  QWidget::setTabOrder(FTimerEdit, FNewBtn);
  QWidget::setTabOrder(FNewBtn, FEditBtn);
  QWidget::setTabOrder(FEditBtn, FDeleteBtn);
  QWidget::setTabOrder(FDeleteBtn, FDeleteAllBtn);
  QWidget::setTabOrder(FDeleteAllBtn, FOpenBtn);
  QWidget::setTabOrder(FOpenBtn, FSaveBtn);
  QWidget::setTabOrder(FSaveBtn, FSaveAsBtn);
  QWidget::setTabOrder(FSaveAsBtn, FRunNowBtn);
  QWidget::setTabOrder(FRunNowBtn, FHistoryBtn);
  QWidget::setTabOrder(FHistoryBtn, FOKBtn);
  QWidget::setTabOrder(FOKBtn, FCancelBtn);
  QWidget::setTabOrder(FCancelBtn, FHelpBtn);
}

void TMainForm::ConnectHandlers() {
  connect(FTimer, &QTimer::timeout, this, Guard(&TMainForm::TimerTimer));
  connect(FNewBtn, &QToolButton::clicked, this, Guard(&TMainForm::NewBtnClick));
  connect(FEditBtn, &QToolButton::clicked, this, Guard(&TMainForm::EditBtnClick));
  connect(FDeleteBtn, &QToolButton::clicked, this, Guard(&TMainForm::DeleteBtnClick));
  connect(FDeleteAllBtn, &QPushButton::clicked, this, Guard(&TMainForm::DeleteAllBtnClick));
  connect(FOpenBtn, &QToolButton::clicked, this, Guard(&TMainForm::OpenBtnClick));
  connect(FSaveBtn, &QToolButton::clicked, this, Guard(&TMainForm::SaveBtnClick));
  connect(FSaveAsBtn, &QToolButton::clicked, this, Guard(&TMainForm::SaveAsBtnClick));
  connect(FRunNowBtn, &QToolButton::clicked, this, Guard(&TMainForm::RunNowBtnClick));
  connect(FHistoryBtn, &QToolButton::clicked, this, Guard(&TMainForm::HistoryBtnClick));
  connect(FHelpBtn, &QPushButton::clicked, this, Guard(&TMainForm::HelpBtnClick));
  connect(FActionsGrid, &TStringAlignGrid::DblClick, this, Guard(&TMainForm::ActionsGridDblClick));
  connect(FActionsGrid, &TStringAlignGrid::KeyUp, this, [this](int key, Qt::KeyboardModifiers) {
    Guarded([this, key] { ActionsGridKeyUp(key); });
  });
  connect(FTimerEdit, &TMaskTimeEdit::Change, this, Guard(&TMainForm::TimerEditChange));
  connect(FOKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(FCancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TMainForm::ConnectRowMenu() {
  FRowMenu = new QMenu(this);
  FRunNowItem = FRowMenu->addAction(QStringLiteral("&Jetzt ausführen"));
  FEditItem = FRowMenu->addAction(QStringLiteral("&Bearbeiten..."));
  FHistoryItem = FRowMenu->addAction(QStringLiteral("&Verlauf..."));
  connect(FRunNowItem, &QAction::triggered, this, Guard(&TMainForm::RunNowBtnClick));
  connect(FEditItem, &QAction::triggered, this, Guard(&TMainForm::EditBtnClick));
  connect(FHistoryItem, &QAction::triggered, this, Guard(&TMainForm::HistoryBtnClick));
  FActionsGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(FActionsGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
    const QModelIndex cell = FActionsGrid->indexAt(at);
    if (!cell.isValid())
      return;
    FActionsGrid->SetRow(cell.row() + 1);
    const bool entry = RowEntry(cell.row() + 1) != nullptr;
    FRunNowItem->setEnabled(entry && FSeams.RunNow);
    FHistoryItem->setEnabled(entry);
    FRowMenu->popup(FActionsGrid->viewport()->mapToGlobal(at));
  });
}

void TMainForm::FitColumns() {
  const QFontMetrics metrics = FActionsGrid->fontMetrics();
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
  const int nextRunWidth = std::max(FActionsGrid->horizontalHeader()->sectionSizeHint(ColNextRun),
                                    widest({DateTimeText(late)}));
  FActionsGrid->SetColWidth(ColTimePoint, timePointWidth);
  FActionsGrid->SetColWidth(ColTime, timeWidth);
  FActionsGrid->SetColWidth(ColNextRun, nextRunWidth);
  resize(ClientWidth + (timePointWidth - TimePointWidth) + (timeWidth - TimeWidth) + nextRunWidth,
         ClientHeight);
}

void TMainForm::Guarded(const std::function<void()> &handler) {
  try {
    handler();
  } catch (const std::exception &error) {
    if (FSeams.OnError)
      FSeams.OnError(error);
  }
}

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
  FActionsGrid->SetCell(ColTimePoint, row, TimePointText(e.TimePoint, e.FirstDate));
  FActionsGrid->SetCell(ColAction, row, e.Action);
  ShowNextRun(row, FSeams.Now());
  ShowMark(row);
}

void TMainForm::ShowNextRun(int row, TDateTime now) {
  const TRowEntryPtr entry = RowEntry(row);
  const TDateTime next = entry ? TScheduler::NextDuePoint(entry->Row.Entry, now) : 0;
  // A dash for an entry that will not run again by time.
  FActionsGrid->SetCell(ColNextRun, row,
                        !entry      ? QString()
                        : next == 0 ? QStringLiteral("–")
                                    : DateTimeText(next));
}

void TMainForm::LoadSession(const TEditorSession &session) {
  FActionsGrid->SetRowCount(1); // drops whatever rows were there
  FActionsGrid->SetRowCount(std::max<int>(2, static_cast<int>(session.Copies.size()) + 1));
  for (int i = 0; i < static_cast<int>(session.Copies.size()); ++i) {
    auto entry = std::make_shared<TRowEntry>();
    entry->Row.Entry = session.Copies[static_cast<std::size_t>(i)];
    entry->Row.Origin = i;
    if (static_cast<std::size_t>(i) < session.JournalIds.size())
      entry->Row.JournalId = session.JournalIds[static_cast<std::size_t>(i)];
    SetRowEntry(i + 1, entry);
  }
  FSeams.Journal = session.Journal;
  FSeams.RunNow = session.RunNow;
  FSeams.RunByAnother = session.RunByAnother;
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

std::int64_t TMainForm::IntervalMs() const {
  return TimeTextToMs(FTimerEdit->Text());
}

void TMainForm::UpdateCaption() {
  setWindowTitle(FApplicationTitle + QStringLiteral(" -- ") + FConfigFileName);
}

void TMainForm::ClearActions() {
  FActionsGrid->SetRowCount(2);
  FActionsGrid->ClearRow(1);
  ShowMarks();
  FModified = true;
}

void TMainForm::ShowClock() {
  const TDateTime now = FSeams.Now();
  FTimeLabel->setText(TimeText(TimeOf(now)));
  // The moon shows the day at midnight: worked out again only when the day changes.
  if (FMoon->Date() != DateOf(now))
    FMoon->SetDate(DateOf(now));
  FDateLabel->setText(DateText(FMoon->Date()));
  // The next runs change at most once a second.
  const QString second = FTimeLabel->text();
  if (second != FClockSecond) {
    FClockSecond = second;
    // Results arrive with the ticks, so the marks follow once a second too.
    for (int row = 1; row < FActionsGrid->RowCount(); ++row) {
      ShowNextRun(row, now);
      ShowMark(row);
    }
  }
}

void TMainForm::FormShow() {
  FClockSecond.clear();
  ShowClock();
  FActionsGrid->SetDefaultRowHeight(QFontMetrics(FActionsGrid->font()).height() + 6);
  FActionsGrid->SetCell(ColTimePoint, 0, QStringLiteral("Datum"));
  FActionsGrid->SetCell(ColTime, 0, QStringLiteral("Zeitpunkt"));
  FActionsGrid->SetCell(ColAction, 0, QStringLiteral("Vorgang"));
  UpdateCaption();
  raise();
  activateWindow();
  FOKBtn->setFocus();
  FTimer->start();
  FormResize();
  FModified = false;
}

void TMainForm::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  Guarded([this] { FormShow(); });
}

void TMainForm::FormResize() {
  // Our fourth column keeps its width; the action column takes what is left.
  const int width = FActionsGrid->ClientWidth() - 4 * FActionsGrid->GridLineWidth() -
                    FActionsGrid->ColWidths(ColTimePoint) - FActionsGrid->ColWidths(ColTime) -
                    FActionsGrid->ColWidths(ColNextRun);
  if (width > 0)
    FActionsGrid->SetColWidth(ColAction, width);
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
  const TDateTime now = FSeams.Now();
  const TTimeParts t = DecodeTime(now);
  // Numbers without leading zeros: the field aligns them itself.
  dialog.TimeEdit->SetText(QStringLiteral("%1:%2:%3").arg(t.Hour).arg(t.Minute).arg(t.Second));
  dialog.Calendar->SetCalendarDate(DateOf(now));
  dialog.SetTimePointIndex(tpFrequency);
  dialog.ActionEdit->clear();
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
  e.AllCalls = dialog.AllCallsBox->isChecked();
  e.SuddenStart = dialog.SuddenStartBox->isChecked();
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
  if (FSeams.ExecEditDialog(dialog) != QDialog::Accepted)
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

void TMainForm::TimerEditChange() {
  // Writing a correction is a change again; the outer call repeats the check until the
  // minutes and seconds are in range.
  if (FCorrecting)
    return;
  FCorrecting = true;
  CorrectTimeField(*FTimerEdit, false);
  FCorrecting = false;
  FModified = true;
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event) {
  if (watched == FMoon && event->type() == QEvent::MouseButtonDblClick) {
    Guarded([this] { MoonDblClick(); });
    return true;
  }
  if (watched == FButtonPanel && event->type() == QEvent::Resize) {
    // The dialog buttons stand at the foot of the panel.
    const int y = FButtonPanel->height();
    FHelpBtn->setGeometry(4, y - 29, PanelWidth - 8, 25);
    FCancelBtn->setGeometry(4, y - 58, PanelWidth - 8, 25);
    FOKBtn->setGeometry(4, y - 87, PanelWidth - 8, 25);
  }
  return QDialog::eventFilter(watched, event);
}

void TMainForm::MoonDblClick() {
  if (FSeams.ShowBigMoon)
    FSeams.ShowBigMoon();
}

void TMainForm::HelpBtnClick() {
  if (FSeams.ShowHelp)
    FSeams.ShowHelp(HelpContext);
}

bool TMainForm::CheckInput() {
  try {
    IntervalMs();
  } catch (const EConvertError &) {
    if (FSeams.ShowInputError)
      FSeams.ShowInputError(QStringLiteral("Das Intervall \"%1\" ist keine Zeit der Form "
                                           "Stunden:Minuten:Sekunden.")
                                .arg(FTimerEdit->Text()));
    FTimerEdit->setFocus(Qt::OtherFocusReason);
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
  if (result != QDialog::Accepted && FModified &&
      !Ask(QStringLiteral("Wollen Sie wirklich alle Änderungen verwerfen ?"), QMessageBox::Question,
           QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes))
    return;
  FTimer->stop();
  QDialog::done(result);
}

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
  for (int row = 1; row < FActionsGrid->RowCount(); ++row)
    ShowMark(row);
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
      actions.push_back({row, entry->Row.Entry.Action, entry->Row.JournalId});
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
  FSeams.ExecHistory(form);
  ShowMarks();
}
