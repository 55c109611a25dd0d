#include "gui/widgets/StringAlignGrid.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(StringAlignGrid, RowZeroIsTheHeaderAndRowCountIncludesIt) {
  TStringAlignGrid grid;
  grid.SetColCount(3);
  grid.SetRowCount(2);
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.rowCount(), 1);
  grid.SetCell(0, 0, QStringLiteral("Datum"));
  grid.SetCell(2, 1, QStringLiteral("notepad"));
  EXPECT_EQ(grid.horizontalHeaderItem(0)->text(), QStringLiteral("Datum"));
  EXPECT_EQ(grid.Cells(0, 0), QStringLiteral("Datum"));
  EXPECT_EQ(grid.Cells(2, 1), QStringLiteral("notepad"));
  EXPECT_EQ(grid.Cells(1, 1), QString());
  EXPECT_FALSE(grid.Objects(1, 1).isValid());
  // Cells outside the grid read empty and take nothing.
  grid.SetCell(0, 5, QStringLiteral("x"));
  EXPECT_EQ(grid.Cells(0, 5), QString());
  grid.SetRowCount(0);
  EXPECT_EQ(grid.RowCount(), 1);
}

TEST(StringAlignGrid, CopyRowMovesTextsAndAttachedValues) {
  TStringAlignGrid grid;
  grid.SetColCount(3);
  grid.SetRowCount(3);
  grid.SetCell(0, 2, QStringLiteral("Täglich"));
  grid.SetObject(1, 2, QVariant(42));
  grid.CopyRow(2, 1);
  EXPECT_EQ(grid.Cells(0, 1), QStringLiteral("Täglich"));
  EXPECT_EQ(grid.Objects(1, 1).toInt(), 42);
  grid.ClearRow(2);
  EXPECT_FALSE(grid.Objects(1, 2).isValid());
  grid.SetRowCount(2);
  EXPECT_EQ(grid.Objects(1, 1).toInt(), 42);
}

TEST(StringAlignGrid, SelectedRowCountsFromOneAndKeysAreReported) {
  TStringAlignGrid grid;
  grid.SetColCount(2);
  grid.SetRowCount(4);
  EXPECT_EQ(grid.Row(), 1);
  grid.SetRow(3);
  EXPECT_EQ(grid.Row(), 3);
  QSignalSpy keys(&grid, &TStringAlignGrid::KeyUp);
  QTest::keyRelease(&grid, Qt::Key_Insert);
  ASSERT_EQ(keys.count(), 1);
  EXPECT_EQ(keys.at(0).at(0).toInt(), int(Qt::Key_Insert));
}
