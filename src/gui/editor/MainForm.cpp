// The editor window: its controls and their layout, the clock, showing, resizing and closing.
#include "gui/editor/MainForm.h"

#include "base/Errors.h"
#include "gui/editor/ActionFileDialog.h"
#include "gui/editor/EditActionDlg.h"
#include "gui/editor/EditRules.h"
#include "gui/editor/HelpViewer.h"
#include "gui/editor/HistoryForm.h"
#include "gui/moon/Moon.h"
#include "gui/moon/MoonForm.h"
#include "gui/widgets/Application.h"
#include "gui/widgets/StringAlignGrid.h"
#include "gui/widgets/TimeEdit.h"
#include "platform/Clock.h"

#include <QAction>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <limits>

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
  ConnectRowKeys();
}

void TMainForm::ConnectRowKeys() {
  // Window-wide, since the focus starts on OK: Insert is the README's way to a new action. A
  // text field that takes the key itself (Delete in the interval) claims it before the window.
  for (const int key : {int(Qt::Key_Insert), int(Qt::Key_Delete)}) {
    auto *action = new QAction(this);
    action->setShortcut(QKeySequence(key));
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    // A held key asks once; its repeats would stack questions.
    action->setAutoRepeat(false);
    addAction(action);
    connect(action, &QAction::triggered, this,
            [this, key] { Guarded([this, key] { ActionsGridKeyUp(key); }); });
  }
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildControls() {
  setFont(DesktopFont(13));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  FActionsGrid = new TStringAlignGrid(this);
  FActionsGrid->SetColCount(5);
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
  FActionsGrid->SetCell(ColActive, 0, QStringLiteral("Aktiv"));
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
  // dialog buttons at the foot. Its width is what its widest text needs, never less than the
  // classic panel's.
  for (QToolButton *button :
       {FNewBtn, FEditBtn, FDeleteBtn, FOpenBtn, FSaveBtn, FSaveAsBtn, FRunNowBtn, FHistoryBtn})
    button->setIconSize(QSize(16, 16));
  FTimeLabel->setAlignment(Qt::AlignHCenter);
  FDateLabel->setAlignment(Qt::AlignHCenter);
  const auto row = [](std::initializer_list<QWidget *> buttons) {
    auto *line = new QHBoxLayout;
    line->setSpacing(4);
    for (QWidget *button : buttons)
      line->addWidget(button, 1);
    // A shorter row keeps its buttons as wide as those of a full one.
    for (std::size_t i = buttons.size(); i < 3; ++i)
      line->addStretch(1);
    return line;
  };
  auto *panel = new QVBoxLayout(FButtonPanel);
  panel->setContentsMargins(4, 4, 4, 4);
  panel->setSpacing(4);
  panel->addWidget(FTimeLabel);
  panel->addWidget(FDateLabel);
  panel->addWidget(FMoon, 0, Qt::AlignHCenter);
  panel->addWidget(FIntervalLabel);
  panel->addWidget(FTimerEdit);
  panel->addLayout(row({FNewBtn, FEditBtn, FDeleteBtn}));
  panel->addWidget(FDeleteAllBtn);
  panel->addLayout(row({FOpenBtn, FSaveBtn, FSaveAsBtn}));
  panel->addLayout(row({FRunNowBtn, FHistoryBtn}));
  panel->addStretch(1);
  panel->addWidget(FOKBtn);
  panel->addWidget(FCancelBtn);
  panel->addWidget(FHelpBtn);
  FButtonPanel->setMinimumWidth(PanelWidth);
  FButtonPanel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

void TMainForm::ChainTabOrder() {
  QWidget *const order[] = {FTimerEdit, FNewBtn,    FEditBtn,   FDeleteBtn, FDeleteAllBtn,
                            FOpenBtn,   FSaveBtn,   FSaveAsBtn, FRunNowBtn, FHistoryBtn,
                            FOKBtn,     FCancelBtn, FHelpBtn};
  for (std::size_t i = 1; i < std::size(order); ++i)
    QWidget::setTabOrder(order[i - 1], order[i]);
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
  FRowMenu->addSeparator();
  FActiveItem = FRowMenu->addAction(QStringLiteral("&Aktiv"));
  FActiveItem->setCheckable(true);
  // The grid's Space switches the selected row as well; the menu's check may be stale then, so
  // the entry says which way.
  FActiveItem->setShortcut(QKeySequence(Qt::Key_Space));
  FActiveItem->setShortcutContext(Qt::WidgetShortcut);
  FActionsGrid->addAction(FActiveItem);
  connect(FActiveItem, &QAction::triggered, this, [this] {
    Guarded([this] {
      if (const TRowEntryPtr entry = RowEntry(FActionsGrid->Row()))
        SetRowActive(FActionsGrid->Row(), !entry->Row.Entry.Active);
    });
  });
  // A click on a row's check box: only that writes the check itself (the grid's copies of
  // rows move texts and values, never the check); ShowActiveState writes what the entry holds.
  connect(FActionsGrid->model(), &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex &cell, const QModelIndex &, const QList<int> &roles) {
            const TRowEntryPtr entry = RowEntry(cell.row() + 1);
            const bool checked = cell.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            if (cell.column() == ColActive && roles.contains(Qt::CheckStateRole) && entry &&
                checked != entry->Row.Entry.Active)
              Guarded([this, cell, checked] { SetRowActive(cell.row() + 1, checked); });
          });
  FActionsGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(FActionsGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
    const QModelIndex cell = FActionsGrid->indexAt(at);
    if (!cell.isValid())
      return;
    FActionsGrid->SetRow(cell.row() + 1);
    const bool entry = RowEntry(cell.row() + 1) != nullptr;
    FRunNowItem->setEnabled(entry && FSeams.RunNow);
    FHistoryItem->setEnabled(entry);
    FActiveItem->setEnabled(entry);
    FActiveItem->setChecked(entry && RowEntry(cell.row() + 1)->Row.Entry.Active);
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
  // The longest daily text names four single days.
  QStringList timePoints = {TimePointText(tpFrequency, sunday),
                            TimePointText(tpDaily, sunday, 0x55),
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
  // The captions count too: a large font makes "Zeitpunkt" wider than any time. The failure
  // mark stands before the kind and has its own room, so that no kind is cut.
  timePoints.append(QStringLiteral("Datum"));
  const int timePointWidth =
      std::max(TimePointWidth, widest(timePoints) + FActionsGrid->IconRoom());
  const int timeWidth = std::max(TimeWidth, widest({TimeText(late), QStringLiteral("Zeitpunkt")}));
  const int nextRunWidth = std::max(FActionsGrid->horizontalHeader()->sectionSizeHint(ColNextRun),
                                    widest({DateTimeText(late)}));
  FActionsGrid->SetColWidth(ColTimePoint, timePointWidth);
  FActionsGrid->SetColWidth(ColTime, timeWidth);
  FActionsGrid->SetColWidth(ColNextRun, nextRunWidth);
  const int activeWidth = FActionsGrid->horizontalHeader()->sectionSizeHint(ColActive);
  FActionsGrid->SetColWidth(ColActive, activeWidth);
  // The grid may shrink to what the time columns need; the classic size is where it starts.
  const int panelWidth = std::max(PanelWidth, FButtonPanel->sizeHint().width());
  FActionsGrid->setMinimumWidth(timePointWidth + timeWidth + nextRunWidth + activeWidth + 60);
  resize(StartingSize(this, QSize(ClientWidth + (panelWidth - PanelWidth) +
                                      (timePointWidth - TimePointWidth) + (timeWidth - TimeWidth) +
                                      nextRunWidth + activeWidth,
                                  ClientHeight)));
}

void TMainForm::Guarded(const std::function<void()> &handler) {
  try {
    handler();
  } catch (const std::exception &error) {
    if (FSeams.OnError)
      FSeams.OnError(error);
  }
}

std::int64_t TMainForm::IntervalMs() const {
  return TimeTextToMs(FTimerEdit->Text());
}

void TMainForm::UpdateCaption() {
  setWindowTitle(FApplicationTitle + QStringLiteral(" -- ") + FConfigFileName);
}

void TMainForm::ShowClock() {
  const TDateTime now = FSeams.Now();
  FTimeLabel->setText(TimeText(TimeOf(now)));
  // The moon shows the day at midnight: worked out again only when the day changes.
  if (FMoon->Date() != DateOf(now))
    FMoon->SetDate(DateOf(now));
  FDateLabel->setText(DateText(FMoon->Date()));
  const QString second = FTimeLabel->text();
  if (second != FClockSecond) {
    FClockSecond = second;
    // The next runs change when the first of them comes, or when the clock is set back;
    // results arrive with the calls, so the marks follow once a second.
    const bool nextRunsChanged = now >= FNextRunsChange || now < FNextRunsShown;
    if (nextRunsChanged) {
      FNextRunsShown = now;
      FNextRunsChange = std::numeric_limits<double>::infinity();
    }
    for (int row = 1; row < FActionsGrid->RowCount(); ++row) {
      if (nextRunsChanged)
        ShowNextRun(row, now);
      ShowMark(row);
    }
  }
  // The clock shows seconds: wake just after the next one begins, not ten times a second.
  const int intoSecond = static_cast<int>(std::fmod(TimeOf(now) * MSecsPerDay, 1000.0));
  FTimer->setSingleShot(true);
  FTimer->start(std::clamp(1000 - intoSecond + 5, 5, 1005));
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
  FormResize();
  // A kept session is unsaved from its first moment: Abbruch asks before it is dropped.
  FModified = FRestored;
}

void TMainForm::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  Guarded([this] { FormShow(); });
}

void TMainForm::FormResize() {
  // Our columns keep their widths; the action column takes what is left.
  const int width = FActionsGrid->ClientWidth() - 5 * FActionsGrid->GridLineWidth() -
                    FActionsGrid->ColWidths(ColTimePoint) - FActionsGrid->ColWidths(ColTime) -
                    FActionsGrid->ColWidths(ColNextRun) - FActionsGrid->ColWidths(ColActive);
  // Never narrower than its caption: on a narrow screen the grid scrolls sideways instead.
  const int caption =
      FActionsGrid->fontMetrics().horizontalAdvance(FActionsGrid->Cells(ColAction, 0));
  FActionsGrid->SetColWidth(ColAction, std::max(width, caption + 12));
}

void TMainForm::resizeEvent(QResizeEvent *event) {
  QDialog::resizeEvent(event);
  // The grid's client width follows the layout, which settles after this event.
  QTimer::singleShot(0, this, [this] { FormResize(); });
}

void TMainForm::TimerTimer() {
  ShowClock();
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
      FSeams.ShowInputError(QStringLiteral("Das Intervall „%1“ ist keine Zeit der Form "
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
