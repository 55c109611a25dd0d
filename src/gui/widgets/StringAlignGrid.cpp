#include "gui/widgets/StringAlignGrid.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

TStringAlignGrid::TStringAlignGrid(QWidget *parent) : QTableWidget(parent) {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setWordWrap(false);
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TStringAlignGrid::SetRowCount(int count) {
  setRowCount(std::max(count, 1) - 1);
}

void TStringAlignGrid::SetColCount(int count) {
  setColumnCount(count);
  FAlignments.resize(count, Qt::AlignLeft | Qt::AlignVCenter);
  for (int col = 0; col < count; ++col)
    if (!horizontalHeaderItem(col))
      setHorizontalHeaderItem(col, new QTableWidgetItem());
}

QString TStringAlignGrid::Cells(int col, int row) const {
  if (row == 0) {
    const QTableWidgetItem *header = horizontalHeaderItem(col);
    return header ? header->text() : QString();
  }
  const QTableWidgetItem *cell = item(row - 1, col);
  return cell ? cell->text() : QString();
}

void TStringAlignGrid::SetCell(int col, int row, const QString &text) {
  if (row == 0) {
    if (!horizontalHeaderItem(col))
      setHorizontalHeaderItem(col, new QTableWidgetItem());
    horizontalHeaderItem(col)->setText(text);
    return;
  }
  if (QTableWidgetItem *cell = CellItem(col, row))
    cell->setText(text);
}

QVariant TStringAlignGrid::Objects(int col, int row) const {
  const QTableWidgetItem *cell = row >= 1 ? item(row - 1, col) : nullptr;
  return cell ? cell->data(Qt::UserRole) : QVariant();
}

void TStringAlignGrid::SetObject(int col, int row, const QVariant &value) {
  if (QTableWidgetItem *cell = CellItem(col, row))
    cell->setData(Qt::UserRole, value);
}

void TStringAlignGrid::CopyRow(int fromRow, int toRow) {
  for (int col = 0; col < columnCount(); ++col) {
    SetCell(col, toRow, Cells(col, fromRow));
    SetObject(col, toRow, Objects(col, fromRow));
  }
}

void TStringAlignGrid::ClearRow(int row) {
  for (int col = 0; col < columnCount(); ++col) {
    SetCell(col, row, QString());
    SetObject(col, row, QVariant());
  }
}

void TStringAlignGrid::SetColAlignment(int col, Qt::Alignment alignment) {
  if (col < 0 || col >= FAlignments.size())
    return;
  FAlignments[col] = alignment;
  for (int row = 0; row < rowCount(); ++row)
    if (QTableWidgetItem *cell = item(row, col))
      cell->setTextAlignment(alignment);
}

int TStringAlignGrid::DefaultRowHeight() const {
  return verticalHeader()->defaultSectionSize();
}

void TStringAlignGrid::SetDefaultRowHeight(int height) {
  verticalHeader()->setDefaultSectionSize(height);
  for (int row = 0; row < rowCount(); ++row)
    setRowHeight(row, height);
}

int TStringAlignGrid::Row() const {
  if (rowCount() == 0)
    return 0;
  return currentRow() >= 0 ? currentRow() + 1 : 1;
}

void TStringAlignGrid::SetRow(int row) {
  if (row >= 1 && row < RowCount())
    setCurrentCell(row - 1, std::max(currentColumn(), 0));
}

int TStringAlignGrid::ClientWidth() const {
  return viewport()->width();
}

bool TStringAlignGrid::CellTextCut(int col, int row) const {
  const QTableWidgetItem *cell = row >= 1 ? item(row - 1, col) : nullptr;
  if (!cell || cell->text().isEmpty())
    return false;
  // The item delegate keeps a focus-frame margin plus one pixel free on either side, and an
  // icon takes its own room before the text.
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  const int room = cell->icon().isNull() ? 0 : IconRoom();
  return fontMetrics().horizontalAdvance(cell->text()) + 2 * margin + room > columnWidth(col);
}

int TStringAlignGrid::IconRoom() const {
  // The delegate draws the icon at the view's icon size (the style's small icon by default)
  // with a margin on either side.
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  const int icon = iconSize().isValid()
                       ? iconSize().width()
                       : style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
  return icon + 2 * margin;
}

bool TStringAlignGrid::viewportEvent(QEvent *event) {
  if (event->type() != QEvent::ToolTip)
    return QTableWidget::viewportEvent(event);
  const auto *help = static_cast<QHelpEvent *>(event);
  const QModelIndex index = indexAt(help->pos());
  // A cell's own tooltip says more than its text (why a row is marked); a cut text comes
  // first, so that both can be read.
  const QString own = index.isValid() ? index.data(Qt::ToolTipRole).toString() : QString();
  const bool cut = index.isValid() && CellTextCut(index.column(), index.row() + 1);
  if (!cut && own.isEmpty()) {
    QToolTip::hideText();
    return true;
  }
  QStringList parts;
  if (cut)
    parts.append(index.data().toString());
  if (!own.isEmpty())
    parts.append(own);
  // As rich text, so that a long text is wrapped instead of running off the screen.
  QToolTip::showText(help->globalPos(),
                     QStringLiteral("<p style=\"white-space:pre-wrap\">") +
                         parts.join(u'\n').toHtmlEscaped() + QStringLiteral("</p>"),
                     viewport(), visualRect(index));
  return true;
}

void TStringAlignGrid::mouseDoubleClickEvent(QMouseEvent *event) {
  QTableWidget::mouseDoubleClickEvent(event);
  emit DblClick();
}

void TStringAlignGrid::keyReleaseEvent(QKeyEvent *event) {
  QTableWidget::keyReleaseEvent(event);
  if (!event->isAutoRepeat())
    emit KeyUp(event->key(), event->modifiers());
}

QTableWidgetItem *TStringAlignGrid::CellItem(int col, int row) {
  if (row < 1 || row > rowCount() || col < 0 || col >= columnCount())
    return nullptr;
  QTableWidgetItem *cell = item(row - 1, col);
  if (!cell) {
    cell = new QTableWidgetItem();
    cell->setTextAlignment(FAlignments.value(col, Qt::AlignLeft | Qt::AlignVCenter));
    setItem(row - 1, col, cell);
  }
  return cell;
}
