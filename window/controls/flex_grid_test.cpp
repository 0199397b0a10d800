// The grid as the window's handlers use it: shape, fixed rows, widths, cells, selection,
// top row and moves.
#include "window/controls/flex_grid.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace vx414 {
namespace {

TEST(FlexGrid, ShapeKeepsCellsInsideAndBlanksNewOnes)
{
    FlexGrid g;
    g.SetCols(3);
    g.SetRows(5);
    g.SetTextMatrix(4, 2, "last");
    g.SetTextMatrix(1, 1, "kept");
    g.SetRows(10000);
    EXPECT_EQ(g.Rows(), 10000);
    EXPECT_EQ(g.TextMatrix(4, 2), "last");
    EXPECT_EQ(g.TextMatrix(9999, 2), "");
    g.SetCols(2);
    EXPECT_EQ(g.TextMatrix(1, 1), "kept");
    EXPECT_EQ(g.TextMatrix(4, 2), "");  // outside the grid now
    g.SetRows(1);
    g.SetRows(5);
    EXPECT_EQ(g.TextMatrix(1, 1), "");  // cut off, then grown back empty
    // Cells outside the grid read empty and ignore writes.
    g.SetTextMatrix(-1, 0, "x");
    g.SetTextMatrix(5, 0, "x");
    EXPECT_EQ(g.TextMatrix(5, 0), "");
}

TEST(FlexGrid, CellsFarDownSurviveShapeChangesThatKeepThem)
{
    FlexGrid g;
    g.SetCols(3);
    g.SetRows(10000);
    g.SetTextMatrix(9999, 2, "bottom");
    g.SetTextMatrix(2, 1, "top");
    g.SetTextMatrix(7000, 0, "");
    EXPECT_EQ(g.TextMatrix(5000, 1), "");
    EXPECT_EQ(g.TextMatrix(7000, 0), "");
    EXPECT_EQ(g.TextMatrix(9999, 2), "bottom");
    const QAbstractItemModel* m = g.model();
    EXPECT_EQ(m->data(m->index(8000, 1), Qt::DisplayRole).toString(), "");
    EXPECT_EQ(m->data(m->index(9999, 2), Qt::DisplayRole).toString(), "bottom");
    g.SetCols(4);
    EXPECT_EQ(g.TextMatrix(9999, 2), "bottom");
    EXPECT_EQ(g.TextMatrix(2, 1), "top");
    EXPECT_EQ(g.TextMatrix(9999, 3), "");
    g.SetCols(2);
    EXPECT_EQ(g.TextMatrix(2, 1), "top");
    g.SetCols(3);
    EXPECT_EQ(g.TextMatrix(9999, 2), "");  // cut off with its column, grown back empty
    g.SetTextMatrix(9999, 2, "again");
    g.SetRows(5000);
    EXPECT_EQ(g.TextMatrix(9999, 2), "");
    g.SetRows(10000);
    EXPECT_EQ(g.TextMatrix(9999, 2), "");  // cut off with its row, grown back empty
    EXPECT_EQ(g.TextMatrix(2, 1), "top");
}

TEST(FlexGrid, ACellBatchAnnouncesItsChangesOnceAtItsEnd)
{
    FlexGrid g;
    g.SetCols(3);
    g.SetRows(100);
    QSignalSpy changed(g.model(), &QAbstractItemModel::dataChanged);
    g.SetTextMatrix(1, 1, "one");
    ASSERT_EQ(changed.count(), 1);  // outside a batch: each cell at once
    changed.clear();
    {
        const FlexGrid::CellBatch batch(g);
        {
            const FlexGrid::CellBatch inner(g);
            g.SetTextMatrix(2, 1, "two");
        }
        g.SetTextMatrix(3, 2, "three");
        g.SetRows(50);
        EXPECT_EQ(g.TextMatrix(2, 1), "two");  // written at once, only announced later
        EXPECT_EQ(changed.count(), 0);
    }
    ASSERT_EQ(changed.count(), 1);
    const auto topLeft = changed[0][0].value<QModelIndex>();
    const auto bottomRight = changed[0][1].value<QModelIndex>();
    EXPECT_EQ(topLeft, g.model()->index(0, 0));
    EXPECT_EQ(bottomRight, g.model()->index(49, 2));
    changed.clear();
    {
        const FlexGrid::CellBatch batch(g);
        g.SetTextMatrix(2, 1, "two");  // no change
    }
    EXPECT_EQ(changed.count(), 0);
}

TEST(FlexGrid, FixedRowsLookLikeHeadersAndWidthsAreTwips)
{
    FlexGrid g;
    g.SetCols(4);
    g.SetFixedCols(0);
    g.SetRows(100);
    g.SetFixedRows(1);
    g.SetColWidth(0, 1200);
    g.SetColWidth(1, 1800);
    g.SetColWidth(3, 12525);
    EXPECT_EQ(g.ColWidth(0), 1200);
    EXPECT_EQ(g.ColWidth(1), 1800);
    EXPECT_EQ(g.ColWidth(3), 12525);
    const QAbstractItemModel* m = g.model();
    EXPECT_TRUE(m->data(m->index(0, 1), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(m->data(m->index(1, 1), Qt::BackgroundRole).isValid());
    EXPECT_EQ(m->data(m->index(0, 1), Qt::FontRole).value<QFont>().pixelSize(), 16);
    EXPECT_EQ(m->data(m->index(1, 1), Qt::FontRole).value<QFont>().pixelSize(), 15);
}

TEST(FlexGrid, MoveRefusesNegativeSizes)
{
    FlexGrid g;
    ASSERT_TRUE(g.Move(500, 2160, 12025, 6360));
    EXPECT_EQ(g.Left(), 500 / 15 * 15);
    EXPECT_EQ(g.Top(), 2160);
    EXPECT_EQ(g.Width(), 12030);  // nearest pixel
    EXPECT_FALSE(g.Move(500, 2160, -20, 100));
    EXPECT_FALSE(g.Move(500, 2160, 100, -1));
    EXPECT_EQ(g.Width(), 12030);
    EXPECT_EQ(g.Height(), 6360);
}

TEST(FlexGrid, CurrentRowSelectionAndTopRow)
{
    FlexGrid g;
    g.SetCols(3);
    g.SetRows(833);
    g.SetFixedRows(1);
    g.SetFixedCols(0);
    g.Move(0, 0, 6000, 3000);
    g.SetRow(400);
    g.SetCol(1);
    g.SetRowSel(400);
    g.SetColSel(2);
    g.SetTopRow(400);
    EXPECT_EQ(g.Row(), 400);
    EXPECT_EQ(g.Col(), 1);
    EXPECT_EQ(g.ColSel(), 2);
    EXPECT_EQ(g.TopRow(), 400);  // set while hidden, kept
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    EXPECT_EQ(g.TopRow(), 400);  // and in force once shown
    const QModelIndexList selected = g.selectionModel()->selectedIndexes();
    EXPECT_EQ(selected.size(), 2);
    for (const QModelIndex& i : selected)
        EXPECT_EQ(i.row(), 400);
    // Rows outside the grid are refused.
    g.SetRow(833);
    EXPECT_EQ(g.Row(), 400);
}

}  // namespace
}  // namespace vx414
