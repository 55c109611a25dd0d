// TStringAlignGrid: a text grid over QTableWidget that counts its rows the way the editor
// does. Row 0 is the fixed header row (drawn as the table's header) and RowCount includes it;
// rows 1 and up are the data rows. Each cell may carry one attached value besides its text.
// A cell too narrow for its text shows the whole text as its tooltip, a cell with a tooltip
// of its own shows that too.
#pragma once

#include <QTableWidget>
#include <QVariant>

// A grid of texts with a fixed header row, per-column alignment and one attached value per cell.
class TStringAlignGrid : public QTableWidget {
  Q_OBJECT
public:
  explicit TStringAlignGrid(QWidget *parent = nullptr);

  // Rows including the header row. Setting a larger count adds empty rows at the end, a
  // smaller one drops the last rows (with their attached values); never below 1.
  int RowCount() const { return rowCount() + 1; }
  void SetRowCount(int count);
  int ColCount() const { return columnCount(); }
  void SetColCount(int count);

  // Text of a cell; row 0 is the header.
  QString Cells(int col, int row) const;
  void SetCell(int col, int row, const QString &text);
  // The value attached to a data cell (row >= 1); an invalid QVariant when none is.
  QVariant Objects(int col, int row) const;
  void SetObject(int col, int row, const QVariant &value);
  // Copies texts and attached values of every column from one data row to another.
  void CopyRow(int fromRow, int toRow);
  // Clears texts and attached values of one data row.
  void ClearRow(int row);

  int ColWidths(int col) const { return columnWidth(col); }
  void SetColWidth(int col, int width) { setColumnWidth(col, width); }
  // Alignment of the texts of a column (data rows).
  void SetColAlignment(int col, Qt::Alignment alignment);
  // Width of the lines between cells, in pixels.
  int GridLineWidth() const { return showGrid() ? 1 : 0; }
  int DefaultRowHeight() const;
  void SetDefaultRowHeight(int height);
  // The selected data row (1 or more); 1 while nothing is selected, as long as a data row exists.
  int Row() const;
  void SetRow(int row);
  // Width of the area the cells are drawn in.
  int ClientWidth() const;
  // Whether the text of a data cell is cut because its column is too narrow.
  bool CellTextCut(int col, int row) const;
  // The width a cell's icon takes before its text.
  int IconRoom() const;

signals:
  // A double click anywhere on the grid's cell area.
  void DblClick();
  // A key was released while the grid had the focus.
  void KeyUp(int key, Qt::KeyboardModifiers modifiers);

protected:
  bool viewportEvent(QEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void keyReleaseEvent(QKeyEvent *event) override;

private:
  QTableWidgetItem *CellItem(int col, int row);
  QList<Qt::Alignment> FAlignments;
};
