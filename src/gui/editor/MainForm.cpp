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

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
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
  // A kept session is unsaved from its first moment: Abbruch asks before it is dropped.
  FModified = FRestored;
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
