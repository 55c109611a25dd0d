#include "gui/editor/HistoryForm.h"

#include "gui/widgets/Application.h"

#include "gui/editor/HistoryModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The filter's value for an action the journal has never seen: matches no call.
constexpr std::int64_t NoEntry = -1;

} // namespace

THistoryForm::THistoryForm(const TRunJournal *journal, QWidget *parent)
    : QDialog(parent), FJournal(journal) {
  setWindowTitle(QStringLiteral("Verlauf"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setSizeGripEnabled(true);

  auto *filterLabel = new QLabel(QStringLiteral("&Aktion:"), this);
  ActionFilter = new QComboBox(this);
  ActionFilter->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  ActionFilter->setMinimumContentsLength(30);
  filterLabel->setBuddy(ActionFilter);
  FailedOnlyBox = new QCheckBox(QStringLiteral("Nur &Fehlschläge"), this);

  Model = new THistoryModel(journal, this);
  const int tableWidth = CreateCallsView();
  OutputView = new QPlainTextEdit(this);
  OutputView->setReadOnly(true);
  OutputView->setLineWrapMode(QPlainTextEdit::NoWrap);
  OutputView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  OutputView->setAccessibleName(QStringLiteral("Ausgabe des gewählten Aufrufs"));
  // Below the list and resizable against it: a long output is read here, not in a cell.
  auto *split = new QSplitter(Qt::Vertical, this);
  split->addWidget(CallsView);
  split->addWidget(OutputView);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  split->setChildrenCollapsible(false);

  StatusLabel = new QLabel(this);
  StatusLabel->setWordWrap(true);
  RunNowBtn = new QPushButton(QStringLiteral("&Jetzt ausführen"), this);
  RunNowBtn->setToolTip(QStringLiteral("Die Aktion des gewählten Aufrufs jetzt ausführen"));
  CloseBtn = new QPushButton(QStringLiteral("&Schließen"), this);

  auto *filters = new QHBoxLayout;
  filters->addWidget(filterLabel);
  filters->addWidget(ActionFilter, 1);
  filters->addSpacing(12);
  filters->addWidget(FailedOnlyBox);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(StatusLabel, 1);
  buttons->addWidget(RunNowBtn);
  buttons->addWidget(CloseBtn);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(split, 1);
  layout->addLayout(buttons);
  // 900 pixels wide, or what a larger font needs for every column.
  resize(StartingSize(
      this, QSize(std::max(900, tableWidth + 2 * layout->contentsMargins().left()), 440)));

  RefreshTimer = new QTimer(this);
  RefreshTimer->setInterval(RefreshMs);
  connect(RefreshTimer, &QTimer::timeout, this, &THistoryForm::RefreshIfChanged);
  RefreshTimer->start();
  connect(ActionFilter, &QComboBox::currentIndexChanged, this, &THistoryForm::ApplyFilter);
  connect(FailedOnlyBox, &QCheckBox::toggled, this, &THistoryForm::ApplyFilter);
  connect(RunNowBtn, &QPushButton::clicked, this, &THistoryForm::RunNowBtnClick);
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
  connect(CallsView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &THistoryForm::UpdateButtons);
  connect(Model, &QAbstractItemModel::modelReset, this, &THistoryForm::UpdateButtons);

  SetActions({});
  FSeenGeneration = journal ? journal->Generation() : 0;
  ShowProblem();
}

int THistoryForm::CreateCallsView() {
  CallsView = new QTableView(this);
  CallsView->setModel(Model);
  CallsView->setSelectionBehavior(QAbstractItemView::SelectRows);
  CallsView->setSelectionMode(QAbstractItemView::SingleSelection);
  CallsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  CallsView->setWordWrap(false);
  CallsView->verticalHeader()->hide();
  // Fixed row heights: the view need not measure rows it has not shown.
  CallsView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  CallsView->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  CallsView->horizontalHeader()->setStretchLastSection(false);
  CallsView->horizontalHeader()->setHighlightSections(false);
  // Widths from the desktop's font, so that dates and durations are never cut; the action
  // takes what is left, and its whole text is the cell's tooltip.
  const QFontMetrics metrics = CallsView->fontMetrics();
  const int pad = 2 * metrics.averageCharWidth();
  const int dateWidth = metrics.horizontalAdvance(QStringLiteral("88.88.8888 88:88:88")) + pad;
  const int widths[] = {dateWidth,
                        dateWidth,
                        metrics.horizontalAdvance(QStringLiteral("Nr.8888")) + pad,
                        0, // the action: what is left
                        0, // the result: FitResultColumn
                        metrics.horizontalAdvance(QStringLiteral("88 min 88 s")) + pad};
  for (int col = 0; col < THistoryModel::ColumnCount; ++col)
    if (widths[col] > 0)
      CallsView->setColumnWidth(col, widths[col]);
  CallsView->horizontalHeader()->setSectionResizeMode(THistoryModel::ColAction,
                                                      QHeaderView::Stretch);
  // The result as wide as the longest one shown, so the action keeps every pixel it can use.
  // The result as wide as the longest one shown, up to 40 characters (a longer one shows
  // whole in its tooltip), so the action keeps every pixel it can use.
  FitResultColumn();
  connect(Model, &QAbstractItemModel::modelReset, this, &THistoryForm::FitResultColumn);
  connect(Model, &QAbstractItemModel::rowsInserted, this, &THistoryForm::FitResultColumn);
  int wanted = 2 * CallsView->frameWidth() + CallsView->verticalScrollBar()->sizeHint().width() +
               metrics.averageCharWidth() * 30; // the action: 30 characters at least
  for (int col = 0; col < THistoryModel::ColumnCount; ++col)
    wanted += col == THistoryModel::ColResult ? ResultWidthLimit() : widths[col];
  return wanted;
}

int THistoryForm::ResultWidthLimit() const {
  return CallsView->fontMetrics().averageCharWidth() * 40;
}

void THistoryForm::FitResultColumn() {
  const int contents = std::max(
      CallsView->horizontalHeader()->sectionSizeHint(THistoryModel::ColResult),
      static_cast<QAbstractItemView *>(CallsView)->sizeHintForColumn(THistoryModel::ColResult));
  CallsView->setColumnWidth(THistoryModel::ColResult, std::min(contents, ResultWidthLimit()));
}

void THistoryForm::SetJournal(const TRunJournal *journal) {
  FJournal = journal;
  FSeenGeneration = journal ? journal->Generation() : 0;
  Model->SetJournal(journal);
  ShowProblem();
}

void THistoryForm::SetActions(const std::vector<THistoryAction> &actions) {
  const QSignalBlocker blocker(ActionFilter);
  const QVariant selected = ActionFilter->currentData();
  ActionFilter->clear();
  ActionFilter->addItem(QStringLiteral("Alle Aktionen"), QVariant::fromValue<qlonglong>(0));
  for (const THistoryAction &action : actions)
    ActionFilter->addItem(
        QStringLiteral("%1: %2%3")
            .arg(action.Number)
            .arg(action.Action, action.Active ? QString() : QStringLiteral(" (ausgeschaltet)")),
        QVariant::fromValue<qlonglong>(action.EntryId != 0 ? action.EntryId : NoEntry));
  const int again = selected.isValid() ? ActionFilter->findData(selected) : 0;
  ActionFilter->setCurrentIndex(std::max(again, 0));
  ApplyFilter();
}

void THistoryForm::SelectAction(std::int64_t entryId) {
  const int index = ActionFilter->findData(QVariant::fromValue<qlonglong>(entryId));
  ActionFilter->setCurrentIndex(std::max(index, 0));
}

bool THistoryForm::SelectCall(std::int64_t callId) {
  RefreshIfChanged();
  int row = RowOfCall(callId);
  if (row < 0 && (ActionFilter->currentIndex() != 0 || FailedOnlyBox->isChecked())) {
    const QSignalBlocker actions(ActionFilter);
    const QSignalBlocker failed(FailedOnlyBox);
    ActionFilter->setCurrentIndex(0);
    FailedOnlyBox->setChecked(false);
    ApplyFilter();
    row = RowOfCall(callId);
  }
  if (row < 0)
    return false;
  CallsView->selectRow(row);
  CallsView->scrollTo(Model->index(row, 0), QAbstractItemView::PositionAtCenter);
  return true;
}

int THistoryForm::RowOfCall(std::int64_t callId) {
  for (int row = 0;; ++row) {
    if (row == Model->rowCount()) {
      if (!Model->canFetchMore(QModelIndex()))
        return -1;
      Model->fetchMore(QModelIndex());
      if (row == Model->rowCount())
        return -1;
    }
    const TCallRecord *call = Model->CallAt(row);
    // Newest first: once past its id, the call is not among these.
    if (call->Id < callId)
      return -1;
    if (call->Id == callId)
      return row;
  }
}

void THistoryForm::ApplyFilter() {
  TCallFilter filter;
  filter.EntryId = ActionFilter->currentData().toLongLong();
  filter.FailedOnly = FailedOnlyBox->isChecked();
  Model->SetFilter(filter);
  UpdateButtons();
}

void THistoryForm::RefreshIfChanged() {
  if (!FJournal || FJournal->Generation() == FSeenGeneration)
    return;
  FSeenGeneration = FJournal->Generation();
  Model->Refresh();
  ShowProblem();
}

void THistoryForm::UpdateButtons() {
  const QModelIndexList rows = CallsView->selectionModel()->selectedRows();
  const TCallRecord *call = rows.isEmpty() ? nullptr : Model->CallAt(rows.first().row());
  RunNowBtn->setEnabled(call && RunNow);
  ShowOutput(call);
}

void THistoryForm::ShowOutput(const TCallRecord *call) {
  const std::optional<TCallOutput> output =
      call && FJournal ? FJournal->CallOutput(call->Id) : std::nullopt;
  const QString text = output ? CallOutputText(*output) : QString();
  // Without a selection the empty pane would read as a program that printed nothing.
  OutputView->setPlaceholderText(call ? QStringLiteral("Keine Ausgabe")
                                      : QStringLiteral("Wählen Sie einen Aufruf, um seine "
                                                       "Ausgabe zu sehen."));
  // Unchanged text is left alone, so that the reader's scroll position survives a refresh.
  if (OutputView->toPlainText() != text)
    OutputView->setPlainText(text);
}

void THistoryForm::ShowProblem() {
  if (!FJournal || !FJournal->CanRead())
    StatusLabel->setText(QStringLiteral("Kein Verlauf vorhanden."));
  else if (!FJournal->Problem().isEmpty())
    StatusLabel->setText(QStringLiteral("Der Verlauf wird nicht geschrieben: ") +
                         FJournal->Problem() + u'.');
  else
    StatusLabel->clear();
}

void THistoryForm::RunNowBtnClick() {
  const QModelIndexList rows = CallsView->selectionModel()->selectedRows();
  const TCallRecord *call = rows.isEmpty() ? nullptr : Model->CallAt(rows.first().row());
  if (!call || !RunNow)
    return;
  if (!RunNow(call->EntryId)) {
    StatusLabel->setText(QStringLiteral("Diese Aktion steht nicht mehr in der Liste."));
    return;
  }
  RefreshIfChanged();
}
